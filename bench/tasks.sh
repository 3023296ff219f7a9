#!/usr/bin/env bash
# tasks: the task manager's list of every process (name, executable path, id) with 2,000
# extra processes running, against `ps -e -o pid=,comm=,exe=`. The script starts the
# processes and ends them. Best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
cmake --build "$build" --target tasks_driver >/dev/null
driver=$build/bench/tasks_driver
pids=()
stop_extra() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; }
on_exit stop_extra
for _ in $(seq 2000); do sleep 600 & pids+=($!); done
ours_cmd() { "$driver"; }
anchor_cmd() { ps -e -o pid=,comm=,exe=; }
ours_cmd >/dev/null; anchor_cmd >/dev/null   # warm up
alternate 7 ours_cmd anchor_cmd
printf 'task list: %.4f s   ps -e: %.4f s   (%s)\n' "$BEST_OURS" "$BEST_ANCHOR" "$("$driver")"
ratio "$BEST_OURS" "$BEST_ANCHOR"
