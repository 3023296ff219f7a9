#!/usr/bin/env bash
# ftp-put: one 512 MiB upload through FtpClient::PutFile against `curl -s -T`, both to a
# private vsftpd on 127.0.0.1. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/ftp
trap 'vsftpd_stop' EXIT
mkdir -p "$data/server/root"
if [ ! -f "$data/big-local.bin" ]; then
  head -c $((512 * 1024 * 1024)) /dev/urandom >"$data/big-local.bin.part"
  mv "$data/big-local.bin.part" "$data/big-local.bin"
fi
cmake --build "$build" --target ftp_driver >/dev/null
vsftpd_start "$data/server"
ours() { "$build/bench/ftp_driver" put 127.0.0.1 "$VSFTPD_PORT" "$data/big-local.bin" up-ours.bin; }
anchor() { curl -s -T "$data/big-local.bin" "ftp://127.0.0.1:$VSFTPD_PORT/up-curl.bin"; }
ours; anchor   # warm up, and check both sent the very bytes
cmp -s "$data/server/root/up-ours.bin" "$data/big-local.bin" || { echo "PutFile upload differs" >&2; exit 1; }
cmp -s "$data/server/root/up-curl.bin" "$data/big-local.bin" || { echo "curl upload differs" >&2; exit 1; }
# Each run writes a new file on a quiet disk: the last run's pages are neither truncated
# nor still being written back while the clock runs.
fresh_ours() { rm -f "$data/server/root/up-ours.bin"; sync; }
fresh_anchor() { rm -f "$data/server/root/up-curl.bin"; sync; }
alternate 7 ours anchor fresh_ours fresh_anchor
rm -f "$data/server/root/up-ours.bin" "$data/server/root/up-curl.bin"
printf 'PutFile: %.4f s   curl -T: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
