// The watch page in Chromium, on the web player that web/build.sh made: a golden run
// played at top speed to its end with the server's score; the picture at #t=N pixel
// for pixel what tolvane-replay render draws after frame N, racing a rival too
// (?rival=ID: render --rival); rivals the page refuses or cannot find; the run page's
// plot against a rival (tolvane-replay compare's lost spans); the take-over of the frame
// shown; a run's figures that do not hold up; the playback keys, the seek bar backwards;
// a phone's width.
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { player, post, replay, signedRun, startServer, tempDir, DATA } from './lib.mjs';

const require = createRequire(path.join(process.env.NODE_PATH, 'x.js'));
const { chromium } = require('playwright-core');
const SHOTS = process.env.TOLVANE_SCREENSHOTS;
const TOOL = process.env.TOLVANE_REPLAY;
// boost racing zero: the ghost, the boss 1 and stage 2 splits, the results line (web.cmake's).
const RACE_FRAMES = [300, 3701, 5600, 7960];

let server, browser, page, run, second, third;
const errors = [], requests = [];

before(async () => {
  server = await startServer({ args: ['--player', process.env.TOLVANE_PLAYER, '--requests-per-second', '1000'] });
  const answer = await post(server, signedRun(player('Ann'), replay('autoplay')));
  assert.equal(answer.status, 201);
  run = answer.json;
  // Two more runs to race: #2 and #3 of the table.
  [second, third] = (await Promise.all([post(server, signedRun(player('Bob'), replay('zero'))),
    post(server, signedRun(player('Cid'), replay('boost')))])).map((a) => a.json);
  browser = await chromium.launch({ executablePath: process.env.TOLVANE_CHROMIUM,
    args: ['--no-sandbox', '--disable-gpu', '--autoplay-policy=user-gesture-required'] });
  page = await browser.newPage({ viewport: { width: 1400, height: 1250 } });
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('request', (r) => requests.push(r.url()));
});

after(async () => {
  await browser?.close();
  await server?.stop();
});

const shot = (name) => page.screenshot({ path: path.join(SHOTS, name + '.png') });
const frameShown = () => page.$eval('#screen', (c) => Number(c.dataset.frame));
const waitFrame = (n) => page.waitForFunction((n) => document.getElementById('screen').dataset.frame === String(n), n);

// The number of pixels in which the canvas differs from a PNG of tolvane-replay render.
async function pixelsDiffering(native, dir, n) {
  const rgba = Buffer.from(await page.evaluate(() => {
    const c = document.getElementById('screen');
    const d = c.getContext('2d').getImageData(0, 0, 640, 480).data;
    let s = '';
    for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode(...d.subarray(i, i + 8192));
    return btoa(s);
  }), 'base64');
  const raw = path.join(dir, `web-${n}.rgba`);
  fs.writeFileSync(raw, rgba);
  // compare tells the number of pixels that differ on stderr.
  return spawnSync('compare', ['-metric', 'AE', '-size', '640x480', '-depth', '8', 'rgba:' + raw, native, 'null:'],
    { encoding: 'utf8' }).stderr.trim();
}

const frameFile = (dir, n) => path.join(dir, `frame-${String(n).padStart(5, '0')}.png`);

// A run's page, loaded afresh (a change of the hash alone would leave the last run's plot
// in place until the new one is drawn), with its plot drawn.
async function openRun(id) {
  await page.goto('about:blank');
  await page.goto(server.url('/#/run/' + id));
  await page.waitForSelector('svg.race-plot');
}

// tolvane-replay compare's lines of two golden replays.
function compareLines(a, b) {
  return execFileSync(TOOL, ['compare', path.join(DATA, a + '.rep'), path.join(DATA, b + '.rep')], { encoding: 'utf8' })
    .trim().split('\n').map((l) => JSON.parse(l));
}

