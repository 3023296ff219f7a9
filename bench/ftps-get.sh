#!/usr/bin/env bash
# ftps-get: one 512 MiB download over FTP with explicit TLS (control and data encrypted), as a
# pane copies a file into its folder, against `curl -s --ssl-reqd -o`, both from a private
# vsftpd on 127.0.0.1. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
source "$here/secure-servers.sh"
ftp_bench_begin secure_driver
big=$data/server/root/big.bin
random_file "$big" $((512 * 1024 * 1024))
ftps_start "$data/server"
ours() { "$build/bench/secure_driver" ftps 127.0.0.1 "$FTPS_PORT" "$FTPS_PIN" "$big" "$work/ours.bin"; }
# -k: the self-signed certificate; ours is held to its pin instead.
# curl names the file from the log-in folder (the anonymous root), ours from the server's root.
secure_get_compare ftps "ftp://127.0.0.1:$FTPS_PORT/big.bin" --ssl-reqd -k
printf 'FTP over TLS ReadFileTo: %.4f s   curl --ssl-reqd -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
