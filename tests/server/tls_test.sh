#!/usr/bin/env bash
# HTTPS from tolvane-server itself (libmicrohttpd's GnuTLS): with a throw-away certificate
# made by certtool, curl --cacert gets /healthz and the API (a run sent and read back);
# plain HTTP on that port gets no answer; certificates and keys that cannot be used are
# refused, naming the file and the reason.
#   tls_test.sh    (TOLVANE_SERVER, TOLVANE_TEST_DATA in the environment)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/shell_lib.sh"
for tool in certtool curl node; do
  command -v "$tool" >/dev/null || { echo "tls_test.sh: no $tool (scripts/install-deps.sh)" >&2; exit 77; }
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-tls-XXXXXX")
trap 'stop_started; rm -rf "$dir"' EXIT

make_certificate "$dir"
start_server "$dir/server.log" --db "$dir/runs.sqlite" --tls-cert "$dir/server.pem" --tls-key "$dir/server.key"
grep -q "listening on 127.0.0.1:$server_port (HTTPS only)" "$dir/server.log" || fail "the start-up line: $(cat "$dir/server.log")"
https="https://127.0.0.1:$server_port"
tls=(curl -sS -m 10 --cacert "$dir/ca.pem")

health=$("${tls[@]}" "$https/healthz")
[ "$health" = '{"status":"ok","database":"sqlite"}' ] || fail "/healthz over HTTPS: $health"

node "$here/signed_run.mjs" Ann autoplay >"$dir/run.json"
status=$("${tls[@]}" -o "$dir/sent.json" -w '%{http_code}' -H 'Content-Type: application/json' \
  --data-binary "@$dir/run.json" "$https/api/v1/runs")
[ "$status" = 201 ] || fail "POST /api/v1/runs over HTTPS: $status $(cat "$dir/sent.json")"
id=$(node -e 'console.log(JSON.parse(require("fs").readFileSync(process.argv[1])).id)' "$dir/sent.json")
"${tls[@]}" "$https/api/v1/table" | grep -q "\"id\":\"$id\"" || fail "the run is not on the table"
"${tls[@]}" -o "$dir/replay.rep" "$https/api/v1/runs/$id/replay"
cmp -s "$dir/replay.rep" "$TOLVANE_TEST_DATA/autoplay.rep" || fail "the replay read back over HTTPS differs"

# Only the certificate makes it trusted: without the CA curl refuses it.
if curl -sS -m 10 -o /dev/null "$https/healthz" 2>"$dir/curl.err"; then fail "an unknown CA was accepted"; fi
grep -qi 'certificate' "$dir/curl.err" || fail "curl without the CA: $(cat "$dir/curl.err")"

# Plain HTTP on the HTTPS port: no HTTP answer at all.
plain=$(curl -sS -m 5 -o "$dir/plain.out" -w '%{http_code}' "http://127.0.0.1:$server_port/healthz" 2>/dev/null || true)
[ "$plain" = 000 ] || fail "plain HTTP got an answer: $plain"
if grep -q 'HTTP/' "$dir/plain.out" 2>/dev/null; then fail "plain HTTP got HTTP bytes"; fi
"${tls[@]}" "$https/healthz" >/dev/null || fail "the server did not survive plain HTTP"

# Files that cannot be used: the server does not start, and says which file and why.
certtool --generate-privkey --key-type=ecdsa --no-text --outfile "$dir/other.key" 2>/dev/null
echo 'not a certificate' >"$dir/junk.pem"
head -c $((2 << 20)) /dev/zero | tr '\0' 'A' >"$dir/huge.pem"
{ echo '-----BEGIN CERTIFICATE-----'; echo 'AAAA'; echo '-----END CERTIFICATE-----'; } >"$dir/broken.pem"
mkdir "$dir/folder.pem"
while IFS='|' read -r cert key code said; do
  args=()
  [ -n "$cert" ] && args+=(--tls-cert "$dir/$cert")
  [ -n "$key" ] && args+=(--tls-key "$dir/$key")
  rc=0
  timeout 10 "$TOLVANE_SERVER" --listen 127.0.0.1:0 --db "$dir/refused.sqlite" "${args[@]}" 2>"$dir/refused.log" || rc=$?
  [ "$rc" = "$code" ] || fail "$cert + $key: exit status $rc, not $code: $(cat "$dir/refused.log")"
  grep -qF -- "$said" "$dir/refused.log" || fail "$cert + $key: '$said' not in: $(cat "$dir/refused.log")"
done <<LIST
server.pem|missing.key|1|the key $dir/missing.key does not exist
folder.pem|server.key|1|the certificate $dir/folder.pem is not a plain file
junk.pem|server.key|1|the certificate $dir/junk.pem is not a PEM certificate GnuTLS accepts
broken.pem|server.key|1|the certificate $dir/broken.pem is not a PEM certificate GnuTLS accepts
huge.pem|server.key|1|the certificate $dir/huge.pem is larger than 1 MiB
server.pem|junk.pem|1|the key $dir/junk.pem is not an unencrypted PEM private key
server.key|server.pem|1|the certificate $dir/server.key is not a PEM certificate
server.pem|other.key|1|do not go together
server.pem||2|--tls-cert and --tls-key go together
|server.key|2|--tls-cert and --tls-key go together
LIST
echo "HTTPS answered, plain HTTP not, bad files refused"
