#!/usr/bin/env bash
# ftp-many: 200 files of 4 KiB uploaded one after another through FtpClient::Store over
# one log-in, against one curl command uploading the same files over one connection, both
# to a private vsftpd on 127.0.0.1. Best of 5 runs each, alternating.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin
mkdir -p "$data/many"
if [ ! -f "$data/many/.complete" ]; then
  for i in $(seq -w 1 200); do head -c 4096 /dev/urandom >"$data/many/f$i"; done
  touch "$data/many/.complete"
fi
files=("$data"/many/f*)
vsftpd_start "$data/server"
# One curl command, one connection: each upload-file is paired with the url after it.
for f in "${files[@]}"; do
  printf 'upload-file = "%s"\nurl = "ftp://127.0.0.1:%s/c_%s"\n' "$f" "$VSFTPD_PORT" "$(basename "$f")"
done >"$work/curl.cfg"
ours() { "$build/bench/ftp_driver" many 127.0.0.1 "$VSFTPD_PORT" o_ "${files[@]}"; }
anchor() { curl -s -K "$work/curl.cfg"; }
ours; anchor   # warm up, and check both sent every file whole
for f in "${files[@]}"; do
  n=$(basename "$f")
  cmp -s "$f" "$data/server/root/o_$n" || { echo "Store upload of $n differs" >&2; exit 1; }
  cmp -s "$f" "$data/server/root/c_$n" || { echo "curl upload of $n differs" >&2; exit 1; }
done
alternate 5 ours anchor
rm -f "$data"/server/root/o_f* "$data"/server/root/c_f*
printf 'Store x200: %.4f s   curl -K (200 uploads): %.4f s   (4 KiB each)\n' "$BEST_OURS" "$BEST_ANCHOR"
ratio "$BEST_OURS" "$BEST_ANCHOR"
