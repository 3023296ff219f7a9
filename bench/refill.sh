#!/usr/bin/env bash
# refill: RefillPane of a folder of 100,000 files into an offscreen pane sorted by name
# (listing, sorting, model reset, first paint), against `ls -l` of the same folder.
# Warm cache; best of 5 each, in the same run. Also prints the driver's resident memory
# with the pane filled.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/refill-100k
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  # Names in no particular order, three extensions, a few folders among them.
  (cd "$data" &&
    seq 1 100000 | awk '{ e = ($1 % 3 == 0) ? "txt" : ($1 % 3 == 1) ? "doc" : "bin";
                          printf "n%05x_%d.%s\n", ($1 * 7919) % 1048576, $1, e }' | xargs touch &&
    seq -f 'dir%03g' 1 50 | xargs mkdir -p && touch .complete)
fi
cmake --build "$build" --target refill_driver >/dev/null
export QT_QPA_PLATFORM=offscreen
"$build/bench/refill_driver" "$data" 1 >/dev/null 2>&1; ls -l "$data" >/dev/null   # warm up
out=$("$build/bench/refill_driver" "$data" 5 2>/dev/null)
line=$(echo "$out" | grep '^refill ')
ours=$(echo "$line" | awk '{ print $2 }')
anchor=$(time_best 5 ls -l "$data")
echo "$out"
printf 'RefillPane: %.4f s   ls -l: %.4f s\n' "$ours" "$anchor"
ratio "$ours" "$anchor"
