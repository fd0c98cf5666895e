// The online table's page. Everything shown comes from the API and is put into the
// page as text (textContent), never as markup: a name is shown exactly as it was sent.
// A run's page races it against a rival with the web player's module (/player/): the
// two scores over time, their difference and where the run lost most, drawn as SVG. It
// also gives the game's command that takes the run over at a frame, and lists the runs
// that are branches of it. Ids and frames from the server are checked before they go
// into an address or a command.
'use strict';

const PERIODS = [['all', 'All time'], ['month', 'This month'], ['week', 'This week'], ['day', 'Today']];
const PAGE = 20;
const RUN_ID = /^[0-9a-f]{64}$/;   // a run's id, and a player's key too
// No run ends later: a replay is at most 64 KiB, a byte a frame.
const LAST_FRAME = 65536;
const view = document.getElementById('view');

// An element with attributes and children; strings become text nodes.
function el(tag, attrs, ...children) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, v);
  for (const c of children) e.append(c instanceof Node ? c : document.createTextNode(String(c)));
  return e;
}

function link(href, text) { return el('a', { href }, text); }
const fmt = (n) => (n === null || n === undefined ? '—' : Number(n).toLocaleString('en-US'));
const seconds = (frames) => (frames / 60).toFixed(2) + ' s';
const when = (iso) => iso.replace('T', ' ').replace(/\.\d+Z$/, ' UTC');
const whole = (v, lo, hi) => Number.isSafeInteger(v) && v >= lo && v <= hi;
const percent = (share) => (share * 100).toFixed(1) + ' %';

async function api(path) {
  const res = await fetch(path, { headers: { Accept: 'application/json' } });
  const body = await res.json().catch(() => ({ error: 'the server sent no JSON' }));
  if (!res.ok) throw new Error(body.error || ('HTTP ' + res.status));
  return body;
}

function show(...nodes) {
  view.replaceChildren(...nodes);
}

function failed(err) {
  show(el('p', { class: 'error' }, 'Could not load: ' + err.message), el('p', {}, link('#/', 'Back to the table')));
}

function runRow(run) {
  return el('tr', {},
    el('td', { class: 'num' }, fmt(run.rank)),
    el('td', { class: 'name' }, link('#/player/' + run.player, run.name)),
    el('td', { class: 'num' }, link('#/run/' + run.id, fmt(run.score)),
      run.branchOf ? el('span', { class: 'branch-mark', title: 'A branch of another run: not ranked' }, ' (branch)') : ''),
    el('td', { class: 'num wide' }, fmt(run.level)),
    el('td', { class: 'num wide' }, fmt(run.maxChain)),
    el('td', { class: 'wide' }, when(run.submittedAt)),
    el('td', {}, link('/watch/' + run.id, 'Watch')));
}

function runTable(runs) {
  return el('table', {},
    el('thead', {}, el('tr', {},
      el('th', { class: 'num' }, 'Rank'), el('th', {}, 'Name'), el('th', { class: 'num' }, 'Score'),
      el('th', { class: 'num wide' }, 'Level'), el('th', { class: 'num wide' }, 'Max chain'),
      el('th', { class: 'wide' }, 'Sent'), el('th', {}, ''))),
    el('tbody', {}, ...runs.map(runRow)));
}

async function tableView(period, page) {
  const offset = page * PAGE;
  const data = await api(`/api/v1/table?period=${period}&offset=${offset}&limit=${PAGE}`);
  const nav = el('nav', { class: 'periods' }, ...PERIODS.map(([p, label]) => {
    const a = link(`#/table/${p}/1`, label);
    if (p === period) a.setAttribute('aria-current', 'page');
    return a;
  }));
  const pages = Math.max(1, Math.ceil(data.total / PAGE));
  const pager = el('div', { class: 'pager' },
    page > 0 ? link(`#/table/${period}/${page}`, '← Better') : el('span'),
    el('span', { class: 'note' }, `Page ${page + 1} of ${pages} · ${fmt(data.total)} players`),
    offset + PAGE < data.total ? link(`#/table/${period}/${page + 2}`, 'Next →') : el('span'));
  const body = data.entries.length ? runTable(data.entries) : el('p', { class: 'note' }, 'No runs in this period yet.');
  show(el('h2', {}, 'Best runs'), nav, body, pager);
}

