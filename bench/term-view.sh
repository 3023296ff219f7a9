#!/usr/bin/env bash
# term-view: the stream of bench/term.sh through the whole terminal window (offscreen, each
# read from the event loop, painting included) against the emulator core alone. Drawing
# must not cost more than half again the interpretation. Best of 3 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
term_stream
driver=$TERM_DRIVER file=$TERM_STREAM
"$driver" view "$file"; "$driver" core "$file" >/dev/null   # warm up; shows the paint count
alternate 3 "$driver view $file" "$driver core $file"
printf 'Terminal window: %.4f s   core alone: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
