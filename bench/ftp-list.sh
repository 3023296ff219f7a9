#!/usr/bin/env bash
# ftp-list: a server folder of 10,000 files listed through the listing thread into a pane's
# model until the pane is filled and the thread's done flag is set, once through libcurl and
# once through our own client, each against the same LIST by
# `curl -s ftp://.../folder/ -o /dev/null`, from a private vsftpd on 127.0.0.1. Warm cache,
# best of 11 runs each, alternating, each back end against the anchor runs that alternated
# with its own (as in ftp-list-100k.sh). The ratio is the slower back end's.
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
vsftpd_start "$data/server"
url="ftp://127.0.0.1:$VSFTPD_PORT/many10k/"
curl_list() { "$build/bench/ftp_pane_driver" list curl 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
own_list() { "$build/bench/ftp_pane_driver" list own 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
anchor() { curl -s "$url" -o /dev/null; }
curl_list && own_list && anchor || { echo "a listing failed" >&2; exit 1; }
alternate 11 curl_list anchor
curl_best=$BEST_OURS; curl_anchor=$BEST_ANCHOR
alternate 11 own_list anchor
own_best=$BEST_OURS; own_anchor=$BEST_ANCHOR
curl_ratio=$(echo "$curl_best / $curl_anchor" | bc -l)
own_ratio=$(echo "$own_best / $own_anchor" | bc -l)
printf 'libcurl pane: %.4f s against curl LIST %.4f s   own client pane: %.4f s against %.4f s   (10,000 files)\n' \
  "$curl_best" "$curl_anchor" "$own_best" "$own_anchor"
printf 'libcurl ratio: %.3f   own client ratio: %.3f\n' "$curl_ratio" "$own_ratio"
if [ "$(echo "$curl_ratio > $own_ratio" | bc -l)" = 1 ]; then
  ratio "$curl_best" "$curl_anchor"
else
  ratio "$own_best" "$own_anchor"
fi
