#!/usr/bin/env bash
# search-mask: the "Search files" worker looking for "*.txt" by mask only over 50,000 files in
# 500 folders (half .txt) against `find -iname '*.txt'`. Warm cache, best of 9 runs each,
# alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
search_tree

ours_cmd() { "$driver" search "$tree" '*.txt'; }
find_cmd() { find "$tree" -iname '*.txt'; }
[ "$(ours_cmd)" = "$(find_cmd | wc -l)" ] || { echo "search-mask: hit counts differ" >&2; exit 1; }
alternate 9 ours_cmd find_cmd
printf 'Search files by mask: %.4f s   find -iname: %.4f s   (50,000 files)\n' "$BEST_OURS" \
  "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
