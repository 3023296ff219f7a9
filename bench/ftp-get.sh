#!/usr/bin/env bash
# ftp-get: one 512 MiB download through FtpClient::GetFile against `curl -s -o`, both from
# a private vsftpd on 127.0.0.1. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin
random_file "$data/server/root/big.bin" $((512 * 1024 * 1024))
vsftpd_start "$data/server"
url="ftp://127.0.0.1:$VSFTPD_PORT/big.bin"
ours() { "$build/bench/ftp_driver" get 127.0.0.1 "$VSFTPD_PORT" big.bin "$work/ours.bin"; }
anchor() { curl -s -o "$work/curl.bin" "$url"; }
ours; anchor   # warm up, and check both got the very bytes
cmp -s "$work/ours.bin" "$data/server/root/big.bin" || { echo "ftp_driver download differs" >&2; exit 1; }
cmp -s "$work/curl.bin" "$data/server/root/big.bin" || { echo "curl download differs" >&2; exit 1; }
# Each run writes a new file on a quiet disk (nothing left to truncate or write back).
fresh_ours() { rm -f "$work/ours.bin"; sync; }
fresh_anchor() { rm -f "$work/curl.bin"; sync; }
alternate 7 ours anchor fresh_ours fresh_anchor
printf 'GetFile: %.4f s   curl -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