async function playerView(key) {
  const p = await api('/api/v1/players/' + encodeURIComponent(key) + '?limit=100');
  const best = el('table', {},
    el('thead', {}, el('tr', {}, el('th', {}, 'Period'), el('th', { class: 'num' }, 'Rank'),
      el('th', { class: 'num' }, 'Best score'))),
    el('tbody', {}, ...PERIODS.map(([period, label]) => {
      const r = p.best[period];
      return el('tr', {}, el('td', {}, label), el('td', { class: 'num' }, r ? fmt(r.rank) : '—'),
        el('td', { class: 'num' }, r ? link('#/run/' + r.id, fmt(r.score)) : '—'));
    })));
  show(el('h2', { class: 'name' }, p.name),
    el('p', {}, 'Key ', el('code', {}, p.player)),
    best,
    el('h3', {}, `Runs (${fmt(p.runCount)})`),
    p.runs.length ? runTable(p.runs) : el('p', { class: 'note' }, 'No runs.'));
}

async function runView(id, askedFrame) {
  const r = await api('/api/v1/runs/' + encodeURIComponent(id));
  // The id and frames go into addresses and the command: the server's answer is checked first.
  if (!RUN_ID.test(r.id) || r.id !== id) throw new Error('the server answered with another run');
  if (!whole(r.endFrame, 0, LAST_FRAME)) throw new Error('the server\'s figures for this run do not hold up');
  const figures = [
    ['Score', fmt(r.score)], ['All-time rank', fmt(r.rank)], ['Level', fmt(r.level)],
    ['Longest chain', fmt(r.maxChain)], ['Contacts', fmt(r.totalContacts)],
    ['Time bonus', fmt(r.timeBonus)], ['Final bonus', fmt(r.finalBonus)],
    ['Time left', `${fmt(r.timeLeft)} frames (${seconds(r.timeLeft)})`],
    ['Frames played', fmt(r.frames)], ['Ended in frame', fmt(r.endFrame)],
    ['Sent', when(r.submittedAt)]];
  const dl = el('dl', { class: 'figures' });
  for (const [k, v] of figures) dl.append(el('dt', {}, k), el('dd', {}, v));
  dl.append(el('dt', {}, 'Player'), el('dd', { class: 'name' }, link('#/player/' + r.player, r.name)));
  dl.append(el('dt', {}, 'Run'), el('dd', {}, el('code', {}, r.id)));
  const watch = el('a', { class: 'watch', href: `/watch/${r.id}` }, 'Watch this run');
  const parts = [el('h2', {}, 'Run by ', el('span', { class: 'name' }, r.name))];
  if (r.branchOf) parts.push(await branchNote(r));
  const race = el('section', { class: 'race', 'aria-labelledby': 'race-title' },
    el('h3', { id: 'race-title' }, 'Against a rival'), el('p', { class: 'note' }, 'Loading…'));
  const takeOver = takeOverSection(r, askedFrame);
  parts.push(dl, watch, ' ', downloadLink(r.id, 'Download the replay'), takeOver);
  // The runs that share their play with this one, best first.
  const branches = await api(`/api/v1/runs/${r.id}/branches?limit=100`).catch(() => null);
  if (branches && branches.total > 0) parts.push(branchList(r.id, branches));
  parts.push(race);
  show(...parts);
  if (askedFrame !== undefined) takeOver.scrollIntoView();
  raceSection(race, r).catch((e) => {
    race.replaceChildren(race.firstChild, el('p', { class: 'note' }, 'No race to show: ' + e.message));
  });
}

function downloadLink(id, text) {
  return el('a', { class: 'download', href: `/api/v1/runs/${id}/replay`, download: replayName(id) }, text);
}

// ---- Taking a run over ----

// The replay's file name when downloaded, and the game's command that takes it over.
const replayName = (id) => `tolvane-${id.slice(0, 12)}.rep`;
const takeOverCommand = (id, frame) => `tolvane ${replayName(id)} --take-over ${frame}`;

// A frame typed in or taken from the address: a whole number from 0 to `last`, else null.
function frameFrom(text, last) {
  const t = String(text).trim();
  if (!/^\d{1,6}$/.test(t)) return null;
  const n = Number(t);
  return n <= last ? n : null;
}

