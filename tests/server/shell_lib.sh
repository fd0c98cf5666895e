# What the server's shell tests share (sourced): a throw-away certificate authority and
# a certificate for 127.0.0.1 made with certtool, free ports, the real tolvane-server
# started on 127.0.0.1, and the processes stopped again by their ids.

# DIR/ca.pem, and DIR/server.pem with DIR/server.key: a certificate for 127.0.0.1 that
# the CA signed, good for two days.
make_certificate() {
  local dir=$1
  certtool --generate-privkey --key-type=ecdsa --no-text --outfile "$dir/ca.key" 2>/dev/null
  printf 'cn = "tolvane test CA"\nca\ncert_signing_key\nexpiration_days = 2\n' >"$dir/ca.tmpl"
  certtool --generate-self-signed --load-privkey "$dir/ca.key" --template "$dir/ca.tmpl" --no-text \
    --outfile "$dir/ca.pem" 2>/dev/null
  certtool --generate-privkey --key-type=ecdsa --no-text --outfile "$dir/server.key" 2>/dev/null
  printf 'cn = "127.0.0.1"\nip_address = "127.0.0.1"\ntls_www_server\nsigning_key\nexpiration_days = 2\n' \
    >"$dir/server.tmpl"
  certtool --generate-certificate --load-privkey "$dir/server.key" --load-ca-certificate "$dir/ca.pem" \
    --load-ca-privkey "$dir/ca.key" --template "$dir/server.tmpl" --no-text --outfile "$dir/server.pem" 2>/dev/null
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

started_pids=()
# Stops what start_server and started_process started (call from the EXIT trap).
stop_started() {
  local pid
  for pid in "${started_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  started_pids=()
}

# start_server LOG [ARG ...]: tolvane-server on a free port of 127.0.0.1, its standard
# error in LOG; sets server_pid and server_port once it listens.
start_server() {
  local log=$1
  shift
  "$TOLVANE_SERVER" --listen 127.0.0.1:0 "$@" 2>"$log" &
  server_pid=$!
  started_pids+=("$server_pid")
  for _ in $(seq 200); do
    grep -q 'listening on' "$log" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  server_port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
  if [ -z "$server_port" ]; then
    echo "tolvane-server did not start:" >&2
    cat "$log" >&2
    return 1
  fi
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
