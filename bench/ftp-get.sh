#!/usr/bin/env bash
# ftp-get: one 512 MiB download through FtpClient::Retrieve against `curl -s -o`, both from
# a private vsftpd on 127.0.0.1. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin
ours() { "$build/bench/ftp_driver" get 127.0.0.1 "$VSFTPD_PORT" big.bin "$work/ours.bin"; }
ftp_get_compare ftp_driver
printf 'Retrieve: %.4f s   curl -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