// A frame to take the run over at: frames 0 to F are the run's, the game goes on live from
// F + 1. The field gives the watch page at that frame and the game's command for it;
// `asked` is the frame in the address (#/run/ID/takeover/F, the watch page's link).
function takeOverSection(r, asked) {
  const last = r.endFrame;
  const field = el('input', { id: 'takeover-frame', type: 'text', inputmode: 'numeric', autocomplete: 'off',
    spellcheck: 'false', size: '7', 'aria-describedby': 'takeover-said' });
  const said = el('p', { id: 'takeover-said', 'aria-live': 'polite' });
  const watch = el('a', { class: 'watch', id: 'takeover-watch' });
  const command = el('code', { id: 'takeover-command' });
  const copy = el('button', { type: 'button', id: 'takeover-copy' }, 'Copy');
  const copied = el('span', { class: 'note', 'aria-live': 'polite' });
  const ready = el('div', { id: 'takeover-ready' },
    el('p', {}, watch),
    el('p', {}, 'In the game, with ', el('a', { href: `/api/v1/runs/${r.id}/replay`, download: replayName(r.id) },
      replayName(r.id)), ' saved beside it:'),
    el('p', { class: 'command' }, command, ' ', copy, ' ', copied),
    el('p', { class: 'note' }, 'A game played on from a run shares its play: sent to the table, it is a branch of ' +
      'this run, listed under it and not ranked.'));
  let start = 0;
  let note = '';
  if (asked !== undefined) {
    const f = frameFrom(asked, last);
    if (f === null) note = `The frame in the address is not one of this run's (0 to ${fmt(last)}): frame 0 instead. `;
    else start = f;
  }
  field.value = String(start);
  const update = () => {
    const f = frameFrom(field.value, last);
    field.setAttribute('aria-invalid', String(f === null));
    ready.hidden = f === null;
    copied.textContent = '';
    if (f === null) {
      said.className = 'error';
      said.textContent = `A frame is a whole number from 0 to ${fmt(last)}.`;
      return null;
    }
    said.className = 'note';
    said.textContent = note + `Frames 0 to ${fmt(f)} (${clock(f + 1)}) are this run's; you play on from frame ${fmt(f + 1)}.`;
    note = '';
    watch.href = `/watch/${r.id}#t=${f}`;
    watch.textContent = `See frame ${fmt(f)} in the web player`;
    // Word by word, so that a narrow screen breaks it only between words.
    command.replaceChildren(...takeOverCommand(r.id, f).split(' ').flatMap((w, i) => (i ? [' ', el('span', {}, w)] : [el('span', {}, w)])));
    return f;
  };
  field.addEventListener('input', () => {
    const f = update();
    if (f !== null) history.replaceState(null, '', `#/run/${r.id}/takeover/${f}`);
  });
  copy.addEventListener('click', async () => {
    try {
      await navigator.clipboard.writeText(command.textContent);
      copied.textContent = 'Copied.';
    } catch {
      // No clipboard for the page (not HTTPS, or not allowed): the command is selected instead.
      getSelection().selectAllChildren(command);
      copied.textContent = 'Selected: copy it with Ctrl+C.';
    }
  });
  update();
  return el('section', { class: 'takeover', 'aria-labelledby': 'takeover-title' },
    el('h3', { id: 'takeover-title' }, 'Take over at a frame'),
    el('p', { class: 'pick' }, el('label', { for: 'takeover-frame' }, `Frame (0 to ${fmt(last)}) `), field),
    said, ready);
}

// ---- Branches ----

// A branch as the server listed it, checked before anything of it is used: null when it
// does not hold up (or is not a branch of `of`).
function checkedBranch(e, of) {
  const b = e && e.branchOf;
  const ok = RUN_ID.test(e?.id) && RUN_ID.test(e?.player) && typeof e.name === 'string' &&
    whole(e.score, 0, Number.MAX_SAFE_INTEGER) && typeof e.submittedAt === 'string' &&
    b && b.id === of && whole(b.frame, 0, LAST_FRAME) && typeof b.shared === 'number' && b.shared >= 0 && b.shared <= 1;
  return ok ? e : null;
}

