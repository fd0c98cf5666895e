// The web page in Chromium: the table with its periods and pages, a player's page, a
// run's page with its download; every name shown as text, hostile ones included, under
// a Content-Security-Policy that stops inline script; no sideways scrolling on a phone.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { get, player, post, replay, signedRun, startServer, variant } from './lib.mjs';

const require = createRequire(path.join(process.env.NODE_PATH, 'x.js'));
const { chromium } = require('playwright-core');
const SHOTS = process.env.TOLVANE_SCREENSHOTS;
const HOSTILE = ['<svg onload=alert(1)>', '<img src=x onerror=f()>', '"\'><b>&amp;</b>'];

let server, browser, page;
const alerts = [], errors = [];
let hostileRun;

before(async () => {
  server = await startServer({ args: ['--queue', '256', '--player-submits-per-minute', '1000', '--submits-per-minute', '1000', '--requests-per-second', '1000'] });
  // Enough players for two pages of 20, sent at once from one address (so a queue whose
  // quarter holds them all).
  const sends = [signedRun(player('Ann'), replay('autoplay'))];
  HOSTILE.forEach((name, i) => sends.push(signedRun(player(name), replay(['boost', 'hunter', 'wander'][i]))));
  for (let i = 0; i < 24; i++) sends.push(signedRun(player('P' + i), variant(2000 + 173 * i)));
  const answers = await Promise.all(sends.map((b) => post(server, b)));
  assert.ok(answers.filter((a) => a.status === 201).length > 20, answers.map((a) => a.status).join());
  hostileRun = answers[1].json;
  browser = await chromium.launch({ executablePath: process.env.TOLVANE_CHROMIUM, args: ['--no-sandbox'] });
  page = await browser.newPage({ viewport: { width: 1024, height: 800 } });
  page.on('dialog', (d) => { alerts.push(d.message()); d.dismiss(); });
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => {
    // This server has no web player: the run page asks for it once and says so.
    if (m.type() === 'error' && !/\/player\/tolvane-web\.js/.test(m.text() + ' ' + m.location().url)) errors.push(m.text());
  });
});

after(async () => {
  await browser?.close();
  await server?.stop();
});

async function shot(name) {
  await page.screenshot({ path: path.join(SHOTS, name + '.png'), fullPage: true });
}

test('the table: names as text, periods, pages', async () => {
  const res = await page.goto(server.url('/'));
  assert.match(res.headers()['content-security-policy'], /script-src 'self'/);
  await page.waitForSelector('main table tbody tr');
  const rows = await page.$$eval('main tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
  assert.equal(rows.length, 20);
  assert.deepEqual(rows.slice(0, 3).map((r) => r[0]), ['1', '2', '3']);
  assert.equal(rows[0][1], 'Ann');
  const names = rows.map((r) => r[1]);
  assert.equal(await page.$$eval('main svg, main img, main b', (els) => els.length), 0);
  await shot('table');

  await page.click('text=Next →');
  await page.waitForFunction(() => location.hash === '#/table/all/2' && document.querySelector('tbody tr td').textContent === '21');
  assert.match(await page.textContent('.pager'), /Page 2 of 2/);
  names.push(...await page.$$eval('main tbody tr td:nth-child(2)', (tds) => tds.map((td) => td.textContent)));
  for (const h of HOSTILE) assert.ok(names.includes(h), h + ' shown literally');
  assert.equal(await page.$$eval('main svg, main img, main b', (els) => els.length), 0);
  await shot('table-page-2');
  await page.click('nav.periods >> text=Today');
  await page.waitForFunction(() => location.hash === '#/table/day/1' && document.querySelector('tbody tr td')?.textContent === '1');
  assert.equal(await page.getAttribute('nav.periods a[aria-current=page]', 'href'), '#/table/day/1');
});

test('a player\'s page and a run\'s page, with the replay to download', async () => {
  // From the page of the table that lists the run.
  const rank = (await get(server, '/api/v1/runs/' + hostileRun.id)).json.rank;
  await page.goto(server.url(`/#/table/all/${Math.ceil(rank / 20)}`));
  await page.click(`main tbody a[href="#/player/${hostileRun.player}"]`);
  await page.waitForSelector('main h2');
  assert.equal(await page.textContent('main h2'), HOSTILE[0]);
  const best = await page.$eval('main table', (t) => [...t.tBodies[0].rows].map((tr) => [...tr.cells].map((c) => c.textContent)));
  assert.deepEqual(best.map((r) => r[0]), ['All time', 'This month', 'This week', 'Today']);
  const now = (await get(server, '/api/v1/runs/' + hostileRun.id)).json;
  assert.equal(best[0][1], String(now.rank));
  assert.equal(best[0][2], now.score.toLocaleString('en-US'));
  await shot('player');

  await page.click(`main a[href="#/run/${hostileRun.id}"]`);
  await page.waitForSelector('dl.figures');
  const figures = Object.fromEntries(await page.$$eval('dl.figures dt', (dts) => dts.map((dt) => [dt.textContent, dt.nextElementSibling.textContent])));
  assert.equal(figures.Score, hostileRun.score.toLocaleString('en-US'));
  assert.equal(figures['Longest chain'], hostileRun.maxChain.toLocaleString('en-US'));
  assert.equal(figures.Player, HOSTILE[0]);
  assert.equal(figures.Run, hostileRun.id);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('a.download')]);
  const saved = await download.path();
  assert.ok(fs.readFileSync(saved).equals(replay('boost')), 'the replay as sent');
  await page.waitForFunction(() => /^No race/.test(document.querySelector('section.race p.note')?.textContent));
  assert.equal(await page.textContent('section.race p.note'), 'No race to show: the web player is not installed on this server');
  await shot('run');
});

