// The online table's page. Everything shown comes from the API and is put into the
// page as text (textContent), never as markup: a name is shown exactly as it was sent.
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
  parts.push(dl, watch, ' ', download);
  // The runs that share their play with this one, best first.
  const branches = await api(`/api/v1/runs/${encodeURIComponent(r.id)}/branches?limit=100`).catch(() => null);
  if (branches && branches.total > 0) {
    parts.push(el('h3', {}, `Branches of this run (${fmt(branches.total)})`),
      el('p', { class: 'note' }, 'Runs whose play is this one\'s, changed here and there. They are kept, not ranked.'),
      runTable(branches.entries));
  }
  show(...parts);
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
