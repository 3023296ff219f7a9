#!/usr/bin/env bash
# startup: `velmar --quit-after-show` (start-up, main window with both panes on the local root,
# first paint, quit) against a minimal Qt Widgets program that shows one window and quits.
# Both offscreen, with a private settings folder, warm cache, best of 30 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
build=${VELMAR_BUILD:-$here/../build}
cmake --build "$build" --target velmar minimal_qt >/dev/null
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$(mktemp -d)
export XDG_RUNTIME_DIR=$XDG_CONFIG_HOME
on_exit 'rm -rf "$XDG_CONFIG_HOME"'
velmar="$build/src/app/velmar"
anchor_bin="$build/bench/minimal_qt"
"$velmar" --quit-after-show; "$anchor_bin"   # warm up
alternate 30 "$velmar --quit-after-show" "$anchor_bin"
printf 'velmar --quit-after-show: %.4f s   minimal Qt window: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
