# Source it: a private vsftpd on 127.0.0.1 for the FTP benchmarks, never the system's one.
#   vsftpd_start DIR   serves DIR/root anonymously with uploads allowed; sets VSFTPD_PORT
#   vsftpd_stop        stops it (also run on exit)
# Needs common.sh (on_exit).
# The server runs as the launching user without chroot: it listens on the loopback only
# and lives as long as the benchmark.

# A free TCP port on the loopback.
free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# wait_port PORT PID LOG: until the server PID listens on PORT; fails (showing LOG) when it
# ends first or takes over 10 s.
wait_port() {
  local i
  for i in $(seq 200); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; then return 0; fi
    if ! kill -0 "$2" 2>/dev/null; then break; fi
    sleep 0.05
  done
  echo "server did not start:" >&2; cat "$3" >&2
  return 1
}

# vsftpd_conf DIR PORT: the settings every private vsftpd shares (loopback only, anonymous
# from DIR/root, no logs, no limits), on standard output; callers add their own.
vsftpd_conf() {
  cat <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$2
background=NO
run_as_launching_user=YES
anonymous_enable=YES
no_anon_password=YES
anon_root=$1/root
local_enable=NO
pasv_enable=YES
connect_from_port_20=NO
secure_chroot_dir=$1/empty
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
xferlog_enable=NO
dirmessage_enable=NO
max_clients=0
max_per_ip=0
CONF
}

vsftpd_start() {
  local dir=$1
  mkdir -p "$dir/root" "$dir/empty"
  chmod 0777 "$dir/root"
  VSFTPD_PORT=$(free_port)
  { vsftpd_conf "$dir" "$VSFTPD_PORT"; cat <<CONF
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
CONF
  } >"$dir/vsftpd.conf"
  /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/vsftpd.log" 2>&1 &
  VSFTPD_PID=$!
  on_exit vsftpd_stop
  wait_port "$VSFTPD_PORT" "$VSFTPD_PID" "$dir/vsftpd.log"
}

vsftpd_stop() {
  if [ -n "${VSFTPD_PID:-}" ]; then
    kill "$VSFTPD_PID" 2>/dev/null || true
    wait "$VSFTPD_PID" 2>/dev/null || true
    VSFTPD_PID=""
  fi
}

# ftp_bench_begin [TARGET...]: the common start of the FTP comparisons. Sets build (the build
# folder, with ftp_driver and the given driver targets built), data (the cached data folder, kept between runs) and work (a temporary
# folder removed on exit).
ftp_bench_begin() {
  build=${VELMAR_BUILD:-$here/../build}
  data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/ftp
  work=$(mktemp -d)
  on_exit 'rm -rf "$work"'
  mkdir -p "$data/server/root"
  cmake --build "$build" --target ftp_driver "$@" >/dev/null
}

# ftp_get_compare LABEL: the 512 MiB download comparison of ftp-get and ftp-get-curl. Serves
# big.bin (made once), checks that `ours` (a function of the caller, writing "$work/ours.bin")
# and `curl -s -o` both get the very bytes, then runs both 7 times, alternating, each into a
# fresh file. Sets BEST_OURS and BEST_ANCHOR.
ftp_get_compare() {
  local label=$1
  random_file "$data/server/root/big.bin" $((512 * 1024 * 1024))
  vsftpd_start "$data/server"
  url="ftp://127.0.0.1:$VSFTPD_PORT/big.bin"
  anchor() { curl -s -o "$work/curl.bin" "$url"; }
  ours; anchor   # warm up, and check both got the very bytes
  cmp -s "$work/ours.bin" "$data/server/root/big.bin" || { echo "$label download differs" >&2; exit 1; }
  cmp -s "$work/curl.bin" "$data/server/root/big.bin" || { echo "curl download differs" >&2; exit 1; }
  # Each run writes a new file on a quiet disk (nothing left to truncate or write back).
  fresh_ours() { rm -f "$work/ours.bin"; sync; }
  fresh_anchor() { rm -f "$work/curl.bin"; sync; }
  alternate 7 ours anchor fresh_ours fresh_anchor
}

# ftp_list_compare FOLDER RUNS LABEL: the listing comparison of ftp-list and ftp-list-100k.
# FOLDER (under the served root) is listed into a pane's model through libcurl and through our
# own client, each RUNS times against `curl` LIST of the same folder, alternating, and each
# back end against the anchor runs that alternated with its own (as many runs on both sides,
# in the same minutes). Prints both, and sets SLOWER_OURS and SLOWER_ANCHOR to the slower back
# end's pair, whose ratio the caller gives.
ftp_list_compare() {
  local folder=$1 runs=$2 label=$3
  vsftpd_start "$data/server"
  url="ftp://127.0.0.1:$VSFTPD_PORT/$(basename "$folder")/"
  curl_list() { "$build/bench/ftp_pane_driver" list curl 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
  own_list() { "$build/bench/ftp_pane_driver" list own 127.0.0.1 "$VSFTPD_PORT" "$folder"; }
  anchor() { curl -s "$url" -o /dev/null; }
  curl_list && own_list && anchor || { echo "a listing failed" >&2; exit 1; }
  alternate "$runs" curl_list anchor
  local curl_best=$BEST_OURS curl_anchor=$BEST_ANCHOR
  alternate "$runs" own_list anchor
  local own_best=$BEST_OURS own_anchor=$BEST_ANCHOR
  local curl_ratio own_ratio
  curl_ratio=$(echo "$curl_best / $curl_anchor" | bc -l)
  own_ratio=$(echo "$own_best / $own_anchor" | bc -l)
  printf 'libcurl pane: %.4f s against curl LIST %.4f s   own client pane: %.4f s against %.4f s   (%s)\n' \
    "$curl_best" "$curl_anchor" "$own_best" "$own_anchor" "$label"
  printf 'libcurl ratio: %.3f   own client ratio: %.3f\n' "$curl_ratio" "$own_ratio"
  if [ "$(echo "$curl_ratio > $own_ratio" | bc -l)" = 1 ]; then
    SLOWER_OURS=$curl_best; SLOWER_ANCHOR=$curl_anchor
  else
    SLOWER_OURS=$own_best; SLOWER_ANCHOR=$own_anchor
  fi
}
