#!/usr/bin/env bash
# refill-stall: a pane showing a local folder of 1,000,000 files, sorted by name, refills it.
# The listing runs beside the window; the window's event loop must keep turning meanwhile.
# The longest time it went without a turn (paint, input), against 100 ms, the most a
# window may stop answering without a user noticing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/refill-1m
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  (cd "$data" && seq -f 'f%07g.txt' 1 1000000 | xargs touch && seq -f 'dir%03g' 1 20 | xargs mkdir -p &&
    touch .complete)
fi
cmake --build "$build" --target refill_stall_driver >/dev/null
export QT_QPA_PLATFORM=offscreen
out=$("$build/bench/refill_stall_driver" "$data" 2 2>/dev/null)
echo "$out"
longest=$(echo "$out" | awk '/^refill-stall/ { print $3 }')
printf 'longest stall: %.4f s   goal: 0.1000 s\n' "$longest"
ratio "$longest" 0.1
