// The web page in Chromium: the table with its periods and pages, a player's page, a
// run's page with its download, its take-over at a frame and its branches; every name
// shown as text, hostile ones included, under a Content-Security-Policy that stops inline
// script; answers of a lying server refused; no sideways scrolling on a phone.
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
let annRun, hostileRun;

before(async () => {
  server = await startServer({ args: ['--queue', '256', '--player-submits-per-minute', '1000', '--submits-per-minute', '1000', '--requests-per-second', '1000'] });
  // Enough players for two pages of 20, sent at once from one address (so a queue whose
  // quarter holds them all).
  const sends = [signedRun(player('Ann'), replay('autoplay'))];
  HOSTILE.forEach((name, i) => sends.push(signedRun(player(name), replay(['boost', 'hunter', 'wander'][i]))));
  for (let i = 0; i < 24; i++) sends.push(signedRun(player('P' + i), variant(2000 + 173 * i)));
  const answers = await Promise.all(sends.map((b) => post(server, b)));
  assert.ok(answers.filter((a) => a.status === 201).length > 20, answers.map((a) => a.status).join());
  [annRun, hostileRun] = [answers[0].json, answers[1].json];
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
  await page.waitForSelector('main h2.name'); // the player's, not the table's still on show
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

// Ann's run with its last `idle` frames left idle: a branch of it, sent by another player.
function idleEnd(idle) {
  const copy = Buffer.from(replay('autoplay'));
  const n = copy.readInt32LE(0);
  for (let f = n - idle; f < n; f++) copy[4 + f] = 0;
  return copy;
}

const cells = (selector) => page.$$eval(selector, (trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));

test('a branch\'s page says what it copies; the original\'s page lists its branches, best first', async () => {
  await page.setViewportSize({ width: 1024, height: 800 });
  const sent = [];
  for (const [name, idle] of [['<i>Copier</i>', 3600], ['Second <b>copy</b>', 1800]]) {
    const answer = await post(server, signedRun(player(name), idleEnd(idle)));
    assert.equal(answer.status, 201, answer.text);
    assert.equal(answer.json.branchOf?.id, annRun.id, answer.text);
    sent.push(answer.json);
  }
  await page.goto(server.url('/#/run/' + sent[0].id));
  await page.waitForSelector('p.branch');
  assert.match(await page.textContent('p.branch'), new RegExp(`^A branch of Ann's run \\(${annRun.score.toLocaleString('en-US')} points\\): ` +
    'its play is that run\'s until frame [\\d,]+ \\([\\d.]+ s\\), [\\d.]+ % of what it pressed\\. A branch is not ranked\\.$'));
  await page.click('p.branch a');
  await page.waitForSelector('#branches-title');
  assert.equal(await page.textContent('#branches-title'), 'Branches of this run (2)');
  // As the API lists them (best first), each with where it leaves Ann's play and how much it shares.
  const listed = (await get(server, `/api/v1/runs/${annRun.id}/branches`)).json.entries;
  assert.ok(listed[0].score > listed[1].score);
  const rows = await cells('section.branches tbody tr');
  assert.deepEqual(rows.map((r) => r.slice(0, 4)), listed.map((e) => [e.name, e.score.toLocaleString('en-US'),
    `${e.branchOf.frame.toLocaleString('en-US')} (${Math.floor(e.branchOf.frame / 3600)}:${String(Math.floor(e.branchOf.frame / 60) % 60).padStart(2, '0')})`,
    `${(e.branchOf.shared * 100).toFixed(1)} %`]));
  const links = await page.$$eval('section.branches tbody tr', (trs) => trs.map((tr) => [...tr.querySelectorAll('a')].map((a) => a.getAttribute('href'))));
  assert.deepEqual(links, listed.map((e) => [`#/player/${e.player}`, `#/run/${e.id}`, `/watch/${e.id}#t=${e.branchOf.frame}`, `/watch/${e.id}`]));
  assert.equal(await page.$$eval('main i, main b', (els) => els.length), 0, 'names stay text');
  await shot('branches');
  await page.setViewportSize({ width: 360, height: 740 });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 360, `branches on a phone: ${width} px wide`);
  await shot('phone-branches');
});

test('taking a run over: the frame field takes only the run\'s frames; the command, the watch link and the address follow', async () => {
  await page.setViewportSize({ width: 1024, height: 800 });
  await page.goto('about:blank');
  await page.goto(server.url('/#/run/' + annRun.id));
  await page.waitForSelector('#takeover-frame');
  const end = annRun.endFrame;
  const file = `tolvane-${annRun.id.slice(0, 12)}.rep`;
  assert.equal(await page.inputValue('#takeover-frame'), '0');
  assert.equal(await page.textContent('#takeover-command'), `tolvane ${file} --take-over 0`);
  const typed = [['1234', 1234], [' 77 ', 77], ['007', 7], [String(end), end], ['0', 0], [String(end + 1), null],
    ['-1', null], ['1.5', null], ['1e3', null], ['0x10', null], ['', null], ['１２', null], ['12a', null],
    ['9'.repeat(40), null], ['<b>5</b>', null]];
  for (const [text, frame] of typed) {
    await page.fill('#takeover-frame', text);
    const state = await page.evaluate(() => ({
      invalid: document.getElementById('takeover-frame').getAttribute('aria-invalid'),
      hidden: document.getElementById('takeover-ready').hidden,
      said: document.getElementById('takeover-said').textContent,
      command: document.getElementById('takeover-command').textContent,
      watch: document.getElementById('takeover-watch').getAttribute('href'),
      hash: location.hash,
    }));
    if (frame === null) {
      assert.deepEqual([state.invalid, state.hidden], ['true', true], `${text}: refused`);
      assert.equal(state.said, `A frame is a whole number from 0 to ${end.toLocaleString('en-US')}.`, text);
    } else {
      assert.deepEqual([state.invalid, state.hidden], ['false', false], `${text}: taken`);
      assert.equal(state.command, `tolvane ${file} --take-over ${frame}`, text);
      assert.equal(state.watch, `/watch/${annRun.id}#t=${frame}`, text);
      assert.equal(state.hash, `#/run/${annRun.id}/takeover/${frame}`, text);
      assert.match(state.said, new RegExp(`^Frames 0 to ${frame.toLocaleString('en-US')} \\(\\d+:\\d\\d\\) are this run's; ` +
        `you play on from frame ${(frame + 1).toLocaleString('en-US')}\\.$`), text);
    }
  }
  // The command as copied, and the replay it names.
  await page.context().grantPermissions(['clipboard-read', 'clipboard-write'], { origin: server.base });
  await page.fill('#takeover-frame', '4321');
  await page.click('#takeover-copy');
  await page.waitForFunction(() => /^Copied/.test(document.querySelector('#takeover-ready p.command .note').textContent));
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), `tolvane ${file} --take-over 4321`);
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#takeover-ready a[download]')]);
  assert.equal(download.suggestedFilename(), file);
  assert.ok(fs.readFileSync(await download.path()).equals((await get(server, `/api/v1/runs/${annRun.id}/replay`)).bytes));
  await page.locator('section.takeover').screenshot({ path: path.join(SHOTS, 'run-takeover.png') });
  // Where the page has no clipboard, the command is selected for the visitor to copy.
  const bare = await browser.newPage({ viewport: { width: 1024, height: 800 } });
  try {
    await bare.addInitScript(() => Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined }));
    await bare.goto(server.url(`/#/run/${annRun.id}/takeover/99`));
    await bare.click('#takeover-copy');
    await bare.waitForFunction(() => /^Selected/.test(document.querySelector('#takeover-ready p.command .note').textContent));
    assert.equal(await bare.evaluate(() => getSelection().toString()), `tolvane ${file} --take-over 99`);
  } finally {
    await bare.close();
  }

  // The frame in the address (the watch page's link): one of the run's frames, else frame 0 and why.
  const addressed = [['5000', 5000], [String(end), end], ['0', 0], [String(end + 1), null], ['-3', null],
    ['%3Cb%3Ex%3C%2Fb%3E', null], ['%E0', null], ['1/2', null], ['', null]];
  for (const [text, frame] of addressed) {
    await page.goto('about:blank');
    await page.goto(server.url(`/#/run/${annRun.id}/takeover/${text}`));
    await page.waitForSelector('#takeover-frame');
    assert.equal(await page.inputValue('#takeover-frame'), String(frame ?? 0), text);
    assert.equal(await page.textContent('#takeover-command'), `tolvane ${file} --take-over ${frame ?? 0}`, text);
    const said = await page.textContent('#takeover-said');
    assert.equal(said.startsWith(`The frame in the address is not one of this run's (0 to ${end.toLocaleString('en-US')}): frame 0 instead. `),
      frame === null, `${text}: ${said}`);
  }
  assert.equal(await page.$$eval('main b', (els) => els.length), 0);
});

