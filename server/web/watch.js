// The watch page: the run played back in the page by the game's own library built as
// WebAssembly (/player/), frame for frame as tolvane-replay plays it, with the game's
// playback keys, a seek bar, its sound effects and songs; with ?rival=ID, racing that
// run as the game does (its ghost, the gap and the splits, drawn by the module). Nothing
// is shown as markup: every text from the server goes in as text.
'use strict';

const FRAME_MS = 17;                 // one frame at normal speed
const RESULTS_FRAMES = 600;          // how far the seek bar reaches past the end
const VOICES = [3, 3, 2, 2, 2, 2];   // copies of a sound effect that may sound at once
const $ = (id) => document.getElementById(id);
const canvas = $('screen');
const ctx = canvas.getContext('2d');
let image = null;       // the module's picture, seen as ImageData without a copy
let panelTime = 0;      // when the panel's text was last written

const RUN_ID = /^[0-9a-f]{64}$/;
// No run ends later: a replay is at most 64 KiB, a byte a frame.
const LAST_FRAME = 65536;
const whole = (v, lo, hi) => Number.isSafeInteger(v) && v >= lo && v <= hi;
const runId = decodeURIComponent(location.pathname.split('/')[2] || '');
// The rival named by the address: checked before anything is asked for with it.
const rivalParam = new URLSearchParams(location.search).get('rival');
let m = null;           // the module
let replay = null;      // the replay's bytes
let run = null;         // the server's figures
let shown = -1;         // the frame whose picture is on the canvas
let endFrame = -1;      // the frame in which the game ended, once the page has played it
let paused = false;
let speed = 0;          // the game's playbackSpeed: 0..15, or 255 for top speed
let due = 0;            // milliseconds of frames owed
let lastTime = 0;
const sound = { ctx: null, on: false, effects: [], voices: VOICES.map(() => []), songs: {},
  song: null, songFrom: 0, next: null, source: null };

function sayRival(text, cls) {
  const r = $('rival');
  r.textContent = text;
  r.className = cls || '';
  r.hidden = !text;
}

function say(text, cls) {
  const v = $('verdict');
  v.textContent = text;
  v.className = cls || '';
  delete v.dataset.score;
}

// ---- The game ----

function open() {
  const p = m._malloc(Math.max(1, replay.length));
  m.HEAPU8.set(replay, p);
  const ok = m._tv_open(p, replay.length, 1);
  m._free(p);
  if (!ok) throw new Error(m.UTF8ToString(m._tv_text()));
  canvas.dataset.racing = String(m._tv_racing() === 1);
  shown = -1;
  sound.song = null;
  sound.next = null;
  canvas.dataset.song = '';
}

// Runs one frame; `show` composes its picture. Its sound calls are followed (the song
// that plays now) and, when `audible` (playing on, not jumping), they sound.
function frame(show, audible) {
  const index = m._tv_next_frame();
  const ended = m._tv_frame(show ? 1 : 0);
  if (ended) endFrame = index;
  if (m._tv_sound_count() > 0) soundCalls(JSON.parse(m.UTF8ToString(m._tv_sounds())), index, audible);
  if (show) shown = index;
  return index;
}

function draw() {
  const p = m._tv_picture();
  if (!p) return;
  // The picture stays where it is in the module's memory; a memory that has grown is new.
  if (!image || image.data.buffer !== m.HEAPU8.buffer || image.data.byteOffset !== p) {
    image = new ImageData(new Uint8ClampedArray(m.HEAPU8.buffer, p, 640 * 480 * 4), 640, 480);
  }
  ctx.putImageData(image, 0, 0);
  const score = m._tv_score();
  canvas.dataset.frame = String(shown);
  canvas.dataset.score = String(score);
  if (canvas.dataset.racing === 'true') canvas.dataset.rivalScore = String(m._tv_rival_score());
  if (endFrame >= 0 && shown >= endFrame) verdict(score);
  else if ($('verdict').dataset.score) say('');
  // While it plays, the panel's text is written ten times a second: enough to read, and
  // no layout of the page in every frame.
  const now = performance.now();
  if (!paused && now - panelTime < 100) return;
  panelTime = now;
  writePanel();
}