// The runs that are branches of run `of`, best first as the server lists them: who, the
// score, where each leaves this run's play and how much of its play is this run's.
function branchList(of, page) {
  const entries = (Array.isArray(page.entries) ? page.entries : []).map((e) => checkedBranch(e, of));
  const good = entries.filter(Boolean);
  const rows = good.map((e) => el('tr', {},
    el('td', { class: 'name' }, link('#/player/' + e.player, e.name)),
    el('td', { class: 'num' }, link('#/run/' + e.id, fmt(e.score))),
    el('td', { class: 'num' }, link(`/watch/${e.id}#t=${e.branchOf.frame}`, fmt(e.branchOf.frame)),
      el('span', { class: 'note wide' }, ` (${clock(e.branchOf.frame)})`)),
    el('td', { class: 'num' }, percent(e.branchOf.shared)),
    el('td', { class: 'wide' }, when(e.submittedAt)),
    el('td', { class: 'wide' }, link('/watch/' + e.id, 'Watch'))));
  const total = whole(page.total, 0, Number.MAX_SAFE_INTEGER) ? page.total : good.length;
  const notes = [el('p', { class: 'note' }, 'Runs whose play is this one\'s, changed here and there, best first. ' +
    'They are kept, not ranked. "Leaves at" is the frame where the shared play stops; "shared" the part of ' +
    'what the branch pressed that is this run\'s.')];
  if (good.length < entries.length) {
    notes.push(el('p', { class: 'error' }, `${entries.length - good.length} of the server's entries left out: ` +
      'not a branch of this run as the server should describe one.'));
  }
  if (entries.length < total) notes.push(el('p', { class: 'note' }, `The best ${fmt(entries.length)} shown.`));
  return el('section', { class: 'branches', 'aria-labelledby': 'branches-title' },
    el('h3', { id: 'branches-title' }, `Branches of this run (${fmt(total)})`), ...notes,
    el('table', {},
      el('thead', {}, el('tr', {},
        el('th', {}, 'Name'), el('th', { class: 'num' }, 'Score'), el('th', { class: 'num' }, 'Leaves at'),
        el('th', { class: 'num' }, 'Shared'), el('th', { class: 'wide' }, 'Sent'), el('th', { class: 'wide' }, ''))),
      el('tbody', {}, ...rows)));
}

// What a branch shares: the run it copies (its player and score, when the server has it),
// the frame where the shared play stops, and how much of its play that is.
async function branchNote(r) {
  const b = r.branchOf;
  if (!b || !RUN_ID.test(b.id) || !whole(b.frame, 0, LAST_FRAME) || typeof b.shared !== 'number' || !(b.shared >= 0 && b.shared <= 1)) {
    return el('p', { class: 'branch' }, 'A branch of another run (the server\'s account of which does not hold up). A branch is not ranked.');
  }
  const original = await api('/api/v1/runs/' + b.id).catch(() => null);
  const known = original && original.id === b.id && typeof original.name === 'string' && whole(original.score, 0, Number.MAX_SAFE_INTEGER);
  const of = known ? [link('#/run/' + b.id, `${original.name}'s run`), ` (${fmt(original.score)} points)`]
    : [link('#/run/' + b.id, 'run ' + b.id.slice(0, 12))];
  return el('p', { class: 'branch' }, 'A branch of ', ...of,
    `: its play is that run's until frame ${fmt(b.frame)} (${seconds(b.frame)}), `,
    `${percent(b.shared)} of what it pressed. A branch is not ranked.`);
}

// ---- A run against a rival ----

const SVG = 'http://www.w3.org/2000/svg';
let player = null;              // the web player's module, once asked for
const replays = new Map();      // run id -> its replay's bytes
const inSlot = [null, null];    // the runs the module last played into its two slots

function svg(tag, attrs, ...children) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attrs || {})) e.setAttribute(k, String(v));
  for (const c of children) e.append(c instanceof Node ? c : document.createTextNode(String(c)));
  return e;
}

function webPlayer() {
  if (!player) {
    player = new Promise((resolve, reject) => {
      const script = el('script', { src: '/player/tolvane-web.js' });
      script.onload = resolve;
      script.onerror = () => reject(new Error('the web player is not installed on this server'));
      document.head.append(script);
    }).then(() => window.createTolvane({ locateFile: (name) => '/player/' + name }));
  }
  return player;
}

