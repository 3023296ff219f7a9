#!/usr/bin/env bash
# term-xterm: the stream of bench/term.sh through our xterm emulation (libvterm with our
# scrollback, damage and replies, in reads of 4 KiB) against libvterm alone set up the same
# way (80 x 25, UTF-8, a screen). Best of 3 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
term_stream
driver=$TERM_DRIVER file=$TERM_STREAM
"$driver" xterm "$file"; "$driver" vterm-utf8 "$file" >/dev/null   # warm up; shows the history
alternate 3 "$driver xterm $file" "$driver vterm-utf8 $file"
printf 'xterm emulation: %.4f s   libvterm: %.4f s\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
