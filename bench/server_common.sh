# What the server's load scripts share (sourced): a work folder, distinct whole games,
# signed bodies, and a tolvane-server of their own on 127.0.0.1. Every server and
# client started here is stopped when the script ends.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-server-bench-XXXXXX")
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    jobs -p | xargs -r kill 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# make_games TOOL COUNT: COUNT distinct whole games of about 11,000 frames into
# $work/games: the autoplay game's input cut off between frames 4000 and 6000 (the rest
# plays with no input, so time runs out), each with a short left press of its own; only
# games of 9,500 to 13,000 frames whose figures differ from every other are kept.
make_games() {
    local tool=$1 count=$2
    mkdir -p "$work/games" "$work/candidates"
    python3 - "$here/../tests/data/autoplay.rep" "$work/candidates" $((count * 3 + 50)) <<'PY'
import struct, sys
raw = open(sys.argv[1], "rb").read()
(n,) = struct.unpack("<i", raw[:4])
full = raw[4:4 + n + 1]
for i in range(int(sys.argv[3])):
    cut = 4000 + (i * 37) % 2000
    body = bytearray(full[:cut] + b"\0")
    p = 200 + (i * 53) % (cut - 400)
    for q in range(p, p + 1 + i % 5):
        body[q] |= 4
    open("%s/g%05d.rep" % (sys.argv[2], i), "wb").write(struct.pack("<i", len(body) - 1) + bytes(body))
PY
    "$tool" verify "$work"/candidates/*.rep >"$work/candidates.jsonl"
    python3 - "$work/candidates.jsonl" "$work/games" "$count" <<'PY'
import json, os, shutil, sys
seen, kept, frames = set(), 0, []
for line in open(sys.argv[1]):
    d = json.loads(line)
    key = tuple(v for k, v in d.items() if k != "file")
    if "error" in d or key in seen or kept == int(sys.argv[3]) or not 9500 <= d["frames"] <= 13000:
        continue
    seen.add(key)
    shutil.copy(d["file"], sys.argv[2])
    frames.append(d["frames"])
    kept += 1
print("%d distinct games, %d to %d frames, mean %d" % (kept, min(frames), max(frames), sum(frames) / kept))
PY
}

# make_human_games TOOL COUNT: COUNT distinct whole games of human-like input into
# $work/games: a direction (or none) held for 4 to 90 frames, now and then a bomb, from a
# seeded generator, until the time runs out (about 9,000 frames). Unlike make_games they
# share no play with one another, so none is a branch of another.
make_human_games() {
    local tool=$1 count=$2
    mkdir -p "$work/games" "$work/candidates"
    python3 - "$work/candidates" $((count + count / 10 + 20)) <<'PY'
import random, struct, sys
moves = [0, 1, 2, 4, 8, 5, 9, 6, 10]
for i in range(int(sys.argv[2])):
    r = random.Random(900000 + i)
    out = bytearray()
    while len(out) < 12000:
        out += bytes([r.choice(moves)]) * r.randint(4, 90)
        if r.randint(0, 30) == 0:
            out[-1] |= 16
    out = out[:12000]
    open("%s/h%05d.rep" % (sys.argv[1], i), "wb").write(struct.pack("<i", len(out)) + bytes(out) + b"\0")
PY
    "$tool" verify "$work"/candidates/*.rep >"$work/candidates.jsonl"
    python3 - "$work/candidates.jsonl" "$work/games" "$count" <<'PY'
import json, shutil, sys
seen, kept, frames = set(), 0, []
for line in open(sys.argv[1]):
    d = json.loads(line)
    key = tuple(v for k, v in d.items() if k != "file")
    if "error" in d or key in seen or kept == int(sys.argv[3]):
        continue
    seen.add(key)
    shutil.copy(d["file"], sys.argv[2])
    frames.append(d["frames"])
    kept += 1
print("%d distinct games, %d to %d frames, mean %d" % (kept, min(frames), max(frames), sum(frames) / kept))
PY
}

# sign_bodies OUT.jsonl: one signed POST body per game, a player of its own each.
sign_bodies() {
    node - "$work/games" "$1" <<'JS'
const crypto = require('node:crypto');
const fs = require('node:fs');
const [dir, out] = process.argv.slice(2);
const lines = fs.readdirSync(dir).sort().map((f, i) => {
  const replay = fs.readFileSync(dir + '/' + f);
  const { publicKey, privateKey } = crypto.generateKeyPairSync('ed25519');
  const player = Buffer.from(publicKey.export({ format: 'jwk' }).x, 'base64url').toString('hex');
  const name = 'load' + i;
  const hash = crypto.createHash('sha256').update(replay).digest('hex');
  const signature = crypto.sign(null, Buffer.from(`tolvane run v1\n${player}\n${name}\n${hash}`), privateKey).toString('hex');
  return JSON.stringify({ player, name, replay: replay.toString('base64'), signature });
});
fs.writeFileSync(out, lines.join('\n') + '\n');
JS
}

# start_server SERVER [ARGS ...]: listens on 127.0.0.1:$port with a database in $work
# unless ARGS name one; limits on rates raised out of the way of the load.
start_server() {
    local bin=$1
    shift
    port=$(free_port)
    "$bin" --listen "127.0.0.1:$port" --db "${db:-$work/runs.sqlite}" --requests-per-second 10000000 \
        --submits-per-minute 10000000 --player-submits-per-minute 10000000 "$@" 2>"$work/server.log" &
    server_pid=$!
    for _ in $(seq 100); do
        curl -sf "http://127.0.0.1:$port/healthz" >/dev/null && return 0
        sleep 0.1
    done
    echo "the server did not start:" >&2
    cat "$work/server.log" >&2
    exit 1
}

stop_server() {
    kill "$server_pid" && wait "$server_pid" 2>/dev/null
    server_pid=
}

# The server process's CPU time so far (user and system), in clock ticks.
server_cpu_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }

# Memory of the server process now and at its peak, in MB.
server_memory() {
    awk '/VmRSS|VmHWM/ {printf "%s %.1f MB  ", $1, $2 / 1024} END {print ""}' "/proc/$server_pid/status"
}
