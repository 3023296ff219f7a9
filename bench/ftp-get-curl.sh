#!/usr/bin/env bash
# ftp-get-curl: one 512 MiB download through the libcurl back end's block reader into a local
# file against `curl -s -o`, both from a private vsftpd on 127.0.0.1. Warm cache, best of 7
# runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin
cmake --build "$build" --target ftp_pane_driver >/dev/null
random_file "$data/server/root/big.bin" $((512 * 1024 * 1024))
vsftpd_start "$data/server"
url="ftp://127.0.0.1:$VSFTPD_PORT/big.bin"
ours() { "$build/bench/ftp_pane_driver" get 127.0.0.1 "$VSFTPD_PORT" "$data/server/root/big.bin" "$work/ours.bin"; }
anchor() { curl -s -o "$work/curl.bin" "$url"; }
ours; anchor   # warm up, and check both got the very bytes
cmp -s "$work/ours.bin" "$data/server/root/big.bin" || { echo "pane download differs" >&2; exit 1; }
cmp -s "$work/curl.bin" "$data/server/root/big.bin" || { echo "curl download differs" >&2; exit 1; }
fresh_ours() { rm -f "$work/ours.bin"; sync; }
fresh_anchor() { rm -f "$work/curl.bin"; sync; }
alternate 7 ours anchor fresh_ours fresh_anchor
printf 'libcurl ReadFileTo: %.4f s   curl -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