test('a run plays at top speed to its results and shows the server\'s score', async () => {
  const res = await page.goto(server.url('/watch/' + run.id));
  assert.match(res.headers()['content-security-policy'], /script-src 'self' 'wasm-unsafe-eval';/);
  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame) > 60);
  const style = await page.$eval('#screen', (c) => [c.style.width, getComputedStyle(c).imageRendering]);
  assert.deepEqual(style, ['1280px', 'pixelated'], 'twice the size, crisp pixels');
  await shot('watch-playing');
  await page.keyboard.press('F3');
  await page.waitForSelector('#verdict.same', { timeout: 60000 });
  assert.equal(await page.$eval('#screen', (c) => Number(c.dataset.score)), run.score);
  assert.ok(await frameShown() >= run.endFrame);
  assert.match(await page.textContent('#verdict'), new RegExp(run.score.toLocaleString('en-US') + '.*the same as the server'));
  await shot('watch-results');
  assert.deepEqual(errors, []);
});

test('#t=N opens paused on the picture tolvane-replay renders after frame N', async () => {
  const frames = [0, 451, 3800, 17797, 24400];
  const dir = tempDir();
  execFileSync(TOOL, ['render', path.join(DATA, 'autoplay.rep'), ...frames.flatMap((n) => ['--frame', String(n)]), '--out', dir]);
  for (const n of frames) {
    await page.goto(server.url(`/watch/${run.id}#t=${n}`));
    await waitFrame(n);
    await page.waitForTimeout(100);
    assert.equal(await frameShown(), n, 'paused: the picture stays');
    assert.equal(await page.getAttribute('#here', 'href'), `#t=${n}`);
    assert.equal(await page.textContent('#play'), 'Play');
    assert.equal(await pixelsDiffering(frameFile(dir, n), dir, n), '0', `frame ${n}: pixels that differ`);
  }
  await shot('watch-paused');
});

