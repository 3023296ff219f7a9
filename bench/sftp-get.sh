#!/usr/bin/env bash
# sftp-get: one 512 MiB download over SFTP, as a pane copies a file into its folder, against
# `curl -s -o sftp://...` with the same key and known_hosts, both from a private sshd on
# 127.0.0.1. Warm cache, best of 7 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
source "$here/secure-servers.sh"
ftp_bench_begin secure_driver
big=$data/server/root/big.bin
random_file "$big" $((512 * 1024 * 1024))
sshd_start "$data/sshd"
user=$(id -un)
export HOME="$SSH_HOME" # the anchor reads its known_hosts there, as ours is told to
ours() { "$build/bench/secure_driver" sftp 127.0.0.1 "$SSHD_PORT" "$SSH_HOME" "$big" "$work/ours.bin"; }
secure_get_compare sftp "sftp://$user@127.0.0.1:$SSHD_PORT$big" \
  --key "$SSH_HOME/.ssh/id_ed25519" --pubkey "$SSH_HOME/.ssh/id_ed25519.pub"
printf 'SFTP ReadFileTo: %.4f s   curl sftp -o: %.4f s   (512 MiB)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
