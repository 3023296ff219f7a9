#!/usr/bin/env bash
# hex-open: "View in HEX" on a sparse 16 GiB file in the offscreen hex window (open, paint the
# first page, Ctrl+End, paint the last page, close), timed inside the driver, against
# `xxd -s -4096 FILE` (its whole run). Warm cache, best of 7 runs each. The driver's whole
# process (Qt start-up included) is printed for information.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/hex-open
file=$data/sparse-16g.bin
command -v xxd >/dev/null || { echo "hex-open: xxd is missing (package xxd)" >&2; exit 1; }
cmake --build "$build" --target hexopen_driver >/dev/null
driver=$build/bench/hexopen_driver
if [ ! -f "$data/.complete" ]; then
  rm -rf "$data"; mkdir -p "$data"
  "$driver" make "$file" 16 && touch "$data/.complete"
fi
export QT_QPA_PLATFORM=offscreen

xxd_cmd() { xxd -s -4096 "$file" >/dev/null; }
whole_cmd() { "$driver" open "$file" 1; }
# Both must show the file's last bytes, or the timing means nothing.
"$driver" open "$file" 1 | grep -q 'last row' || { echo "hex-open: last row not shown" >&2; exit 1; }
xxd -s -16 "$file" | grep -q 'last row' || { echo "hex-open: xxd did not read the end" >&2; exit 1; }

ours=$("$driver" open "$file" 7 | awk '/^hexopen / { print $2 }')
anchor=$(time_best 7 xxd_cmd)
whole=$(time_best 3 whole_cmd)
printf 'hex window open+first+last page: %.4f s   whole process: %.4f s   xxd -s -4096: %.4f s\n' \
  "$ours" "$whole" "$anchor"
ratio "$ours" "$anchor"