// The frame shown, its input, and the links and command that carry it.
function writePanel() {
  $('frame').textContent = 'Frame ' + shown;
  const b = m._tv_input(shown);
  const keys = [[1, '↑'], [2, '↓'], [4, '←'], [8, '→'], [16, 'bomb']].filter(([bit]) => b & bit).map(([, k]) => k);
  $('input').textContent = 'Input ' + (keys.length ? keys.join(' ') : '–');
  $('here').href = '#t=' + shown;
  $('seek').value = String(shown);
  showTakeOver();
}

// The game's command that takes the run over at the frame shown (frames 0 to it are the
// run's), and the run page's take-over there; past the end, at the run's last frame.
function showTakeOver() {
  const f = Math.min(Math.max(0, shown), run.endFrame);
  const name = `tolvane-${runId.slice(0, 12)}.rep`;
  $('takeover-link').href = `/#/run/${runId}/takeover/${f}`;
  $('takeover-replay').href = `/api/v1/runs/${runId}/replay`;
  $('takeover-replay').setAttribute('download', name);
  // Word by word, so that a narrow screen breaks it only between words.
  $('takeover-command').replaceChildren(...`tolvane ${name} --take-over ${f}`.split(' ').flatMap((w, i) => {
    const word = document.createElement('span');
    word.textContent = w;
    return i ? [' ', word] : [word];
  }));
  $('takeover').hidden = false;
}

function verdict(score) {
  if (!run || $('verdict').dataset.score === String(score)) return;
  if (score === run.score) {
    say(`Score ${score.toLocaleString('en-US')}: the same as the server's.`, 'same');
  } else {
    say(`Score ${score.toLocaleString('en-US')} here, but the server says ${run.score.toLocaleString('en-US')}.`,
      'differs');
  }
  $('verdict').dataset.score = String(score);
}

// Shows the picture after frame `target`, running every frame up to it (from the start
// when it lies behind), silently.
function goTo(target) {
  // No further than the seek bar reaches: a frame number from an address must not keep
  // the page busy for ever.
  target = Math.min(Math.max(0, Math.floor(target)), Number($('seek').max));
  if (m._tv_next_frame() > target) open();
  while (m._tv_next_frame() < target) frame(false, false);
  frame(true, false);
  draw();
  restartSong();
}

// To the results: every frame up to the one in which the game ends.
function toResults() {
  if (endFrame < 0 || shown < endFrame) {
    while (!m._tv_ended() && m._tv_next_frame() < 30000) frame(false, false);
    goTo(Math.max(shown + 1, m._tv_next_frame()));
  }
}

function tick(now) {
  const elapsed = Math.min(now - lastTime, 250);
  lastTime = now;
  if (!paused && m) {
    const period = FRAME_MS / (speed + 1);
    due += elapsed;
    let n = Math.floor(due / period);
    due -= n * period;
    // Never more work in one display frame than about 12 ms of it.
    const started = performance.now();
    while (n > 1 && performance.now() - started < 12) {
      frame(false, true);
      --n;
    }
    if (n >= 1) {
      frame(true, true);
      draw();
    }
    due = Math.min(due, period * 4);
  }
  requestAnimationFrame(tick);
}

function setSpeed(s) {
  speed = s;
  $('speed').textContent = speed === 255 ? 'Speed top' : 'Speed ×' + (speed + 1);
  $('top').setAttribute('aria-pressed', String(speed === 255));
}

function setPaused(p) {
  paused = p;
  panelTime = 0;
  // Paused, the panel is the picture's at once (playing, it may be up to a tenth of a second behind).
  if (paused && m && shown >= 0) writePanel();
  $('play').textContent = paused ? 'Play' : 'Pause';
  $('play').setAttribute('aria-pressed', String(paused));
  if (sound.ctx) (paused ? sound.ctx.suspend() : sound.ctx.resume()).catch(() => {});
  if (!paused) lastTime = performance.now();
}

// ---- Sound ----

function soundCalls(calls, index, audible) {
  for (const [name, arg] of calls) {
    if (name === 'STPlay') {
      // Effects sound at every speed but the top one, where hundreds would start a second.
      if (audible && speed !== 255) effect(arg);
    } else if (name === 'MTStop') {
      sound.song = null;
      canvas.dataset.song = '';
      stopSong();
    } else if (name === 'MTReadFile') {
      sound.next = String(arg).replace(/\.mid$/i, '.opus');
    } else if (name === 'MTPlay' && sound.next) {
      sound.song = sound.next;
      sound.songFrom = index;
      canvas.dataset.song = sound.song;
      if (audible) startSong(0);
    }
  }
}

