#!/usr/bin/env bash
# ftp-get-curl: one 512 MiB download through the libcurl back end's block reader into a local
# file against `curl -s -o`, both from a private vsftpd on 127.0.0.1. Warm cache, best of 7
# runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin ftp_pane_driver
ours() { "$build/bench/ftp_pane_driver" get 127.0.0.1 "$VSFTPD_PORT" "$data/server/root/big.bin" "$work/ours.bin"; }
ftp_get_compare pane
printf 'libcurl ReadFileTo: %.4f s   curl -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
