#!/usr/bin/env bash
# copy-big: one 1 GiB file copied by CopyEntry against `cp`, on the same file system, warm
# cache, alternating, best of 5 each (the copy is removed before every run).
# Also run once with the data in a tmpfs folder (lines marked "tmpfs").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
tmpfs_run "$0"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}
mkdir -p "$data"
random_file "$data/copy-big.bin" $((1 << 30))
out="$data/copy-big.out"
on_exit "rm -f '$out'"
cmake --build "$build" --target file_driver >/dev/null
clear_out() { rm -f "$out"; }
cat "$data/copy-big.bin" >/dev/null   # warm up
alternate 5 "$build/bench/file_driver copy $data/copy-big.bin $out" "cp $data/copy-big.bin $out" \
  clear_out clear_out
cmp "$data/copy-big.bin" "$out"
printf 'CopyEntry: %.4f s   cp: %.4f s   (1 GiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