function effect(slot) {
  const buffer = sound.effects[slot];
  if (!sound.on || !buffer || paused) return;
  const voices = sound.voices[slot];
  if (voices.length >= VOICES[slot]) voices.shift().stop();
  const s = sound.ctx.createBufferSource();
  s.buffer = buffer;
  s.connect(sound.ctx.destination);
  s.onended = () => { const i = voices.indexOf(s); if (i >= 0) voices.splice(i, 1); };
  voices.push(s);
  s.start();
}

function stopSong() {
  if (sound.source) sound.source.stop();
  sound.source = null;
}

// The song of the frame shown, from where it would be now; the results jingle plays once.
function startSong(offsetSeconds) {
  stopSong();
  const buffer = sound.on && sound.song && sound.songs[sound.song];
  if (!buffer) return;
  const once = /^CLEAR\./.test(sound.song);
  if (once && offsetSeconds >= buffer.duration) return;
  const s = sound.ctx.createBufferSource();
  s.buffer = buffer;
  s.loop = !once;
  s.connect(sound.ctx.destination);
  s.start(0, once ? offsetSeconds : offsetSeconds % buffer.duration);
  sound.source = s;
}

function restartSong() {
  if (sound.song) startSong(Math.max(0, shown - sound.songFrom) * FRAME_MS / 1000);
  else stopSong();
}

async function load(name) {
  const res = await fetch('/player/' + name);
  if (!res.ok) throw new Error(name);
  return sound.ctx.decodeAudioData(await res.arrayBuffer());
}

// Browsers let a page sound only after the visitor has clicked or pressed a key.
async function enableSound(on) {
  if (on && !sound.ctx) {
    const Ctx = window.AudioContext || window.webkitAudioContext;
    if (!Ctx) return;
    sound.ctx = new Ctx();
    sound.effects = await Promise.all([101, 102, 103, 104, 105, 106].map((id) => load(`wave${id}.wav`).catch(() => null)));
    for (const song of ['stage1', 'stage2', 'boss', 'lastboss', 'CLEAR']) {
      load(song + '.opus').then((b) => {
        sound.songs[song + '.opus'] = b;
        if (sound.song === song + '.opus') restartSong();
      }).catch(() => {});
    }
  }
  sound.on = on && !!sound.ctx;
  $('sound').textContent = sound.on ? 'Sound on' : 'Sound off';
  $('sound').setAttribute('aria-pressed', String(sound.on));
  if (sound.ctx) {
    if (sound.on && !paused) sound.ctx.resume().catch(() => {});
    if (sound.on) restartSong();
    else stopSong();
  }
}

// ---- Controls ----

const actions = {
  pause: () => setPaused(!paused),
  step: () => { setPaused(true); goTo(shown + 1); },
  faster: () => setSpeed(speed === 255 ? 255 : Math.min(15, speed + 1)),
  slower: () => setSpeed(speed === 255 ? 15 : Math.max(0, speed - 1)),
  top: () => setSpeed(speed === 255 ? 0 : 255),
  jump: () => goTo(shown + 600),
  end: () => toResults(),
};
const keys = { F1: 'faster', F2: 'slower', F3: 'top', ' ': 'pause', p: 'pause', P: 'pause', Pause: 'pause',
  '.': 'step', PageDown: 'jump', End: 'end' };

function scale() {
  const w = document.documentElement.clientWidth - 16;
  const h = window.innerHeight - 190;
  const k = Math.max(1, Math.floor(Math.min(w / 640, h / 480)));
  // Below the picture's own size, a phone gets it scaled down to fit (still whole rows of pixels).
  const fit = w < 640 ? w / 640 : k;
  canvas.style.width = Math.floor(640 * fit) + 'px';
  canvas.style.height = Math.floor(480 * fit) + 'px';
}

function fromHash() {
  const t = /^#t=(\d+)$/.exec(location.hash);
  if (!t) return false;
  setPaused(true);
  goTo(Number(t[1]));
  return true;
}

// The player's script and module load while the run and its replay are asked for.
function loadModule() {
  const script = document.createElement('script');
  script.src = '/player/tolvane-web.js';
  return new Promise((resolve, reject) => {
    script.onload = resolve;
    script.onerror = () => reject(new Error('the web player is not installed on this server'));
    document.head.append(script);
  }).then(() => window.createTolvane({ locateFile: (name) => '/player/' + name }));
}

