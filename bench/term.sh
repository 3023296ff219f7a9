#!/usr/bin/env bash
# term: 100 MB of mixed terminal output (text lines, colour changes, cursor moves, erases)
# fed through the emulator core in reads of 4 KiB, against libvterm's vterm_input_write into
# a libvterm screen of the same size (80 x 25, 8-bit). Best of 3 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
term_stream
driver=$TERM_DRIVER file=$TERM_STREAM
"$driver" core "$file" >/dev/null; "$driver" vterm "$file" >/dev/null   # warm up
alternate 3 "$driver core $file" "$driver vterm $file"
printf 'Terminal core: %.4f s   libvterm: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
