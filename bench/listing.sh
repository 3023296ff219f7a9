#!/usr/bin/env bash
# listing: a folder of 100,000 files listed through LocalDirSource with full records,
# against `ls -l` of the same folder. Warm cache, best of 5 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/listing-100k
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  (cd "$data" && seq -f 'file%06g.txt' 1 100000 | xargs touch && mkdir -p sub1 sub2 && touch .complete)
fi
cmake --build "$build" --target listing_driver >/dev/null
"$build/bench/listing_driver" "$data" >/dev/null; ls -l "$data" >/dev/null   # warm up
alternate 5 "$build/bench/listing_driver $data" "ls -l $data"
printf 'LocalDirSource: %.4f s   ls -l: %.4f s   (%s entries)\n' "$BEST_OURS" "$BEST_ANCHOR" \
  "$("$build/bench/listing_driver" "$data" | cut -d' ' -f1)"
ratio "$BEST_OURS" "$BEST_ANCHOR"
