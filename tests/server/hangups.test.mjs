// 2,000 signed submissions whose clients hang up before the answer: right after the
// request, after a few milliseconds, with a half-close, or halfway through the body,
// 64 at a time from four loopback addresses. The server must go on answering, end
// every connection, and stop cleanly; under AddressSanitizer or ThreadSanitizer
// (scripts/test.sh) any report on its stderr fails the test.
import assert from 'node:assert/strict';
import http from 'node:http';
import net from 'node:net';
import { test } from 'node:test';
import { get, player, post, signedRun, startServer, variant } from './lib.mjs';

const TOTAL = 2000;
const AT_ONCE = 64;
const SOURCES = ['127.0.0.1', '127.0.0.2', '127.0.0.3', '127.0.0.4'];
const DEADLINE_MS = 240000; // the whole test, sanitizers included

// Sends one request and hangs up in the manner `how` picks; resolves when the socket is
// closed (a half-closed one once its end is sent: the server closes it when it answers).
function hangUp(port, source, body, how) {
  return new Promise((resolve) => {
    const head = `POST /api/v1/runs HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n` +
      `Content-Length: ${Buffer.byteLength(body)}\r\n\r\n`;
    const c = net.connect({ port, host: '127.0.0.1', localAddress: source });
    let answered = false;
    c.on('data', () => { answered = true; });
    c.on('error', () => {});
    c.on('close', () => resolve(answered));
    c.setTimeout(5000, () => c.destroy());
    c.on('connect', () => {
      if (how === 3) {
        c.write(head + body.slice(0, body.length >> 1), () => c.destroy());
        return;
      }
      c.write(head + body, () => {
        if (how === 0) c.destroy();
        else if (how === 1) c.end(() => resolve(answered));
        else setTimeout(() => c.destroy(), Math.floor(Math.random() * 30));
      });
    });
  });
}

// On a connection of its own, closed after the answer, so that it counts only itself.
async function metric(server, name) {
  const text = await new Promise((resolve, reject) => {
    http.get(server.url('/metrics'), { agent: false }, (res) => {
      let t = '';
      res.on('data', (d) => { t += d; });
      res.on('end', () => resolve(t));
    }).on('error', reject);
  });
  const m = new RegExp(`^${name} (\\d+)`, 'm').exec(text);
  return m ? Number(m[1]) : NaN;
}

test('clients that hang up before the answer leave nothing behind', { timeout: DEADLINE_MS + 60000 }, async () => {
  const s = await startServer({
    args: ['--workers', '2', '--queue', '64', '--max-per-address', '1000', '--requests-per-second', '1000000',
      '--submits-per-minute', '1000000', '--player-submits-per-minute', '1000000', '--timeout', '5'],
  });
  const port = Number(new URL(s.base).port);
  const started = Date.now();
  try {
    const players = Array.from({ length: 50 }, (_, i) => player('hangup' + i));
    // Every twentieth a whole game to play; the others bytes the game refuses at once,
    // so the queue turns over quickly and most answers find their client gone.
    const bodies = Array.from({ length: TOTAL }, (_, i) => JSON.stringify(signedRun(players[i % players.length],
      i % 20 === 0 ? variant(300 + (i / 20) * 37 % 5000) : Buffer.from([9, 0, 0, 0, i & 255, 2]))));
    let next = 0;
    let answeredFirst = 0;
    const client = async (k) => {
      for (let i; (i = next++) < TOTAL && Date.now() - started < DEADLINE_MS;) {
        if (await hangUp(port, SOURCES[(i + k) % SOURCES.length], bodies[i], i % 4)) answeredFirst++;
      }
    };
    await Promise.all(Array.from({ length: AT_ONCE }, (_, k) => client(k)));
    assert.ok(next >= TOTAL, `only ${next} of ${TOTAL} sent in ${DEADLINE_MS / 1000} s`);
    const sent = Date.now();

    // Every replay taken is played and its connection ended.
    for (;;) {
      const waiting = await metric(s, 'tolvane_verify_queue_waiting');
      const open = await metric(s, 'tolvane_http_connections_open');
      if (waiting === 0 && open <= 1) break; // the one asking
      assert.ok(Date.now() - started < DEADLINE_MS + 30000, `still ${waiting} waiting, ${open} connections open`);
      await new Promise((r) => setTimeout(r, 200));
    }
    assert.ok(await metric(s, 'tolvane_verify_seconds_count') > 0, 'replays were played');
    // And it still answers as before.
    assert.equal((await get(s, '/healthz')).status, 200);
    const fresh = await post(s, signedRun(player('After'), variant(5400)));
    assert.equal(fresh.status, 201, fresh.text);
    assert.equal((await get(s, '/api/v1/runs/' + fresh.json.id)).status, 200);
    console.log(`${TOTAL} hung up in ${((sent - started) / 1000).toFixed(1)} s, all ended ${((Date.now() - sent) / 1000).toFixed(1)} s later (${answeredFirst} answered before the hang-up)`);
  } finally {
    await s.stop();
    if (!s.child.stderr.closed) await new Promise((r) => s.child.stderr.once('close', r));
  }
  assert.equal(s.child.exitCode, 0, 'the server stops cleanly on SIGTERM');
  const reports = s.log.join('').split('\n').filter((l) => /Sanitizer|runtime error:/.test(l));
  assert.deepEqual(reports, [], reports.slice(0, 20).join('\n'));
});
