#!/usr/bin/env bash
# The scale-out deployment of server/dist/tolvane-nginx.conf, on 127.0.0.1 only: nginx
# terminating TLS (a throw-away certificate) in front of two tolvane-server processes on
# one PostgreSQL, the servers trusting nginx's X-Forwarded-For. A run sent through nginx
# is on both servers' tables; the servers see the client's address, not nginx's; one
# address over nginx's limit gets 429 from nginx whichever server would have answered,
# while another address goes on; /metrics is not reachable through nginx.
#   with_postgres.sh scaleout_test.sh    (TOLVANE_SERVER, TOLVANE_TEST_DATA in the environment)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shell_lib.sh"
conf_source="$here/../../server/dist/tolvane-nginx.conf"
nginx=$(command -v nginx || echo /usr/sbin/nginx)
for tool in "$nginx" certtool curl node; do
  command -v "$tool" >/dev/null || { echo "scaleout_test.sh: no $tool (scripts/install-deps.sh)" >&2; exit 77; }
done
[ -n "${TOLVANE_TEST_DATABASE:-}" ] || { echo "scaleout_test.sh: run it through with_postgres.sh" >&2; exit 1; }

dir=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-scaleout-XXXXXX")
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  stop_started
  rm -rf "$dir"
}
trap cleanup EXIT
make_certificate "$dir"

# Two servers on the one database, trusting nginx (127.0.0.1).
ports=()
for n in 1 2; do
  start_server "$dir/server$n.log" --db "$TOLVANE_TEST_DATABASE" --trusted-proxy 127.0.0.1 --workers 1
  ports+=("$server_port")
done

# The shipped configuration with this test's addresses, ports and files; every line the
# test changes must be there as shipped.
https_port=$(free_port)
http_port=$(free_port)
rewrite=(
  "s|^    listen 443 ssl;|    listen 127.0.0.1:$https_port ssl;|"
  "s|^    listen 80;|    listen 127.0.0.1:$http_port;|"
  "s|^    server 127.0.0.1:8081;|    server 127.0.0.1:${ports[0]};|"
  "s|^    server 127.0.0.1:8082;|    server 127.0.0.1:${ports[1]};|"
  "s|^    ssl_certificate /etc/ssl/tolvane/fullchain.pem;|    ssl_certificate $dir/server.pem;|"
  "s|^    ssl_certificate_key /etc/ssl/tolvane/privkey.pem;|    ssl_certificate_key $dir/server.key;|"
  "/^    listen \[::\]:/d"
  # One request a second back instead of 20, so the burst alone decides however slow
  # the machine is.
  "s|zone=tolvane_requests:10m rate=20r/s;|zone=tolvane_requests:10m rate=1r/s;|"
)
cp "$conf_source" "$dir/tolvane.conf"
for r in "${rewrite[@]}"; do
  before=$(cat "$dir/tolvane.conf")
  sed -i "$r" "$dir/tolvane.conf"
  [ "$before" != "$(cat "$dir/tolvane.conf")" ] || fail "the shipped configuration has no line for: $r"
done
mkdir -p "$dir/nginx/logs" "$dir/nginx/temp"
user=
if [ "$(id -u)" -eq 0 ]; then
  # nginx's workers leave root: they need to reach their temporary folders.
  chmod 711 "$dir"
  chown nobody "$dir/nginx/temp"
  user="user nobody nogroup;"
fi
cat >"$dir/nginx/nginx.conf" <<EOF
$user
daemon off;
worker_processes 1;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/logs/error.log notice;
events { worker_connections 256; }
http {
    access_log $dir/nginx/logs/access.log;
    client_body_temp_path $dir/nginx/temp/body;
    proxy_temp_path $dir/nginx/temp/proxy;
    fastcgi_temp_path $dir/nginx/temp/fastcgi;
    uwsgi_temp_path $dir/nginx/temp/uwsgi;
    scgi_temp_path $dir/nginx/temp/scgi;
    include $dir/tolvane.conf;
}
EOF
"$nginx" -e "$dir/nginx/logs/error.log" -p "$dir/nginx" -c "$dir/nginx/nginx.conf" -t >"$dir/nginx-t.log" 2>&1 ||
  { cat "$dir/nginx-t.log" "$dir/nginx/logs/error.log" >&2; fail "nginx refused the configuration"; }
"$nginx" -e "$dir/nginx/logs/error.log" -p "$dir/nginx" -c "$dir/nginx/nginx.conf" &
nginx_pid=$!

front="https://127.0.0.1:$https_port"
# A client of nginx at an address of its own (any 127/8 address is this machine's).
client() { curl -sS -m 20 --cacert "$dir/ca.pem" --interface "$1" "${@:2}"; }
for _ in $(seq 100); do
  client 127.0.0.9 -o /dev/null "$front/healthz" 2>/dev/null && break
  kill -0 "$nginx_pid" 2>/dev/null || { cat "$dir/nginx/logs/error.log" >&2; fail "nginx ended"; }
  sleep 0.1
