#!/usr/bin/env bash
# ftp-list-100k: a server folder of 100,000 files listed through the listing thread into a
# pane's model, once through libcurl and once through our own client, each against the same
# LIST by `curl -s ftp://.../folder/ -o /dev/null`, from a private vsftpd on 127.0.0.1. Warm
# cache, best of 9 runs each, alternating (ftp_list_compare). Each back end is held against the
# anchor runs that alternated with its own: the best of twice as many anchor runs, or of runs
# from a faster stretch of a machine whose speed drifts, would favour the anchor. The ratio is
# the slower back end's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
source "$here/vsftpd.sh"
ftp_bench_begin ftp_pane_driver
folder="$data/server/root/many100k"
if [ ! -f "$folder/.complete" ]; then
  mkdir -p "$folder"
  (cd "$folder" && seq -f 'f%06g.txt' 0 99999 | xargs touch) && touch "$folder/.complete"
fi
ftp_list_compare "$folder" 9 "100,000 files"
ratio "$SLOWER_OURS" "$SLOWER_ANCHOR"
