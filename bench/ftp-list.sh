#!/usr/bin/env bash
# ftp-list: a server folder of 10,000 files listed through the listing thread into a pane's
# model until the pane is filled and the thread's done flag is set, once through libcurl and
# once through our own client, each against the same LIST by
# `curl -s ftp://.../folder/ -o /dev/null`, from a private vsftpd on 127.0.0.1. Warm cache,
# best of 11 runs each, alternating, each back end against the anchor runs that alternated
# with its own (ftp_list_compare). The ratio is the slower back end's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin ftp_pane_driver
folder="$data/server/root/many10k"
if [ ! -f "$folder/f09999.txt" ]; then
  mkdir -p "$folder"
  (cd "$folder" && for i in $(seq -f '%05g' 0 9999); do : >"f$i.txt"; done)
fi
ftp_list_compare "$folder" 11 "10,000 files"
ratio "$SLOWER_OURS" "$SLOWER_ANCHOR"
