#!/usr/bin/env node
// The web build's game library under Node, with the command line of tolvane-replay:
//   replay.js MODULE_DIR trace FILE [--objects] [--sounds] [--every K] [--until F]
//   replay.js MODULE_DIR render FILE [--rival FILE] --frame N [--frame M ...] --out DIR
//   replay.js MODULE_DIR compare A B
// trace prints what the native tool prints; render writes DIR/frame-NNNNN.ppm, the
// picture after frame N (with --rival, racing that run); compare prints the native
// tool's lines but its last (the scores every 60 frames and at the splits, the lost
// spans), from the module's tv_compare. Exit status: 0 done, 2 a file cannot be used,
// 1 anything else.
'use strict';
const fs = require('fs');
const path = require('path');

function usage() {
  process.stderr.write('usage: replay.js MODULE_DIR trace FILE [--objects] [--sounds] [--every K] [--until F]\n' +
                       '       replay.js MODULE_DIR render FILE [--rival FILE] --frame N [--frame M ...] --out DIR\n' +
                       '       replay.js MODULE_DIR compare A B\n');
  process.exit(1);
}

const kMaxFrames = 1000000;

function readReplay(file) {
  try {
    return fs.readFileSync(file);
  } catch (e) {
    process.stderr.write(`replay.js: "${file}": ${e.code === 'ENOENT' ? 'no such file' : e.message}\n`);
    process.exit(2);
  }
}

async function loadModule(dir) {
  const createTolvane = require(path.resolve(dir, 'tolvane-web.js'));
  return createTolvane({wasmBinary: fs.readFileSync(path.resolve(dir, 'tolvane-web.wasm'))});
}

// Calls f(pointer, size) with a copy of the bytes in the module's memory.
function withBytes(m, bytes, f) {
  const p = m._malloc(Math.max(1, bytes.length));
  m.HEAPU8.set(bytes, p);
  const result = f(p, bytes.length);
  m._free(p);
  return result;
}

// The native compare's lines, in its order: every 60th frame, then the splits of that
// frame; then the lost spans.
async function compare(dir, fileA, rest) {
  if (rest.length !== 1) usage();
  const files = [fileA, rest[0]];
  const m = await loadModule(dir);
  for (const [slot, file] of files.entries()) {
    if (!withBytes(m, readReplay(file), (p, n) => m._tv_play(slot, p, n))) {
      process.stderr.write(`replay.js: "${file}": ${m.UTF8ToString(m._tv_text())}\n`);
      process.exit(2);
    }
  }
  const c = JSON.parse(m.UTF8ToString(m._tv_compare()));
  const line = (a, b) => `"a": ${a}, "b": ${b}, "diff": ${a - b}`;
  const out = [];
  let next = 0;
  for (let f = 0; f <= Math.max(c.endA, c.endB); ++f) {
    if (f % c.every === 0) out.push(`{"frame": ${f}, ${line(c.a[f / c.every], c.b[f / c.every])}}`);
    for (; next < c.splits.length && c.splits[next].frame === f; ++next) {
      const s = c.splits[next];
      out.push(`{"frame": ${f}, "split": ${JSON.stringify(s.split)}, "a": ${s.a}, "b": ${s.b}, "diff": ${s.diff}}`);
    }
  }
  out.push(`{"lost": [${c.lost.map((l) => `{"from": ${l.from}, "to": ${l.to}, "by": ${l.by}}`).join(', ')}]}`);
  fs.writeSync(1, out.join('\n') + '\n');
}

async function main() {
  const [dir, command, file, ...rest] = process.argv.slice(2);
  if (!dir || !file || !['trace', 'render', 'compare'].includes(command)) usage();
  if (command === 'compare') return compare(dir, file, rest);
  const opts = {objects: false, sounds: false, every: 1, until: -1, frames: new Set(), out: '', rival: ''};
  const whole = (s) => /^[0-9]+$/.test(s || '') ? Number(s) : NaN;
  for (let i = 0; i < rest.length; ++i) {
    const a = rest[i];
    if (command === 'trace' && a === '--objects') opts.objects = true;
    else if (command === 'trace' && a === '--sounds') opts.sounds = true;
    else if (command === 'trace' && a === '--every' && whole(rest[i + 1]) > 0) opts.every = whole(rest[++i]);
    else if (command === 'trace' && a === '--until' && whole(rest[i + 1]) >= 0) opts.until = whole(rest[++i]);
    else if (command === 'render' && a === '--frame' && whole(rest[i + 1]) >= 0) opts.frames.add(whole(rest[++i]));
    else if (command === 'render' && a === '--out' && i + 1 < rest.length) opts.out = rest[++i];
    else if (command === 'render' && a === '--rival' && i + 1 < rest.length) opts.rival = rest[++i];
    else usage();
  }
  if (command === 'render' && (opts.frames.size === 0 || !opts.out)) usage();

  const bytes = readReplay(file);
  const m = await loadModule(dir);
  if (opts.rival && !withBytes(m, readReplay(opts.rival), (p, n) => m._tv_rival(p, n))) {
    process.stderr.write(`replay.js: "${opts.rival}": ${m.UTF8ToString(m._tv_text())}\n`);
    process.exit(2);
  }
  const pictures = command === 'render';
  if (!withBytes(m, bytes, (p, n) => m._tv_open(p, n, pictures ? 1 : 0))) {
    process.stderr.write(`replay.js: ${m.UTF8ToString(m._tv_text())}\n`);
    process.exit(2);
  }

  if (command === 'trace') {
    const out = [];
    for (let f = 0; f < kMaxFrames; ++f) {
      const index = m._tv_next_frame();
      const ended = m._tv_frame(1) !== 0;
      if (index % opts.every === 0) out.push(m.UTF8ToString(m._tv_trace(opts.objects ? 1 : 0, opts.sounds ? 1 : 0)));
      if (out.length >= 256) fs.writeSync(1, out.splice(0).join('\n') + '\n');
      if (opts.until >= 0 ? index >= opts.until : ended) break;
    }
    if (out.length) fs.writeSync(1, out.join('\n') + '\n');
    return;
  }

  fs.mkdirSync(opts.out, {recursive: true});
  const last = Math.max(...opts.frames);
  for (let f = 0; f <= last; ++f) {
    const index = m._tv_next_frame();
    m._tv_frame(1);
    if (!opts.frames.has(index)) continue;
    const rgba = m.HEAPU8.subarray(m._tv_picture(), m._tv_picture() + 640 * 480 * 4);
    const rgb = Buffer.alloc(640 * 480 * 3);
    for (let i = 0, o = 0; i < rgba.length; i += 4) {
      rgb[o++] = rgba[i];
      rgb[o++] = rgba[i + 1];
      rgb[o++] = rgba[i + 2];
    }
    const name = path.join(opts.out, `frame-${String(index).padStart(5, '0')}.ppm`);
    fs.writeFileSync(name, Buffer.concat([Buffer.from('P6\n640 480\n255\n'), rgb]));
  }
}

main().catch((e) => {
  process.stderr.write(`replay.js: ${e && e.stack ? e.stack : e}\n`);
  process.exit(1);
});