async function replayOf(id) {
  if (!RUN_ID.test(id)) throw new Error('not a run\'s id');
  if (!replays.has(id)) {
    const res = await fetch(`/api/v1/runs/${id}/replay`);
    if (!res.ok) throw new Error(`the replay cannot be fetched (HTTP ${res.status})`);
    replays.set(id, new Uint8Array(await res.arrayBuffer()));
  }
  return replays.get(id);
}

// The module plays both runs headless (the run's game is kept for the next rival) and
// compares them as tolvane-replay compare does: the scores every 60 frames, the run's
// splits, the three 10-second spans in which it lost most.
async function compareRuns(id, rivalId) {
  const [m, a, b] = await Promise.all([webPlayer(), replayOf(id), replayOf(rivalId)]);
  for (const [slot, runId, bytes] of [[0, id, a], [1, rivalId, b]]) {
    if (inSlot[slot] === runId) continue;
    inSlot[slot] = null;
    const p = m._malloc(Math.max(1, bytes.length));
    m.HEAPU8.set(bytes, p);
    const ok = m._tv_play(slot, p, bytes.length);
    m._free(p);
    if (!ok) throw new Error(m.UTF8ToString(m._tv_text()));
    inSlot[slot] = runId;
  }
  return JSON.parse(m.UTF8ToString(m._tv_compare()));
}

// The rival a run is raced against at first: the run one place above it; for the #1
// the #2 (racing itself would show nothing); for a branch or an unranked run the #1.
async function defaultRival(r) {
  if (r.rank > 1 && !r.branchOf) {
    const above = (await api(`/api/v1/table?period=all&offset=${r.rank - 2}&limit=1`)).entries[0];
    if (above && above.id !== r.id) return { run: above, why: 'one place above' };
  }
  const top = (await api('/api/v1/table?period=all&offset=0&limit=2')).entries.filter((e) => e.id !== r.id);
  if (!top.length) return null;
  return { run: top[0], why: r.rank === 1 && !r.branchOf ? 'the next one down' : 'the #1' };
}

const clock = (frame) => {
  const s = Math.floor(frame / 60);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
};
const signed = (n) => (n > 0 ? '+' : n < 0 ? '−' : '±') + Math.abs(n).toLocaleString('en-US');
const short = (n) => {
  const a = Math.abs(n);
  const t = a >= 1e6 ? (a / 1e6).toFixed(a >= 1e7 ? 0 : 1) + 'M' : a >= 1e3 ? (a / 1e3).toFixed(a >= 1e4 ? 0 : 1) + 'k' : String(a);
  return (n < 0 ? '−' : '') + t;
};
const splitLabel = (name) => name.replace(/^stage /, 'Stage ').replace(/^boss /, 'Boss ');

// Round steps for an axis from 0 to `max` in about `count` steps.
function ticks(max, count) {
  const raw = Math.max(1, max / count);
  const p = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((k) => k * p).find((k) => k >= raw);
  const out = [];
  for (let v = 0; v <= max; v += step) out.push(v);
  return out;
}

