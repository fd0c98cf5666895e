// The online table's page. Everything shown comes from the API and is put into the
// page as text (textContent), never as markup: a name is shown exactly as it was sent.
// A run's page races it against a rival with the web player's module (/player/): the
// two scores over time, their difference and where the run lost most, drawn as SVG.
'use strict';

const PERIODS = [['all', 'All time'], ['month', 'This month'], ['week', 'This week'], ['day', 'Today']];
const PAGE = 20;
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

async function runView(id) {
  const r = await api('/api/v1/runs/' + encodeURIComponent(id));
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
  const download = el('a', { class: 'download', href: `/api/v1/runs/${r.id}/replay`, download: `tolvane-${r.id.slice(0, 12)}.rep` },
    'Download the replay');
  const watch = el('a', { class: 'watch', href: `/watch/${r.id}` }, 'Watch this run');
  const parts = [el('h2', {}, 'Run by ', el('span', { class: 'name' }, r.name))];
  if (r.branchOf) parts.push(branchNote(r));
  const race = el('section', { class: 'race', 'aria-labelledby': 'race-title' },
    el('h3', { id: 'race-title' }, 'Against a rival'), el('p', { class: 'note' }, 'Loading…'));
  parts.push(dl, watch, ' ', download);
  // The runs that share their play with this one, best first.
  const branches = await api(`/api/v1/runs/${encodeURIComponent(r.id)}/branches?limit=100`).catch(() => null);
  if (branches && branches.total > 0) {
    parts.push(el('h3', {}, `Branches of this run (${fmt(branches.total)})`),
      el('p', { class: 'note' }, 'Runs whose play is this one\'s, changed here and there. They are kept, not ranked.'),
      runTable(branches.entries));
  }
  parts.push(race);
  show(...parts);
  raceSection(race, r).catch((e) => {
    race.replaceChildren(race.firstChild, el('p', { class: 'note' }, 'No race to show: ' + e.message));
  });
}

// What a branch shares: the run it copies, the frame where the shared play stops, and
// how much of its play that is.
function branchNote(r) {
  const b = r.branchOf;
  return el('p', { class: 'branch' },
    'A branch of ', link('#/run/' + b.id, 'run ' + String(b.id).slice(0, 12)),
    `: its play is that run's until frame ${fmt(b.frame)} (${seconds(b.frame)}), `,
    `${(Number(b.shared) * 100).toFixed(1)} % of what it pressed. A branch is not ranked.`);
}

// ---- A run against a rival ----

const RUN_ID = /^[0-9a-f]{64}$/;
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

function route() {
  const parts = location.hash.replace(/^#\/?/, '').split('/');
  let done;
  if (parts[0] === 'player' && parts[1]) {
    done = playerView(parts[1]);
  } else if (parts[0] === 'run' && parts[1]) {
    done = runView(parts[1]);
  } else {
    const period = PERIODS.some(([p]) => p === parts[1]) ? parts[1] : 'all';
    const page = Math.max(1, parseInt(parts[2], 10) || 1) - 1;
    done = tableView(period, page);
  }
  done.catch(failed);
}

window.addEventListener('hashchange', route);
route();