test('inline script does not run; nothing alerted; no errors', async () => {
  await page.goto(server.url('/'));
  await page.waitForSelector('main tbody tr');
  await page.evaluate(() => {
    const s = document.createElement('script');
    s.textContent = 'window.injected = 1';
    document.body.append(s);
  });
  assert.equal(await page.evaluate(() => window.injected), undefined);
  assert.deepEqual(alerts, []);
  // The only errors are the policy's refusal of the script injected just above.
  assert.deepEqual(errors.filter((e) => !/Content Security Policy/.test(e)), []);
});

test('a phone\'s width: nothing wider than the screen', async () => {
  await page.setViewportSize({ width: 360, height: 740 });
  for (const [hash, name] of [['#/', 'phone-table'], ['#/player/' + hostileRun.player, 'phone-player'], ['#/run/' + hostileRun.id, 'phone-run']]) {
    await page.goto(server.url('/' + hash));
    await page.waitForSelector('main table, main dl');
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(width <= 360, `${hash}: ${width} px wide`);
    await shot(name);
  }
});

test('a branch\'s page says what it copies; the original\'s page lists its branches', async () => {
  // Ann's run with its last 30 s left idle, sent by another player.
  const leader = replay('autoplay');
  const copy = Buffer.from(leader);
  const n = copy.readInt32LE(0);
  for (let f = n - 1800; f < n; f++) copy[4 + f] = 0;
  const sent = await post(server, signedRun(player('<i>Copier</i>'), copy));
  assert.equal(sent.status, 201, sent.text);
  assert.ok(sent.json.branchOf, sent.text);
  await page.goto(server.url('/#/run/' + sent.json.id));
  await page.waitForSelector('p.branch');
  assert.match(await page.textContent('p.branch'), /^A branch of run [0-9a-f]{12}: its play is that run's until frame [\d,]+ \([\d.]+ s\), [\d.]+ % of what it pressed\. A branch is not ranked\.$/);
  await page.click('p.branch a');
  await page.waitForSelector('main h3');
  assert.match(await page.textContent('main h3'), /^Branches of this run \(1\)$/);
  const rows = await page.$$eval('main h3 ~ table tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
  assert.deepEqual(rows.map((r) => [r[0], r[1]]), [['—', '<i>Copier</i>']]);
  assert.equal(await page.$$eval('main i', (els) => els.length), 0);
  await shot('branches');
});
