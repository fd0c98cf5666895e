// The watch page in Chromium, on the web player that web/build.sh made: a golden run
// played at top speed to its end with the server's score; the picture at #t=N pixel
// for pixel what tolvane-replay render draws after frame N; the playback keys, the seek
// bar backwards; a phone's width.
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

let server, browser, page, run;
const errors = [];

before(async () => {
  server = await startServer({ args: ['--player', process.env.TOLVANE_PLAYER, '--requests-per-second', '1000'] });
  const answer = await post(server, signedRun(player('Ann'), replay('autoplay')));
  assert.equal(answer.status, 201);
  run = answer.json;
  browser = await chromium.launch({ executablePath: process.env.TOLVANE_CHROMIUM,
    args: ['--no-sandbox', '--disable-gpu', '--autoplay-policy=user-gesture-required'] });
  page = await browser.newPage({ viewport: { width: 1400, height: 1250 } });
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
});

after(async () => {
  await browser?.close();
  await server?.stop();
});

const shot = (name) => page.screenshot({ path: path.join(SHOTS, name + '.png') });
const frameShown = () => page.$eval('#screen', (c) => Number(c.dataset.frame));
const waitFrame = (n) => page.waitForFunction((n) => document.getElementById('screen').dataset.frame === String(n), n);

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
    const rgba = Buffer.from(await page.evaluate(() => {
      const c = document.getElementById('screen');
      const d = c.getContext('2d').getImageData(0, 0, 640, 480).data;
      let s = '';
      for (let i = 0; i < d.length; i += 8192) s += String.fromCharCode(...d.subarray(i, i + 8192));
      return btoa(s);
    }), 'base64');
    const raw = path.join(dir, `web-${n}.rgba`);
    fs.writeFileSync(raw, rgba);
    const native = path.join(dir, `frame-${String(n).padStart(5, '0')}.png`);
    // compare tells the number of pixels that differ on stderr.
    const differ = spawnSync('compare', ['-metric', 'AE', '-size', '640x480', '-depth', '8', 'rgba:' + raw, native, 'null:'],
      { encoding: 'utf8' }).stderr.trim();
    assert.equal(differ, '0', `frame ${n}: pixels that differ`);
  }
  await shot('watch-paused');
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

test('a phone\'s width: the picture and the controls fit', async () => {
  await page.setViewportSize({ width: 390, height: 844 });
  await page.goto('about:blank');
  await page.goto(server.url(`/watch/${run.id}#t=3800`));
  await waitFrame(3800);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 390, `${width} px wide`);
  await page.screenshot({ path: path.join(SHOTS, 'watch-phone.png'), fullPage: true });
});