test('?rival=ID races that run: the picture at #t=N is render --rival\'s, the rival\'s score beside', async () => {
  // Cid's run (boost) against Bob's (zero): the ghost early, a split line, the gap
  // after Cid's end, the results line.
  const frames = RACE_FRAMES;
  const dir = tempDir();
  execFileSync(TOOL, ['render', path.join(DATA, 'boost.rep'), '--rival', path.join(DATA, 'zero.rep'),
    ...frames.flatMap((n) => ['--frame', String(n)]), '--out', dir]);
  for (const n of frames) {
    await page.goto(server.url(`/watch/${third.id}?rival=${second.id}#t=${n}`));
    await waitFrame(n);
    assert.equal(await page.$eval('#screen', (c) => c.dataset.racing), 'true');
    assert.equal(await page.getAttribute('#here', 'href'), `#t=${n}`, 'the link to the frame keeps the rival');
    assert.equal(await pixelsDiffering(frameFile(dir, n), dir, n), '0', `frame ${n} racing: pixels that differ`);
  }
  assert.match(await page.textContent('#rival'), /^Racing Bob's run \(120,690 points\)/);
  await shot('watch-rival');
  assert.deepEqual(errors, []);
});

test('a rival that is not a run\'s id is refused in the page; one not found is said; the run plays alone', async () => {
  const hostile = ['../../api/v1/table', 'ABCDEF'.padEnd(64, '0'), '0'.repeat(63), second.id + '0',
    second.id + '/replay', '<b>x</b>', ''];
  for (const bad of hostile) {
    requests.length = 0;
    await page.goto(server.url(`/watch/${run.id}?rival=${encodeURIComponent(bad)}#t=120`));
    await waitFrame(120);
    await page.waitForSelector('#rival.error');
    assert.match(await page.textContent('#rival'), /not a run's id \(64 lowercase hex digits\): playing without a rival/, bad);
    assert.equal(await page.$eval('#screen', (c) => c.dataset.racing), 'false');
    const asked = requests.filter((u) => /\/api\//.test(u)).map((u) => new URL(u).pathname);
    assert.deepEqual(asked.sort(), [`/api/v1/runs/${run.id}`, `/api/v1/runs/${run.id}/replay`], `${bad}: only the run asked for`);
  }
  const missing = 'ab'.repeat(32);
  await page.goto(server.url(`/watch/${run.id}?rival=${missing}#t=120`));
  await waitFrame(120);
  await page.waitForSelector('#rival.error');
  assert.equal(await page.textContent('#rival'), 'There is no run abababababab… on this server: playing without a rival.');
  assert.equal(await page.$eval('#screen', (c) => c.dataset.racing), 'false');
  assert.equal(await page.$$eval('main b', (b) => b.length), 0);
  errors.length = 0; // the rival's 404s were reported, as they should be
});

test('the run page plots the run against its rival: the scores, the splits, the lost spans to watch', async () => {
  await page.setViewportSize({ width: 1024, height: 900 });
  await openRun(third.id);
  // By default the run one place above: Bob's.
  assert.equal(await page.$eval('#rival-pick', (s) => s.value), second.id);
  const check = async (rival, name) => {
    const lines = compareLines('boost', name);
    const lost = lines.find((l) => l.lost).lost;
    assert.ok(lost.length > 0, 'a rival it lost against');
    const links = await page.$$eval('ol.lost a', (as) => as.map((a) => a.getAttribute('href')));
    assert.deepEqual(links, lost.map((l) => `/watch/${third.id}?rival=${rival.id}#t=${l.from}`));
    const splits = lines.filter((l) => l.split).length;
    assert.equal(await page.$$eval('svg.race-plot line.split', (ls) => ls.length), splits);
    assert.equal(await page.$$eval('svg.race-plot polyline', (ps) => ps.map((p) => p.getAttribute('class')).join()), 'rival,run,gap');
    // One point a second and the final scores.
    assert.equal(await page.$eval('svg.race-plot polyline.run', (p) => p.getAttribute('points').split(' ').length),
      lines.filter((l) => l.frame !== undefined && !l.split).length + 1);
    const last = lines.at(-1);
    const said = (last.a.score - last.b.score);
    assert.match(await page.textContent('section.race p[aria-live]'), new RegExp(`^At the end: ${said < 0 ? '−' : '\\+'}${Math.abs(said).toLocaleString('en-US')} against ${rival === run ? 'Ann' : 'Bob'}\\.$`));
    assert.equal(await page.getAttribute('section.race a.watch', 'href'), `/watch/${third.id}?rival=${rival.id}`);
  };
  await check(second, 'zero');
  await page.locator('section.race').screenshot({ path: path.join(SHOTS, 'run-plot.png') });
  // Another rival from the table: the plot and the links follow.
  await page.selectOption('#rival-pick', run.id);
  await page.waitForFunction((id) => document.querySelector('ol.lost a')?.getAttribute('href').includes('rival=' + id), run.id);
  await check(run, 'autoplay');
  // A branch races the #1: Ann's run with its last 30 s left idle, sent by Dan.
  const copy = Buffer.from(replay('autoplay'));
  for (let f = copy.readInt32LE(0) - 1800; f < copy.readInt32LE(0); f++) copy[4 + f] = 0;
  const branch = await post(server, signedRun(player('Dan'), copy));
  assert.ok(branch.json.branchOf, branch.text);
  await openRun(branch.json.id);
  assert.equal(await page.$eval('#rival-pick', (s) => s.value), run.id);
  assert.match(await page.$eval('#rival-pick', (s) => s.selectedOptions[0].textContent), /^#1 Ann: [\d,]+ \(the #1\)$/);
  // The #1 races the #2; a lost span opens the race there.
  await openRun(run.id);
  assert.equal(await page.$eval('#rival-pick', (s) => s.value), second.id);
  await openRun(third.id);
  const href = await page.getAttribute('ol.lost a', 'href');
  await page.click('ol.lost a');
  const from = Number(href.split('#t=')[1]);
  await waitFrame(from);
  assert.equal(await page.$eval('#screen', (c) => c.dataset.racing), 'true');
  assert.deepEqual(errors, []);
});

test('the take-over line carries the frame shown, to the run page and the game\'s command; #t= only as a frame', async () => {
  await page.setViewportSize({ width: 1400, height: 1250 });
  const file = `tolvane-${run.id.slice(0, 12)}.rep`;
  const takeOver = async () => [await page.textContent('#takeover-command'), await page.getAttribute('#takeover-link', 'href')];
  const expected = (f) => [`tolvane ${file} --take-over ${f}`, `/#/run/${run.id}/takeover/${f}`];
  // Past the end the game has no frame to go on from: the last one is taken over.
  for (const [t, shown, frame] of [['0', 0, 0], ['451', 451, 451], [String(run.endFrame), run.endFrame, run.endFrame],
    ['99999999', run.endFrame + 600, run.endFrame]]) {
    await page.goto('about:blank');
    await page.goto(server.url(`/watch/${run.id}#t=${t}`));
    await waitFrame(shown);
    assert.deepEqual(await takeOver(), expected(frame), `#t=${t}`);
  }
  assert.equal(await page.getAttribute('#takeover-replay', 'download'), file);
  // Not a frame: the page plays from the start, and the line follows the frame shown.
  for (const bad of ['-5', '1e3', '12abc', '0x10', '%20', '', '<b>9</b>']) {
    await page.goto('about:blank');
    await page.goto(server.url(`/watch/${run.id}#t=${bad}`));
    await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame) > 30);
    assert.equal(await page.textContent('#play'), 'Pause', `#t=${bad}: playing, not opened at a frame`);
    await page.keyboard.press('Space');
    await page.waitForFunction(() => document.getElementById('play').textContent === 'Play');
    // Paused, the panel is the picture's at once: its frame, and the take-over of it.
    const at = await frameShown();
    assert.equal(await page.textContent('#frame'), `Frame ${at}`, `#t=${bad}`);
    assert.deepEqual(await takeOver(), expected(at), `#t=${bad}`);
  }
  // The link opens the run page's take-over at that frame.
  const at = await frameShown();
  await page.click('#takeover-link');
  await page.waitForSelector('#takeover-frame');
  assert.equal(await page.inputValue('#takeover-frame'), String(at));
  assert.equal(await page.textContent('#takeover-command'), `tolvane ${file} --take-over ${at}`);
  await page.goto(server.url(`/watch/${run.id}#t=3800`));
  await waitFrame(3800);
  await shot('watch-takeover');
  assert.deepEqual(errors, []);
});

test('a run whose figures do not hold up is not played', async () => {
  const answers = [{ ...run, endFrame: String(run.endFrame) }, { ...run, endFrame: 1e9 }, { ...run, endFrame: -1 },
    { ...run, id: second.id }, { ...run, score: '120690' }, { ...run, name: null }];
  await page.route(`**/api/v1/runs/${run.id}`, (route) => route.fulfill({ contentType: 'application/json', body: JSON.stringify(answers.shift()) }));
  try {
    while (answers.length) {
      const left = answers.length;
      await page.goto('about:blank');
      await page.goto(server.url(`/watch/${run.id}#t=100`));
      await page.waitForSelector('#verdict.error');
      assert.equal(await page.textContent('#verdict'), 'Cannot play this run: the server\'s figures for this run do not hold up', `answer ${left}`);
      assert.equal(await page.$eval('#takeover', (p) => p.hidden), true);
    }
  } finally {
    await page.unroute(`**/api/v1/runs/${run.id}`);
  }
});

test('the playback keys, the buttons and the seek bar, backwards too', async () => {
  await page.goto('about:blank'); // a fresh page: opened on #t=1000, not only sent there
  await page.goto(server.url(`/watch/${run.id}#t=1000`));
  await waitFrame(1000);
  await page.keyboard.press('.');
  await waitFrame(1001);
  await page.keyboard.press('PageDown');
  await waitFrame(1601);
  await page.click('#step');
  await waitFrame(1602);
  await page.$eval('#seek', (s) => { s.value = '250'; s.dispatchEvent(new Event('input')); });
  await waitFrame(250);
  assert.equal(await page.getAttribute('#here', 'href'), '#t=250');
  assert.match(await page.textContent('#panel'), /Frame 250/);
  await page.keyboard.press('F1');
  await page.keyboard.press('F1');
  assert.equal(await page.textContent('#speed'), 'Speed ×3');
  await page.keyboard.press('F2');
  assert.equal(await page.textContent('#speed'), 'Speed ×2');
  await page.keyboard.press('Space');
  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame) > 260);
  await page.keyboard.press('Space');
  assert.equal(await page.textContent('#play'), 'Play');
  // The song of the frame shown follows the seeks, backwards too, as the game changes it.
  for (const [n, song] of [[3800, 'boss.opus'], [200, 'stage1.opus'], [6000, 'stage2.opus'], [0, '']]) {
    await page.$eval('#seek', (s, n) => { s.value = String(n); s.dispatchEvent(new Event('input')); }, n);
    await waitFrame(n);
    assert.equal(await page.$eval('#screen', (c) => c.dataset.song), song, `the song at frame ${n}`);
  }
  await page.keyboard.press('Space');
  await page.keyboard.press('End');
  await page.waitForSelector('#verdict.same');
  assert.equal(await page.$eval('#screen', (c) => c.dataset.song), 'CLEAR.opus');
  await page.keyboard.press('Space');
  await page.$eval('#seek', (s) => { s.value = '100'; s.dispatchEvent(new Event('input')); });
  await waitFrame(100);
  assert.equal(await page.textContent('#verdict'), '', 'no verdict before the end');
  await page.goto(server.url(`/watch/${run.id}#t=99999999`));
  await waitFrame(run.endFrame + 600); // as far as the seek bar goes, not for ever
  assert.equal(await page.$eval('#sound', (b) => b.getAttribute('aria-pressed')), 'false', 'silent until asked');
  await page.click('#sound');
  await page.waitForFunction(() => document.getElementById('sound').getAttribute('aria-pressed') === 'true');
  assert.deepEqual(errors, []);
});

