// What the server's API and page tests share: starting the real tolvane-server on a free
// port of 127.0.0.1, players with Ed25519 keys, signed runs, replays to send.
import { spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const SERVER = process.env.TOLVANE_SERVER;
export const DATA = process.env.TOLVANE_TEST_DATA;
// A postgresql:// URL, or empty for a SQLite file of each server's own.
export const DATABASE = process.env.TOLVANE_TEST_DATABASE || '';

// Temporary folders, removed when the test process ends.
const made = [];
process.on('exit', () => { for (const d of made) fs.rmSync(d, { recursive: true, force: true }); });
export function tempDir() {
  const d = fs.mkdtempSync(path.join(os.tmpdir(), 'tolvane-server-test-'));
  made.push(d);
  return d;
}

// Starts the server; resolves once it listens. `db` defaults to a new SQLite file, or to
// the PostgreSQL database under test.
export async function startServer({ args = [], db } = {}) {
  const dir = tempDir();
  const where = db || DATABASE || path.join(dir, 'runs.sqlite');
  const log = [];
  const child = spawn(SERVER, ['--listen', '127.0.0.1:0', '--db', where, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  const port = await new Promise((resolve, reject) => {
    let seen = '';
    const timer = setTimeout(() => reject(new Error('the server did not start: ' + seen)), 20000);
    child.stderr.on('data', (chunk) => {
      seen += chunk;
      log.push(String(chunk));
      const m = /listening on 127\.0\.0\.1:(\d+)/.exec(seen);
      if (m) { clearTimeout(timer); resolve(Number(m[1])); }
    });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`the server ended (${code}): ${seen}`)); });
  });
  const base = `http://127.0.0.1:${port}`;
  return {
    base, child, db: where, log,
    url: (p) => base + p,
    stop: () => new Promise((resolve) => {
      if (child.exitCode !== null || child.signalCode) return resolve();
      child.once('exit', resolve);
      child.kill('SIGTERM');
    }),
  };
}

export function player(name) {
  const { publicKey, privateKey } = crypto.generateKeyPairSync('ed25519');
  const key = Buffer.from(publicKey.export({ format: 'jwk' }).x, 'base64url').toString('hex');
  return { key, name, privateKey };
}

export const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

export function signedRun(who, replay, { name = who.name, signer = who } = {}) {
  const message = `tolvane run v1\n${who.key}\n${name}\n${sha256(replay)}`;
  const signature = crypto.sign(null, Buffer.from(message, 'utf8'), signer.privateKey).toString('hex');
  return { player: who.key, name, replay: Buffer.from(replay).toString('base64'), signature };
}

export async function post(server, body, headers = {}) {
  const res = await fetch(server.url('/api/v1/runs'), {
    method: 'POST', headers: { 'Content-Type': 'application/json', ...headers },
    body: typeof body === 'string' ? body : JSON.stringify(body),
  });
  const text = await res.text();
  let json;
  try { json = JSON.parse(text); } catch { json = undefined; }
  return { status: res.status, headers: res.headers, json, text };
}

export async function get(server, p, headers = {}) {
  const res = await fetch(server.url(p), { headers });
  const buf = Buffer.from(await res.arrayBuffer());
  let json;
  try { json = JSON.parse(buf.toString('utf8')); } catch { json = undefined; }
  return { status: res.status, headers: res.headers, json, bytes: buf };
}

export function replay(name) {
  return fs.readFileSync(path.join(DATA, name + '.rep'));
}
export function verifyLine(name) {
  return JSON.parse(fs.readFileSync(path.join(DATA, name + '.verify.json'), 'utf8'));
}

// Another whole game: zero.rep with a bomb at frame `frame` (past the fly-in, so it
// changes the score).
export function variant(frame) {
  const bytes = Buffer.from(replay('zero'));
  bytes[4 + frame] |= 16;
  return bytes;
}
