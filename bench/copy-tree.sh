#!/usr/bin/env bash
# copy-tree: 20,000 files of 4 KiB in 200 folders copied through the copy worker (as the Copy
# command runs it, without the dialog) against `cp -r`, same file system, warm cache,
# alternating, best of 5 each (the copy is removed before every run).
# Also run once with the data in a tmpfs folder (lines marked "tmpfs").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
tmpfs_run "$0"
source "$here/tree_data.sh"
out="$data/copy-tree.out"
on_exit "rm -rf '$out'"
fresh_out() { rm -rf "$out"; mkdir -p "$out"; sync; }
cat "$data"/tree-20k/d*/* >/dev/null   # warm up
alternate 5 "$build/bench/file_driver tree $data tree-20k $out" "cp -r $data/tree-20k $out/" \
  fresh_out fresh_out
diff -r "$data/tree-20k" "$out/tree-20k" >/dev/null
printf 'copy worker: %.4f s   cp -r: %.4f s   (20,000 files)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
