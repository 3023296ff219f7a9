# Source it: private secure servers on 127.0.0.1 for the secure download benchmarks, never
# the system's own. Keys and certificate are made in the given folder once.
#   ftps_start DIR   vsftpd requiring explicit TLS, serving DIR/root anonymously; sets
#                    FTPS_PORT and FTPS_PIN (the certificate's SHA-256, hex)
#   sshd_start DIR   an sshd taking DIR/user/.ssh/id_ed25519 for this user, with the host key
#                    in DIR/user/.ssh/known_hosts; sets SSHD_PORT and SSH_HOME (DIR/user)
# Both are stopped on exit. Needs common.sh (on_exit) and vsftpd.sh (ftp_bench_begin,
# free_port, wait_port, vsftpd_conf).

ftps_start() {
  local dir=$1
  mkdir -p "$dir/root" "$dir/empty"
  chmod 0777 "$dir/root"
  [ -f "$dir/cert.pem" ] || openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" \
    -out "$dir/cert.pem" -days 3650 -subj "/CN=velmar bench" 2>/dev/null
  FTPS_PIN=$(openssl x509 -in "$dir/cert.pem" -outform DER | sha256sum | cut -d' ' -f1)
  FTPS_PORT=$(free_port)
  { vsftpd_conf "$dir" "$FTPS_PORT"; cat <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
ssl_ciphers=HIGH
require_ssl_reuse=NO
rsa_cert_file=$dir/cert.pem
rsa_private_key_file=$dir/key.pem
CONF
  } >"$dir/vsftpd.conf"
  /usr/sbin/vsftpd "$dir/vsftpd.conf" >"$dir/vsftpd.log" 2>&1 &
  FTPS_PID=$!
  on_exit 'kill "$FTPS_PID" 2>/dev/null || true'
  wait_port "$FTPS_PORT" "$FTPS_PID" "$dir/vsftpd.log"
}

sshd_start() {
  local dir=$1
  SSH_HOME=$dir/user
  mkdir -p "$SSH_HOME/.ssh" /run/sshd
  [ -f "$dir/host_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -f "$dir/host_ed25519"
  [ -f "$SSH_HOME/.ssh/id_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -f "$SSH_HOME/.ssh/id_ed25519"
  cp "$SSH_HOME/.ssh/id_ed25519.pub" "$dir/authorized_keys"
  SSHD_PORT=$(free_port)
  echo "[127.0.0.1]:$SSHD_PORT $(cut -d' ' -f1,2 "$dir/host_ed25519.pub")" >"$SSH_HOME/.ssh/known_hosts"
  cat >"$dir/sshd_config" <<CONF
Port $SSHD_PORT
ListenAddress 127.0.0.1
HostKey $dir/host_ed25519
PidFile $dir/sshd.pid
UsePAM no
StrictModes no
AuthorizedKeysFile $dir/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
Subsystem sftp internal-sftp
CONF
  /usr/sbin/sshd -D -e -f "$dir/sshd_config" >"$dir/sshd.log" 2>&1 &
  SSHD_PID=$!
  on_exit 'kill "$SSHD_PID" 2>/dev/null || true'
  wait_port "$SSHD_PORT" "$SSHD_PID" "$dir/sshd.log"
}

# secure_get_compare LABEL URL CURL_OPTIONS...: the 512 MiB download of big.bin (made once
# in $data/server/root) by `ours` (a function of the caller writing "$work/ours.bin") against
# `curl -s -o` with the options given, both checked byte for byte, then 7 runs each,
# alternating, each into a fresh file. Sets BEST_OURS and BEST_ANCHOR.
secure_get_compare() {
  local label=$1 url=$2; shift 2
  anchor_options=("$@")
  anchor() { curl -s "${anchor_options[@]}" -o "$work/curl.bin" "$url"; }
  ours; anchor
  cmp -s "$work/ours.bin" "$big" || { echo "$label download differs" >&2; exit 1; }
  cmp -s "$work/curl.bin" "$big" || { echo "curl download differs" >&2; exit 1; }
  fresh_ours() { rm -f "$work/ours.bin"; sync; }
  fresh_anchor() { rm -f "$work/curl.bin"; sync; }
  alternate 7 ours anchor fresh_ours fresh_anchor
}
