#!/usr/bin/env bash
# ftp-list-100k: a server folder of 100,000 files listed through the listing thread into a
# pane's model, once through libcurl and once through our own client, each against the same
# LIST by `curl -s ftp://.../folder/ -o /dev/null`, from a private vsftpd on 127.0.0.1. Warm
# cache, best of 9 runs each, alternating. Each back end is held against the best of the
# anchor runs that alternated with its own: as many runs on both sides, in the same minutes
# (the best of twice as many anchor runs, or of runs from a faster stretch of a machine whose
# speed drifts, would favour the anchor). The ratio is the slower back end's.
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
vsftpd_start "$data/server"
url="ftp://127.0.0.1:$VSFTPD_PORT/many100k/"
curl_list() { "$build/bench/ftp_pane_driver" list curl 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
own_list() { "$build/bench/ftp_pane_driver" list own 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
anchor() { curl -s "$url" -o /dev/null; }
curl_list && own_list && anchor || { echo "a listing failed" >&2; exit 1; }
alternate 9 curl_list anchor
curl_best=$BEST_OURS; curl_anchor=$BEST_ANCHOR
alternate 9 own_list anchor
own_best=$BEST_OURS; own_anchor=$BEST_ANCHOR
curl_ratio=$(echo "$curl_best / $curl_anchor" | bc -l)
own_ratio=$(echo "$own_best / $own_anchor" | bc -l)
printf 'libcurl pane: %.4f s against curl LIST %.4f s   own client pane: %.4f s against %.4f s   (100,000 files)\n' \
  "$curl_best" "$curl_anchor" "$own_best" "$own_anchor"
printf 'libcurl ratio: %.3f   own client ratio: %.3f\n' "$curl_ratio" "$own_ratio"
if [ "$(echo "$curl_ratio > $own_ratio" | bc -l)" = 1 ]; then
  ratio "$curl_best" "$curl_anchor"
else
  ratio "$own_best" "$own_anchor"
fi
