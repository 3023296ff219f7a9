#!/usr/bin/env bash
# ftp-list-100k: a server folder of 100,000 files listed through the listing thread into a
# pane's model, once through libcurl and once through our own client, each against the same
# LIST by `curl -s ftp://.../folder/ -o /dev/null`, from a private vsftpd on 127.0.0.1. Warm
# cache, best of 5 runs each, alternating. The ratio is the slower back end's.
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
alternate 5 curl_list anchor
curl_best=$BEST_OURS; anchor_best=$BEST_ANCHOR
alternate 5 own_list anchor
own_best=$BEST_OURS; anchor_best=$(min "$anchor_best" "$BEST_ANCHOR")
printf 'libcurl pane: %.4f s   own client pane: %.4f s   curl LIST: %.4f s   (100,000 files)\n' \
  "$curl_best" "$own_best" "$anchor_best"
printf 'libcurl ratio: %.3f   own client ratio: %.3f\n' \
  "$(echo "$curl_best / $anchor_best" | bc -l)" "$(echo "$own_best / $anchor_best" | bc -l)"
ratio "$(echo "if ($curl_best > $own_best) $curl_best else $own_best" | bc -l)" "$anchor_best"
