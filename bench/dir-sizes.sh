#!/usr/bin/env bash
# dir-sizes: DirSize (the sum behind "Dir Sizes") of 50,000 files in 500 folders against
# `du -s -b`. Warm cache, best of 7 runs each, alternating. Shares the tree of search-files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
search_tree

ours_cmd() { "$driver" dirsize "$tree"; }
du_cmd() { du -s -b "$tree"; }
# du counts the folders' own sizes too: compare the files' sum with find's.
files=$(find "$tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
[ "$(ours_cmd)" = "$files" ] || { echo "dir-sizes: sums differ" >&2; exit 1; }

alternate 7 ours_cmd du_cmd
printf 'DirSize: %.4f s   du -s -b: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