done
client 127.0.0.9 "$front/healthz" | grep -q '"status":"ok"' || fail "nginx does not answer over HTTPS"
[ "$(curl -sS -m 10 -o /dev/null -w '%{http_code} %{redirect_url}' "http://127.0.0.1:$http_port/api/v1/table")" = \
  "301 https://127.0.0.1/api/v1/table" ] || fail "plain HTTP is not sent to HTTPS"

# A run sent through nginx: on both servers' tables (each asked directly; a table
# answered just before may be a second old, the per-process cache).
node "$here/signed_run.mjs" Ann autoplay >"$dir/run.json"
status=$(client 127.0.0.5 -o "$dir/sent.json" -w '%{http_code}' -H 'Content-Type: application/json' \
  --data-binary "@$dir/run.json" "$front/api/v1/runs")
[ "$status" = 201 ] || fail "POST through nginx: $status $(cat "$dir/sent.json")"
id=$(node -e 'console.log(JSON.parse(require("fs").readFileSync(process.argv[1])).id)' "$dir/sent.json")
for port in "${ports[@]}"; do
  found=
  for _ in $(seq 30); do
    if curl -sS -m 10 "http://127.0.0.1:$port/api/v1/table" | grep -q "\"id\":\"$id\""; then found=1; break; fi
    sleep 0.1
  done
  [ -n "$found" ] || fail "the run is not on the table of the server on port $port"
  [ "$(curl -sS -m 10 -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/api/v1/runs/$id")" = 200 ] ||
    fail "the server on port $port does not have the run"
done
for _ in 1 2 3 4; do
  [ "$(client 127.0.0.5 -o /dev/null -w '%{http_code}' "$front/api/v1/runs/$id")" = 200 ] || fail "GET the run through nginx"
done
# The servers saw the client's address (nginx's X-Forwarded-For), and both answered it.
sleep 0.2
[ "$(cat "$dir"/server[12].log | grep -c '^127\.0\.0\.5 "POST /api/v1/runs" 201 ')" = 1 ] ||
  fail "the run's log line does not name the client: $(cat "$dir"/server[12].log)"
for n in 1 2; do
  grep -q '^127\.0\.0\.5 "GET /api/v1/runs/' "$dir/server$n.log" || fail "server $n answered nothing through nginx"
done

# /metrics: for the operators on each server's own address, not through nginx.
[ "$(client 127.0.0.5 -o /dev/null -w '%{http_code}' "$front/metrics")" = 404 ] || fail "/metrics through nginx"
curl -sS -m 10 "http://127.0.0.1:${ports[0]}/metrics" | grep -q '^tolvane_verify_queue_capacity' ||
  fail "/metrics on the server itself"

# One address over nginx's limit (bursts of 80, here one more a second): 429 from nginx,
# with the API's form and Retry-After, whichever server would have answered; the servers
# never refused anything themselves.
mkdir "$dir/bodies"
client 127.0.0.6 -D "$dir/headers" -o "$dir/bodies/#1" -w '%{http_code}\n' \
  "$front/api/v1/table?limit=1&n=[1-160]" >"$dir/statuses"
ok=$(grep -c '^200$' "$dir/statuses" || true)
limited=$(grep -c '^429$' "$dir/statuses" || true)
[ $((ok + limited)) = 160 ] || fail "answers other than 200 and 429: $(sort "$dir/statuses" | uniq -c)"
[ "$(head -80 "$dir/statuses" | grep -c '^200$')" = 80 ] || fail "the burst was not let through: $(uniq -c "$dir/statuses")"
[ "$limited" -ge 70 ] || fail "nginx limited $limited of 160 requests"
[ "$(grep -ci '^retry-after: 1' "$dir/headers")" = "$limited" ] || fail "nginx's 429s without Retry-After"
last=$(grep -n '^429$' "$dir/statuses" | tail -1 | cut -d: -f1)
[ "$(cat "$dir/bodies/$last")" = '{"error": "too many requests from this address"}' ] ||
  fail "nginx's 429 body: $(cat "$dir/bodies/$last")"
for n in 1 2; do
  grep -q '^127\.0\.0\.6 "GET /api/v1/table" 200 ' "$dir/server$n.log" || fail "server $n answered none of that address"
done
if grep -q '" 429 ' "$dir"/server[12].log; then fail "a server refused a request itself: $(grep '" 429 ' "$dir"/server[12].log)"; fi
[ "$(client 127.0.0.7 -o /dev/null -w '%{http_code}' "$front/api/v1/table")" = 200 ] || fail "another address was limited too"
echo "nginx in front of two servers: run on both tables, client addresses forwarded, 429 from nginx ($limited of 160)"
