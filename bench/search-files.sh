#!/usr/bin/env bash
# search-files: the "Search files" worker looking for "*.txt" files holding a text that is in
# none of them (so every .txt file is read) over 50,000 files in 500 folders, half .txt,
# against `grep -r -l -F --include='*.txt'`. Also the mask-only search against
# `find -iname '*.txt'`. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
text="Velmar needle"
search_tree

ours_cmd() { "$driver" search "$tree" '*.txt' "$text"; }
grep_cmd() { LC_ALL=C grep -r -l -F --include='*.txt' -- "$text" "$tree" || true; }
ours_mask_cmd() { "$driver" search "$tree" '*.txt'; }
find_cmd() { find "$tree" -iname '*.txt'; }

# Both sides must agree, or the timing means nothing.
[ "$(ours_cmd)" = 0 ] || { echo "search-files: the driver found the text" >&2; exit 1; }
[ -z "$(grep_cmd)" ] || { echo "search-files: grep found the text" >&2; exit 1; }
[ "$(ours_mask_cmd)" = "$(find_cmd | wc -l)" ] || { echo "search-files: hit counts differ" >&2; exit 1; }

alternate 7 ours_mask_cmd find_cmd
printf 'mask only: %.4f s   find -iname: %.4f s   (ratio %.3f)\n' "$BEST_OURS" "$BEST_ANCHOR" \
  "$(echo "$BEST_OURS / $BEST_ANCHOR" | bc -l)"
alternate 7 ours_cmd grep_cmd
printf 'mask and text: %.4f s   grep -r -l -F --include: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