// The rival's figures and replay, or why there is none (the run then plays alone).
async function fetchRival() {
  if (rivalParam === null) return { note: '' };
  if (!RUN_ID.test(rivalParam)) {
    return { note: 'The rival in the address is not a run\'s id (64 lowercase hex digits): playing without a rival.' };
  }
  const [runRes, repRes] = await Promise.all([
    fetch('/api/v1/runs/' + rivalParam, { headers: { Accept: 'application/json' } }),
    fetch('/api/v1/runs/' + rivalParam + '/replay'),
  ]);
  if (runRes.status === 404 || repRes.status === 404) {
    return { note: `There is no run ${rivalParam.slice(0, 12)}… on this server: playing without a rival.` };
  }
  const body = await runRes.json().catch(() => null);
  if (!runRes.ok || !repRes.ok || !body) {
    return { note: `The rival's run cannot be fetched (HTTP ${runRes.ok ? repRes.status : runRes.status}): playing without a rival.` };
  }
  return { run: body, bytes: new Uint8Array(await repRes.arrayBuffer()) };
}

// Hands the rival to the module before the game is opened; says what is raced, or why not.
function setRival(rival) {
  if (!rival.bytes) {
    sayRival(rival.note, rival.note ? 'error' : '');
    return;
  }
  const p = m._malloc(Math.max(1, rival.bytes.length));
  m.HEAPU8.set(rival.bytes, p);
  const ok = m._tv_rival(p, rival.bytes.length);
  m._free(p);
  if (!ok) {
    sayRival(`The rival's replay cannot be played (${m.UTF8ToString(m._tv_text())}): playing without a rival.`, 'error');
    return;
  }
  const r = rival.run;
  sayRival(`Racing ${r.name}'s run (${Number(r.score).toLocaleString('en-US')} points): its ghost, and the gap ` +
    'under the score, ahead in blue, behind in orange.', 'racing');
}

async function start() {
  if (!RUN_ID.test(runId)) throw new Error('this is not the address of a run');
  const module = loadModule();
  module.catch(() => {}); // told below, once the run is known
  const rival = fetchRival().catch((e) => ({ note: `The rival's run cannot be fetched (${e.message}): playing without a rival.` }));
  const [runRes, repRes] = await Promise.all([
    fetch('/api/v1/runs/' + runId, { headers: { Accept: 'application/json' } }),
    fetch('/api/v1/runs/' + runId + '/replay'),
  ]);
  const body = await runRes.json().catch(() => ({ error: 'the server sent no JSON' }));
  if (!runRes.ok) throw new Error(body.error || 'HTTP ' + runRes.status);
  if (!repRes.ok) throw new Error('the replay cannot be fetched (HTTP ' + repRes.status + ')');
  // The frames go into the seek bar, addresses and the command: checked first.
  if (body.id !== runId || typeof body.name !== 'string' || !whole(body.score, 0, Number.MAX_SAFE_INTEGER) ||
      !whole(body.endFrame, 0, LAST_FRAME)) {
    throw new Error('the server\'s figures for this run do not hold up');
  }
  run = body;
  replay = new Uint8Array(await repRes.arrayBuffer());
  $('who').textContent = `Run by ${run.name}: ${Number(run.score).toLocaleString('en-US')} points`;
  m = await module;
  $('seek').max = String(run.endFrame + RESULTS_FRAMES);
  setRival(await rival);
  open();
  if (!fromHash()) goTo(0);
  lastTime = performance.now();
  requestAnimationFrame(tick);
}

for (const [id, action] of [['play', 'pause'], ['step', 'step'], ['faster', 'faster'], ['slower', 'slower'],
  ['top', 'top'], ['jump', 'jump'], ['end', 'end']]) {
  $(id).addEventListener('click', () => m && actions[action]());
}
$('sound').addEventListener('click', () => enableSound(!sound.on));
canvas.addEventListener('click', () => m && actions.pause());
$('seek').addEventListener('input', () => m && goTo(Number($('seek').value)));
window.addEventListener('keydown', (e) => {
  const action = keys[e.key];
  if (!action || !m || e.altKey || e.ctrlKey || e.metaKey) return;
  e.preventDefault();
  actions[action]();
});
window.addEventListener('hashchange', () => m && fromHash());
window.addEventListener('resize', scale);
scale();
setSpeed(0);
start().catch((e) => say('Cannot play this run: ' + e.message, 'error'));
