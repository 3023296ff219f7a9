#!/usr/bin/env bash
# term: 100 MB of mixed terminal output (text lines, colour changes, cursor moves, erases)
# fed through the emulator core in reads of 4 KiB, against libvterm's vterm_input_write into
# a libvterm screen of the same size (80 x 25, 8-bit). Best of 3 runs each, alternating.
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
"$driver" core "$file" >/dev/null; "$driver" vterm "$file" >/dev/null   # warm up
alternate 3 "$driver core $file" "$driver vterm $file"
printf 'Terminal core: %.4f s   libvterm: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
