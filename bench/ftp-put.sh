#!/usr/bin/env bash
# ftp-put: one 512 MiB upload through FtpClient::Store against `curl -s -T`, both to a
# private vsftpd on 127.0.0.1. Warm cache, best of 11 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin
# The server keeps what it receives in memory (tmpfs) where there is room: what is measured is
# the client, and the disk's write-back made single runs vary by half a second either way.
server=$data/server
if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt $((2 * 1024 * 1024)) ]; then
  server=$(mktemp -d /dev/shm/velmar-ftp-put.XXXXXX)
fi
[ "$server" = "$data/server" ] || on_exit 'rm -rf "$server"'
mkdir -p "$server/root"
random_file "$data/big-local.bin" $((512 * 1024 * 1024))
vsftpd_start "$server"
ours() { "$build/bench/ftp_driver" put 127.0.0.1 "$VSFTPD_PORT" "$data/big-local.bin" up-ours.bin; }
anchor() { curl -s -T "$data/big-local.bin" "ftp://127.0.0.1:$VSFTPD_PORT/up-curl.bin"; }
ours; anchor   # warm up, and check both sent the very bytes
cmp -s "$server/root/up-ours.bin" "$data/big-local.bin" || { echo "Store upload differs" >&2; exit 1; }
cmp -s "$server/root/up-curl.bin" "$data/big-local.bin" || { echo "curl upload differs" >&2; exit 1; }
# Each run writes a new file on a quiet disk: the last run's pages are neither truncated
# nor still being written back while the clock runs.
fresh_ours() { rm -f "$server/root/up-ours.bin"; sync; }
fresh_anchor() { rm -f "$server/root/up-curl.bin"; sync; }
alternate 11 ours anchor fresh_ours fresh_anchor
rm -f "$server/root/up-ours.bin" "$server/root/up-curl.bin"
printf 'Store: %.4f s   curl -T: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
