#!/usr/bin/env bash
# term-view: the stream of bench/term.sh through the whole terminal window (offscreen, each
# read from the event loop, painting included) against the emulator core alone. Drawing
# must not cost more than half again the interpretation. Best of 3 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/term
file=$data/stream-100m.txt
cmake --build "$build" --target term_driver >/dev/null
driver=$build/bench/term_driver
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  "$driver" make "$file" 100 && touch "$data/.complete"
fi
"$driver" view "$file"; "$driver" core "$file" >/dev/null   # warm up; shows the paint count
alternate 3 "$driver view $file" "$driver core $file"
printf 'Terminal window: %.4f s   core alone: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
