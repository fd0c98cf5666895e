#!/usr/bin/env bash
# kill -9 during 200 submissions, run by hand: 8 clients send 200 distinct runs to
# tolvane-server; the server is killed with SIGKILL halfway and started again on the
# same database. Every run that was answered 201 must be there afterwards, and none
# twice; the runs that got no answer are sent again (201 or 200, never a second copy).
# Usage: bench/server_kill.sh BUILD [sqlite|postgresql]
set -euo pipefail
source "$(dirname "$0")/server_common.sh"
build=$1
kind=${2:-sqlite}
if [ "$kind" = postgresql ] && [ -z "${TOLVANE_TEST_DATABASE:-}" ]; then
    exec "$here/../tests/server/with_postgres.sh" "$0" "$@"
fi
[ "$kind" = postgresql ] && db=$TOLVANE_TEST_DATABASE

make_games "$build/bin/tolvane-replay" 200
sign_bodies "$work/bodies.jsonl"
start_server "$build/bin/tolvane-server"

node - "$work/bodies.jsonl" "$port" "$work/answers.json" <<'JS' &
const fs = require('node:fs');
const [file, port, out] = process.argv.slice(2);
const bodies = fs.readFileSync(file, 'utf8').trim().split('\n');
const answers = bodies.map(() => null);
let next = 0;
async function client() {
  for (let i; (i = next++) < bodies.length;) {
    try {
      const res = await fetch(`http://127.0.0.1:${port}/api/v1/runs`, { method: 'POST', body: bodies[i] });
      const json = await res.json();
      answers[i] = { status: res.status, id: json.id };
    } catch (e) {
      answers[i] = { status: 'no answer' };
      await new Promise((r) => setTimeout(r, 50));
    }
  }
}
Promise.all(Array.from({ length: 8 }, client)).then(() => fs.writeFileSync(out, JSON.stringify(answers)));
JS
client=$!
# Kill once about half the runs are answered (or after a minute, whatever happened).
for _ in $(seq 1200); do
    [ "$(grep -c '" 201 ' "$work/server.log" || true)" -ge 100 ] && break
    sleep 0.05
done
kill -9 "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=
wait $client
start_server "$build/bin/tolvane-server"

node - "$work/bodies.jsonl" "$port" "$work/answers.json" <<'JS'
const fs = require('node:fs');
const [file, port, answersFile] = process.argv.slice(2);
const bodies = fs.readFileSync(file, 'utf8').trim().split('\n');
const answers = JSON.parse(fs.readFileSync(answersFile, 'utf8'));
const base = `http://127.0.0.1:${port}`;
(async () => {
  const created = answers.filter((a) => a.status === 201);
  let missing = 0;
  for (const a of created) if ((await fetch(`${base}/api/v1/runs/${a.id}`)).status !== 200) missing++;
  const unanswered = answers.map((a, i) => [a, i]).filter(([a]) => a.status !== 201);
  const again = {};
  for (const [, i] of unanswered) {
    const res = await fetch(`${base}/api/v1/runs`, { method: 'POST', body: bodies[i] });
    again[res.status] = (again[res.status] || 0) + 1;
  }
  const table = await (await fetch(`${base}/api/v1/table?limit=100`)).json();
  const table2 = await (await fetch(`${base}/api/v1/table?offset=100&limit=100`)).json();
  const ids = [...table.entries, ...table2.entries].map((e) => e.id);
  let twice = 0;
  for (const body of bodies) {
    const p = await (await fetch(`${base}/api/v1/players/${JSON.parse(body).player}`)).json();
    if (p.runCount !== 1) twice++;
  }
  console.log(`before the kill: ${created.length} answered 201, ${answers.length - created.length} without an answer or refused`);
  console.log(`after the restart: ${missing} of the 201s missing; sent again: ${JSON.stringify(again)}`);
  console.log(`table: ${table.total} players, ${new Set(ids).size} distinct runs listed; players with other than one run: ${twice}`);
  process.exit(missing || twice || table.total !== bodies.length ? 1 : 0);
})();
JS