// The plot for the width it has: the two scores over time (the run solid blue, the rival
// dashed orange with square marks), the difference under them, the splits as dotted
// lines, the lost spans shaded and numbered.
function plot(c, width, names) {
  const W = Math.max(280, Math.floor(width));
  const left = 48, right = 10, top = 22, scoreH = 170, gapTop = top + scoreH + 34, gapH = 100, H = gapTop + gapH + 26;
  const frames = Math.max(c.endA, c.endB) + 1;
  const x = (f) => left + (f / Math.max(1, frames - 1)) * (W - left - right);
  const most = Math.max(1, ...c.a, ...c.b, c.finalA, c.finalB);
  const y = (v) => top + scoreH - (v / most) * scoreH;
  const gaps = c.a.map((v, i) => v - c.b[i]);
  const gapMax = Math.max(1, ...gaps.map(Math.abs), Math.abs(c.finalA - c.finalB));
  const gy = (v) => gapTop + gapH / 2 - (v / gapMax) * (gapH / 2);
  // Every second, and the last frame with the final scores.
  const endA = c.finalA, endB = c.finalB;
  const at = (values, last) => [...values.map((v, i) => [i * c.every, v]), [frames - 1, last]];
  const line = (pts, yOf) => pts.map(([f, v]) => `${x(f).toFixed(1)},${yOf(v).toFixed(1)}`).join(' ');
  const title = svg('title', { id: 'race-plot-title' }, `Score over time: ${names.run} against ${names.rival}`);
  const desc = svg('desc', { id: 'race-plot-desc' },
    `${names.run} ended with ${endA.toLocaleString('en-US')}, ${names.rival} with ${endB.toLocaleString('en-US')} ` +
    `(${signed(endA - endB)}). ` + c.lost.map((l, i) => `Lost most ${i + 1}: ${clock(l.from)} to ${clock(l.to)}, ${signed(-l.by)}.`).join(' '));
  const g = svg('svg', { width: W, height: H, viewBox: `0 0 ${W} ${H}`, role: 'img', class: 'race-plot',
    'aria-labelledby': 'race-plot-title race-plot-desc' }, title, desc);
  // Axes and grid.
  for (const v of ticks(most, 4)) {
    g.append(svg('line', { x1: left, x2: W - right, y1: y(v), y2: y(v), class: 'grid' }),
      svg('text', { x: left - 4, y: y(v) + 4, class: 'axis', 'text-anchor': 'end' }, short(v)));
  }
  for (const v of [-gapMax, 0, gapMax]) {
    g.append(svg('line', { x1: left, x2: W - right, y1: gy(v), y2: gy(v), class: v === 0 ? 'zero' : 'grid' }),
      svg('text', { x: left - 4, y: gy(v) + 4, class: 'axis', 'text-anchor': 'end' }, v === 0 ? '0' : short(v)));
  }
  const every = W < 420 ? 60 : 30;
  for (let s = 0; s * 60 < frames; s += every) {
    g.append(svg('text', { x: x(s * 60), y: H - 8, class: 'axis', 'text-anchor': 'middle' }, clock(s * 60)));
  }
  g.append(svg('text', { x: left, y: 14, class: 'label' }, 'Score'),
    svg('text', { x: left, y: gapTop - 10, class: 'label' }, `Difference (${names.run} − ${names.rival})`));
  // The lost spans, on the difference.
  c.lost.forEach((l, i) => {
    g.append(svg('rect', { x: x(l.from), y: gapTop, width: Math.max(2, x(l.to) - x(l.from)), height: gapH, class: 'lost' },
      svg('title', {}, `Lost most ${i + 1}: ${clock(l.from)}–${clock(l.to)}, ${signed(-l.by)}`)),
    svg('text', { x: (x(l.from) + x(l.to)) / 2, y: gapTop + gapH - 4, class: 'lost-number', 'text-anchor': 'middle' }, String(i + 1)));
  });
  // The splits across both.
  for (const sp of c.splits) {
    const name = splitLabel(sp.split);
    g.append(svg('line', { x1: x(sp.frame), x2: x(sp.frame), y1: top, y2: gapTop + gapH, class: 'split' },
      svg('title', {}, `${name} at ${clock(sp.frame)}: ${signed(sp.diff)}`)),
    svg('text', { x: x(sp.frame) + 3, y: top + 10, class: 'split-name' }, W < 560 ? name.replace(/^(.)\D+/, '$1') : name));
  }
  g.append(svg('polyline', { points: line(at(c.b, endB), y), class: 'rival' }),
    svg('polyline', { points: line(at(c.a, endA), y), class: 'run' }),
    svg('polyline', { points: line(at(gaps, endA - endB), gy), class: 'gap' }));
  // Square marks on the rival's curve every 30 s, so that it reads apart without colour.
  for (let i = 0; i < c.b.length; i += 30) {
    g.append(svg('rect', { x: x(i * c.every) - 3, y: y(c.b[i]) - 3, width: 6, height: 6, class: 'rival-mark' }));
  }
  return g;
}

function legendItem(cls, text) {
  return el('span', { class: 'key' },
    svg('svg', { width: 28, height: 10, 'aria-hidden': 'true' }, svg('line', { x1: 0, x2: 28, y1: 5, y2: 5, class: cls }),
      ...(cls === 'rival' ? [svg('rect', { x: 11, y: 2, width: 6, height: 6, class: 'rival-mark' })] : [])),
    ' ', text);
}

