#!/usr/bin/env bash
# delete-tree: 20,000 files of 4 KiB in 200 folders removed through RemoveFolder (questions
# answered Yes) against `rm -rf`, warm cache, alternating, best of 5 each (a fresh copy of the
# tree is made before every run).
# Also run once with the data in a tmpfs folder (lines marked "tmpfs").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
tmpfs_run "$0"
source "$here/tree_data.sh"
victim="$data/delete-tree.victim"
on_exit "rm -rf '$victim'"
fresh_tree() { rm -rf "$victim"; cp -r "$data/tree-20k" "$victim"; sync; }
alternate 5 "$build/bench/file_driver rmtree $victim" "rm -rf $victim" fresh_tree fresh_tree
[ ! -e "$victim" ]
printf 'RemoveFolder: %.4f s   rm -rf: %.4f s   (20,000 files)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
