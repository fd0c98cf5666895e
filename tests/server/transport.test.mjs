// Clients behind proxies against the real tolvane-server: X-Forwarded-For is honoured from
// --trusted-proxy addresses only, for every per-address limit and for the log; IPv6
// clients are counted by their /64; /metrics is not for forwarded clients; the web
// player's files arrive whole.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, describe, test } from 'node:test';
import { get, player, post, signedRun, startServer, tempDir, variant } from './lib.mjs';

const from = (address) => (address ? { 'X-Forwarded-For': address } : {});

// Statuses of `n` GET /api/v1/table, each with these headers.
async function table(server, n, headers) {
  const statuses = [];
  for (let i = 0; i < n; i++) statuses.push((await get(server, '/api/v1/table', headers)).status);
  return statuses;
}

// Waits for a log line (written once the answer has gone out).
async function logged(server, pattern) {
  for (let i = 0; i < 50; i++) {
    if (pattern.test(server.log.join(''))) return true;
    await new Promise((r) => setTimeout(r, 20));
  }
  return false;
}

describe('tolvane-server behind proxies', () => {
  const servers = [];
  const start = async (args) => { const s = await startServer({ args }); servers.push(s); return s; };
  after(async () => { await Promise.all(servers.map((s) => s.stop())); });

  // --requests-per-second 1: bursts of 4 requests per address, one more a second.
  test('through a trusted proxy, each forwarded address has its own limit and its own log lines', async () => {
    const s = await start(['--trusted-proxy', '127.0.0.1', '--requests-per-second', '1']);
    assert.deepEqual(await table(s, 5, from('203.0.113.7')), [...Array(4).fill(200), 429]);
    const refused = await get(s, '/api/v1/table', from('203.0.113.7'));
    assert.equal(refused.status, 429);
    assert.match(refused.json.error, /this address/);
    assert.ok(Number(refused.headers.get('retry-after')) >= 1);
    assert.ok(await logged(s, /^203\.0\.113\.7 "GET \/api\/v1\/table" 429 /m), s.log.join(''));
    // Another client behind the same proxy, and the proxy's own requests, have buckets of their own.
    assert.deepEqual(await table(s, 4, from('198.51.100.20')), Array(4).fill(200));
    assert.deepEqual(await table(s, 2, {}), Array(2).fill(200));
    // A header the proxy should never have passed on: the request is the proxy's own.
    assert.deepEqual(await table(s, 2, from('203.0.113.7, not-an-address')), Array(2).fill(200));
    assert.deepEqual(await table(s, 1, {}), [429], 'those two were the proxy\'s');
    assert.ok(await logged(s, /^127\.0\.0\.1 "GET \/api\/v1\/table" 200 /m));
  });

  test('an IPv6 client is counted by its /64', async () => {
    const s = await start(['--trusted-proxy', '127.0.0.1', '--requests-per-second', '1']);
    assert.deepEqual(await table(s, 4, from('2001:db8:1:2::1')), Array(4).fill(200));
    assert.deepEqual(await table(s, 1, from('2001:db8:1:2:ffff:ffff:ffff:ffff')), [429], 'the same /64');
    assert.deepEqual(await table(s, 1, from('2001:db8:1:3::1')), [200], 'the next /64');
    assert.ok(await logged(s, /^2001:db8:1:2:ffff:ffff:ffff:ffff "GET \/api\/v1\/table" 429 /m));
  });

  test('from an address that is not trusted, X-Forwarded-For is ignored', async () => {
    const s = await start(['--trusted-proxy', '127.0.0.2', '--requests-per-second', '1']);
    const statuses = [];
    for (let i = 0; i < 5; i++) statuses.push(...(await table(s, 1, from(`203.0.113.${i + 1}`))));
    assert.deepEqual(statuses, [...Array(4).fill(200), 429]);
    assert.ok(await logged(s, /^127\.0\.0\.1 "GET \/api\/v1\/table" 429 /m));
    assert.ok(!/^203\.0\.113\./m.test(s.log.join('')), 'no forwarded address in the log');
    // Nor does the header make the request a forwarded one: /metrics goes by the connection.
    assert.equal((await get(s, '/metrics', from('192.0.2.1'))).status, 200);
  });

  test('runs sent per address count the forwarded address', async () => {
    const s = await start(['--trusted-proxy', '127.0.0.1', '--submits-per-minute', '1']);
    const ann = player('Ann');
    assert.equal((await post(s, signedRun(ann, variant(400)), from('203.0.113.7'))).status, 201);
    const again = await post(s, signedRun(ann, variant(500)), from('203.0.113.7'));
    assert.equal(again.status, 429, again.text);
    assert.match(again.json.error, /runs sent from this address/);
    assert.equal((await post(s, signedRun(ann, variant(500)), from('203.0.113.8'))).status, 201);
  });

  test('/metrics: not for a client a trusted proxy forwarded, even from loopback', async () => {
    const s = await start(['--trusted-proxy', '127.0.0.1']);
    const direct = await get(s, '/metrics');
    assert.equal(direct.status, 200);
    assert.match(direct.bytes.toString(), /^tolvane_verify_queue_capacity 64$/m);
    const forwarded = await get(s, '/metrics', from('203.0.113.7'));
    assert.equal(forwarded.status, 404);
    assert.deepEqual(forwarded.json, { error: 'nothing here' });
  });

  test('the web player\'s files arrive whole, again and again, and HEAD has no body', async () => {
    const dir = tempDir();
    const names = ['tolvane-web.js', 'tolvane-web.wasm', 'wave101.wav', 'wave102.wav', 'wave103.wav', 'wave104.wav',
      'wave105.wav', 'wave106.wav', 'stage1.opus', 'stage2.opus', 'boss.opus', 'lastboss.opus', 'CLEAR.opus'];
    const wasm = Buffer.alloc(3 << 20);
    for (let i = 0; i < wasm.length; i++) wasm[i] = (i * 7919) >> 3;
    for (const n of names) fs.writeFileSync(path.join(dir, n), n === 'tolvane-web.wasm' ? wasm : 'bytes of ' + n);
    const s = await start(['--player', dir]);
    const answers = await Promise.all([1, 2, 3, 4].map(() => get(s, '/player/tolvane-web.wasm')));
    for (const r of answers) {
      assert.equal(r.status, 200);
      assert.equal(r.headers.get('content-type'), 'application/wasm');
      assert.equal(Number(r.headers.get('content-length')), wasm.length);
      assert.ok(r.bytes.equals(wasm), 'the file as it is on disk');
    }
    assert.equal((await get(s, '/player/boss.opus')).bytes.toString(), 'bytes of boss.opus');
    const head = await fetch(s.url('/player/boss.opus'), { method: 'HEAD' });
    assert.equal(head.status, 200);
    assert.equal(head.headers.get('content-length'), String('bytes of boss.opus'.length));
    assert.equal((await head.arrayBuffer()).byteLength, 0);
  });
});