test('what is not a run or a file of the player is not found; without the player the page says so', async () => {
  for (const [p, status] of [['/watch/xyz', 404], ['/watch/' + '0'.repeat(63), 404], ['/player/nothing.js', 404],
    ['/player/..%2Fwatch.js', 404], ['/player/tolvane-web.wasm', 200]]) {
    const res = await fetch(server.url(p));
    assert.equal(res.status, status, p);
    if (status === 200) assert.equal(res.headers.get('content-type'), 'application/wasm');
  }
  const bare = await startServer();
  try {
    const answer = await post(bare, signedRun(player('Ann'), replay('autoplay')));
    const res = await fetch(bare.url('/player/tolvane-web.js'));
    assert.equal(res.status, 404);
    assert.match((await res.json()).error, /not installed/);
    await page.goto(bare.url('/watch/' + answer.json.id));
    await page.waitForSelector('#verdict.error');
    assert.match(await page.textContent('#verdict'), /the web player is not installed on this server/);
  } finally {
    await bare.stop();
  }
  errors.length = 0; // the missing script was reported, as it should be
});

test('a phone\'s width: the picture and the controls fit, racing too; so does the run page\'s plot', async () => {
  await page.setViewportSize({ width: 390, height: 844 });
  await page.goto('about:blank');
  await page.goto(server.url(`/watch/${run.id}#t=3800`));
  await waitFrame(3800);
  let width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `${width} px wide`);
  await page.screenshot({ path: path.join(SHOTS, 'watch-phone.png'), fullPage: true });
  await page.goto(server.url(`/watch/${third.id}?rival=${second.id}#t=${RACE_FRAMES[1]}`));
  await waitFrame(RACE_FRAMES[1]);
  width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `racing: ${width} px wide`);
  await page.screenshot({ path: path.join(SHOTS, 'watch-rival-phone.png'), fullPage: true });
  await page.goto(server.url('/#/run/' + third.id));
  await page.waitForSelector('svg.race-plot');
  width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `the run page: ${width} px wide`);
  const plot = await page.$eval('svg.race-plot', (s) => s.getBoundingClientRect().right);
  assert.ok(plot <= 390, `the plot ends at ${plot} px`);
  await page.screenshot({ path: path.join(SHOTS, 'run-plot-phone.png'), fullPage: true });
});
