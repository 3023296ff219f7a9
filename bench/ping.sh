#!/usr/bin/env bash
# ping: 1,000 echo requests to 127.0.0.1 one after another through EchoSend, against
# `ping -c 1000 -i 0 -q 127.0.0.1` (as root; otherwise the smallest interval the system
# allows a user, 0.002 s, on both sides' count). Best of 5 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
cmake --build "$build" --target ping_driver >/dev/null
driver=$build/bench/ping_driver
interval=0
[ "$(id -u)" -eq 0 ] || interval=0.002
ours_cmd() { "$driver" 1000; }
anchor_cmd() { ping -c 1000 -i "$interval" -q 127.0.0.1; }
ours_cmd >/dev/null || { echo "ping: the driver lost replies" >&2; exit 1; }
anchor_cmd >/dev/null
alternate 5 ours_cmd anchor_cmd
printf 'EchoSend x1000: %.4f s   ping -c 1000 -i %s: %.4f s\n' "$BEST_OURS" "$interval" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
