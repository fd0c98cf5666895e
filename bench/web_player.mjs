// The web player's figures in Chromium (run by bench/web_player.sh): the first frame
// after opening /watch/RUN, the bytes transferred for the module, script, pictures and
// songs, the share of a core that playback at normal speed takes, and the frames per
// second at top speed, of a jump to the results and of a seek back (in the page), what
// the run page's plot against a rival costs, and of the module alone under Node.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { player, post, replay, signedRun, startServer, DATA } from '../tests/server/lib.mjs';

const require = createRequire(path.join(process.env.NODE_PATH, 'x.js'));
const { chromium } = require('playwright-core');
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const server = await startServer({ args: ['--player', process.env.TOLVANE_PLAYER, '--requests-per-second', '1000'] });
const browser = await chromium.launch({ executablePath: process.env.TOLVANE_CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'] });
try {
  const run = (await post(server, signedRun(player('Bench'), replay('autoplay')))).json;
  const url = server.url('/watch/' + run.id);

  // First frame, from a fresh browser context each time (nothing cached).
  const firsts = [];
  for (let i = 0; i < 5; i++) {
    const context = await browser.newContext();
    const page = await context.newPage();
    const t0 = Date.now();
    await page.goto(url);
    await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame) >= 0);
    firsts.push(Date.now() - t0);
    await context.close();
  }
  console.log(`first frame: median ${median(firsts)} ms of 5 (${firsts.join(', ')})`);

  // Everything a visitor fetches, songs included (sound on).
  const context = await browser.newContext({ viewport: { width: 1400, height: 1250 } });
  const page = await context.newPage();
  const bytes = {};
  page.on('response', async (r) => {
    const name = new URL(r.url()).pathname;
    try { bytes[name] = (await r.body()).length; } catch { /* redirects have no body */ }
  });
  await page.goto(url);
  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame) >= 0);
  await page.click('#sound');
  await page.waitForLoadState('networkidle');
  await page.waitForTimeout(1000);
  const files = Object.entries(bytes).filter(([n]) => n.startsWith('/player/'));
  const sum = (list) => list.reduce((s, [, b]) => s + b, 0);
  console.log(`transferred: player ${(sum(files) / 1e6).toFixed(2)} MB (${files.length} files: ` +
    files.map(([n, b]) => `${n.slice(8)} ${(b / 1024).toFixed(0)} KiB`).join(', ') + `), all ${(sum(Object.entries(bytes)) / 1e6).toFixed(2)} MB`);

  // A core's share at normal speed: the renderer's task time over 10 s of playback.
  const cdp = await context.newCDPSession(page);
  await cdp.send('Performance.enable');
  const task = async () => (await cdp.send('Performance.getMetrics')).metrics.find((x) => x.name === 'TaskDuration').value;
  const f0 = await page.$eval('#screen', (c) => Number(c.dataset.frame));
  const t0 = await task();
  const w0 = Date.now();
  await page.waitForTimeout(10000);
  const t1 = await task();
  const f1 = await page.$eval('#screen', (c) => Number(c.dataset.frame));
  const wall = (Date.now() - w0) / 1000;
  console.log(`normal speed: ${((f1 - f0) / wall).toFixed(1)} frames/s shown, renderer busy ${(100 * (t1 - t0) / wall).toFixed(1)} % of a core`);

  // Top speed in the page: frames per second while it runs to the results.
  await page.goto('about:blank');
  await page.goto(url + '#t=0');
  await page.waitForFunction(() => document.getElementById('screen').dataset.frame === '0');
  await page.keyboard.press('F3');
  await page.keyboard.press('Space');
  const s0 = Date.now();
  await page.waitForSelector('#verdict.same', { timeout: 120000 });
  console.log(`top speed in the page: ${run.endFrame} frames to the results in ${((Date.now() - s0) / 1000).toFixed(2)} s = ` +
    `${Math.round(run.endFrame / ((Date.now() - s0) / 1000))} frames/s`);

  // The fastest the page goes: a jump to the results (End) and a seek back, as frames a second.
  for (const [what, key] of [['to the results (End)', 'End'], ['seek back to frame 24000', null]]) {
    await page.goto('about:blank');
    await page.goto(url + (key ? '#t=0' : '#t=24399'));
    await page.waitForFunction((f) => document.getElementById('screen').dataset.frame === f, key ? '0' : '24399');
    const took = await page.evaluate(async (key) => {
      const t = performance.now();
      if (key) {
        window.dispatchEvent(new KeyboardEvent('keydown', { key }));
      } else {
        const s = document.getElementById('seek');
        s.value = '24000';
        s.dispatchEvent(new Event('input'));
      }
      return performance.now() - t;
    }, key);
    const frames = key ? run.endFrame + 1 : 24001; // a seek back plays from the start again
    console.log(`${what}: ${frames} frames in ${took.toFixed(0)} ms = ${Math.round(frames / (took / 1000))} frames/s`);
  }

  // The run page's plot: both games played by the module and compared (compareRuns of
  // app.js), and only the rival's when the visitor picks another; the busiest golden run
  // against a short one.
  const rival = (await post(server, signedRun(player('Rival'), replay('zero')))).json;
  await page.goto(server.url('/#/run/' + run.id));
  await page.waitForSelector('svg.race-plot', { timeout: 60000 });
  for (const [what, clear] of [['both games', [0, 1]], ['the rival\'s game only', [1]]]) {
    const times = await page.evaluate(async ([a, b, clear]) => {
      const out = [];
      for (let i = 0; i < 5; i++) {
        for (const slot of clear) inSlot[slot] = null;
        const t = performance.now();
        await compareRuns(a, b);
        out.push(performance.now() - t);
      }
      return out;
    }, [run.id, rival.id, clear]);
    console.log(`run page's comparison, ${what} (${run.endFrame + 1} and ${rival.endFrame + 1} frames): median ` +
      `${median(times).toFixed(0)} ms of 5 (${times.map((t) => t.toFixed(0)).join(', ')})`);
  }
} finally {
  await browser.close();
  await server.stop();
}

// The module alone, under Node: a whole game without pictures (a seek, "to the results").
const dir = process.env.TOLVANE_PLAYER;
const createTolvane = require(path.resolve(dir, 'tolvane-web.js'));
const m = await createTolvane({ wasmBinary: fs.readFileSync(path.resolve(dir, 'tolvane-web.wasm')) });
const bytesOfReplay = fs.readFileSync(path.join(DATA, 'autoplay.rep'));
const p = m._malloc(bytesOfReplay.length);
m.HEAPU8.set(bytesOfReplay, p);
const rates = [];
for (let i = 0; i < 5; i++) {
  m._tv_open(p, bytesOfReplay.length, 1);
  const t = process.hrtime.bigint();
  let n = 0;
  while (!m._tv_ended()) { m._tv_frame(0); n++; }
  rates.push(n / (Number(process.hrtime.bigint() - t) / 1e9));
}
console.log(`module under Node, frames not shown: median ${Math.round(median(rates))} frames/s`);