async function raceSection(section, r) {
  const heading = section.firstChild;
  const [fallback, table] = await Promise.all([defaultRival(r), api('/api/v1/table?period=all&offset=0&limit=20')]);
  if (!fallback) {
    section.replaceChildren(heading, el('p', { class: 'note' }, 'No other run on the table to race against yet.'));
    return;
  }
  const choices = [fallback.run, ...table.entries.filter((e) => e.id !== fallback.run.id && e.id !== r.id)]
    .filter((e) => RUN_ID.test(e.id));
  const pick = el('select', { id: 'rival-pick' });
  for (const e of choices) {
    const o = el('option', { value: e.id }, `${e.rank ? '#' + e.rank : '—'} ${e.name}: ${fmt(e.score)}` +
      (e === fallback.run ? ` (${fallback.why})` : ''));
    pick.append(o);
  }
  const status = el('p', { class: 'note', 'aria-live': 'polite' });
  const figure = el('div', { class: 'plot' });
  const legend = el('p', { class: 'legend' });
  const lost = el('ol', { class: 'lost' });
  const watchRace = el('a', { class: 'watch' }, 'Watch the race');
  section.replaceChildren(heading, el('p', { class: 'pick' }, el('label', { for: 'rival-pick' }, 'Rival '), pick),
    status, legend, figure, el('h4', {}, 'Where this run lost most'), lost, watchRace);
  let drawn = null;
  const redraw = () => {
    if (drawn && figure.isConnected) figure.replaceChildren(plot(drawn.c, figure.clientWidth, drawn.names));
  };
  redrawPlot = redraw;
  const update = async () => {
    const rival = choices.find((e) => e.id === pick.value);
    const names = { run: r.name, rival: rival.name };
    status.textContent = 'Playing both runs…';
    const c = await compareRuns(r.id, rival.id);
    if (c.error) throw new Error(c.error);
    if (pick.value !== rival.id) return; // another was picked meanwhile
    const base = `/watch/${r.id}?rival=${rival.id}`;
    watchRace.href = base;
    legend.replaceChildren(legendItem('run', r.name), ' ', legendItem('rival', rival.name),
      ' ', el('span', { class: 'key' }, 'Dotted: stage starts and boss entries. Shaded: where this run lost most.'));
    lost.replaceChildren(...(c.lost.length ? c.lost.map((l, i) => el('li', {},
      link(`${base}#t=${l.from}`, `${clock(l.from)}–${clock(l.to)}`), `: ${signed(-l.by)} against ${rival.name}`,
      el('span', { class: 'note' }, ` (frames ${fmt(l.from)}–${fmt(l.to - 1)}, shaded ${i + 1})`)))
      : [el('li', {}, 'Nowhere: it never fell behind further.')]));
    drawn = { c, names };
    redraw();
    const end = c.finalA - c.finalB;
    status.textContent = `At the end: ${signed(end)} against ${rival.name}.`;
  };
  pick.addEventListener('change', () => update().catch((e) => { status.textContent = 'Cannot compare: ' + e.message; }));
  await update();
}

// The plot on show follows the page's width.
let redrawPlot = () => {};
let plotWidth = 0;
window.addEventListener('resize', () => {
  if (document.documentElement.clientWidth === plotWidth) return;
  plotWidth = document.documentElement.clientWidth;
  redrawPlot();
});

const decoded = (s) => {
  try { return decodeURIComponent(s); } catch { return s; }
};

function route() {
  const parts = location.hash.replace(/^#\/?/, '').split('/');
  let done;
  if (parts[0] === 'player' && parts[1]) {
    done = playerView(parts[1]);
  } else if (parts[0] === 'run' && parts[1]) {
    done = runView(parts[1], parts[2] === 'takeover' ? decoded(parts.slice(3).join('/')) : undefined);
  } else {
    const period = PERIODS.some(([p]) => p === parts[1]) ? parts[1] : 'all';
    const page = Math.max(1, parseInt(parts[2], 10) || 1) - 1;
    done = tableView(period, page);
  }
  done.catch(failed);
}

window.addEventListener('hashchange', route);
route();
