#!/usr/bin/env bash
# search: the content test of "Search files" on a 256 MiB file of printable ASCII lines, for
# a text that is not in it (so the whole file is read; text mode searches the 8-bit and the
# UTF-16 form), against `grep -a -F -c` for the 8-bit form alone. Warm cache, best of 7 runs
# each, alternating. A case-ignoring run is shown for information.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/search
file=$data/lines-256m.txt
needle="Velmar needle"
cmake --build "$build" --target search_driver >/dev/null
driver=$build/bench/search_driver
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  "$driver" make "$file" 256 && touch "$data/.complete"
fi

ours_cmd() { "$driver" find "$file" "$needle"; }
ours_nocase_cmd() { "$driver" find "$file" "$needle" nocase; }
grep_cmd() { LC_ALL=C grep -a -F -c -- "$needle" "$file" || true; }

# Both sides must agree that the text is absent, or the timing means nothing.
[ "$(ours_cmd)" = "not found" ] || { echo "search: the driver found the needle" >&2; exit 1; }
[ "$(grep_cmd)" = 0 ] || { echo "search: grep found the needle" >&2; exit 1; }
ours_nocase_cmd >/dev/null   # warm up

nocase=$(time_best 3 ours_nocase_cmd)
alternate 7 ours_cmd grep_cmd
printf 'SearchFile: %.4f s   ignoring case: %.4f s   grep -F (8-bit form only): %.4f s\n' \
  "$BEST_OURS" "$nocase" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