test('what a lying server says of a run or its branches is refused, never shown as markup', async () => {
  await page.setViewportSize({ width: 1024, height: 800 });
  const good = (await get(server, `/api/v1/runs/${annRun.id}/branches`)).json.entries[0];
  const bad = [
    { ...good, id: '../../api/v1/table' },
    { ...good, id: 'AB'.repeat(32) },
    { ...good, player: 'javascript:alert(1)' },
    { ...good, score: '1e9' },
    { ...good, name: 7 },
    { ...good, branchOf: { ...good.branchOf, id: hostileRun.id } },
    { ...good, branchOf: { ...good.branchOf, frame: -1 } },
    { ...good, branchOf: { ...good.branchOf, frame: '100' } },
    { ...good, branchOf: { ...good.branchOf, shared: 1.5 } },
    { ...good, branchOf: null },
    null,
  ];
  const lying = { ...good, name: '<img src=x onerror=alert(1)>' };
  await page.route(`**/api/v1/runs/${annRun.id}/branches*`, (route) => route.fulfill({
    contentType: 'application/json', body: JSON.stringify({ run: annRun.id, total: 40, offset: 0, limit: 100, entries: [lying, ...bad] }) }));
  await page.goto('about:blank');
  await page.goto(server.url('/#/run/' + annRun.id));
  await page.waitForSelector('#branches-title');
  assert.deepEqual((await cells('section.branches tbody tr')).map((r) => r[0]), [lying.name]);
  assert.match(await page.textContent('section.branches p.error'), new RegExp(`^${bad.length} of the server's entries left out`));
  assert.match(await page.textContent('section.branches'), /The best 12 shown\./);
  assert.equal(await page.$$eval('main img', (els) => els.length), 0);
  await page.unroute(`**/api/v1/runs/${annRun.id}/branches*`);

  // A run whose id or frames do not hold up is not shown at all; a branch whose original does not, says so.
  const branch = (await get(server, '/api/v1/runs/' + good.id)).json;
  const runs = [
    [annRun.id, { ...annRun, endFrame: String(annRun.endFrame) }, /^Could not load: the server's figures for this run do not hold up$/],
    [annRun.id, { ...annRun, endFrame: 70000 }, /^Could not load: the server's figures for this run do not hold up$/],
    [annRun.id, { ...annRun, id: hostileRun.id }, /^Could not load: the server answered with another run$/],
    [good.id, { ...branch, branchOf: { ...branch.branchOf, id: '"><b>x' } }, /^A branch of another run \(the server's account of which does not hold up\)/],
    [good.id, { ...branch, branchOf: { ...branch.branchOf, shared: -0.5 } }, /^A branch of another run/],
  ];
  for (const [id, answer, said] of runs) {
    await page.route(`**/api/v1/runs/${id}`, (route) => route.fulfill({ contentType: 'application/json', body: JSON.stringify(answer) }));
    await page.goto('about:blank');
    await page.goto(server.url('/#/run/' + id));
    await page.waitForSelector('main p.error, main p.branch');
    assert.match(await page.textContent('main p.error, main p.branch'), said);
    assert.equal(await page.$$eval('main b, main img', (els) => els.length), 0);
    await page.unroute(`**/api/v1/runs/${id}`);
  }
});
