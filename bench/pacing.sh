#!/usr/bin/env bash
# Frame pacing and start-up of the real game under Xvfb: runs `tolvane` for about
# 12 seconds, then reports, over its last 10 seconds, the frame period (median, share
# within 0.1 ms of the period asked for, 99th percentile deviation), the frames per
# second and the CPU time used; and the time from launch to the first presented frame
# and the peak memory.
#   usage: bench/pacing.sh build/bin/tolvane            a live game at speed 0
#          bench/pacing.sh build/bin/tolvane FILE.rep   playback of FILE at speed 255 (F3)
#          bench/pacing.sh --rival R.rep build/bin/tolvane [FILE.rep]   the same raced against R
#          bench/pacing.sh --with-and-without R.rep build/bin/tolvane [FILE.rep]
#                                          both, taking turns (ROUNDS=3 of each), on one Xvfb,
#                                          then the median of each figure over the rounds
set -euo pipefail
rival=()
both=""
if [ "${1:-}" = "--rival" ]; then
    rival=(--rival "$(realpath "$2")")
    shift 2
elif [ "${1:-}" = "--with-and-without" ]; then
    both=$(realpath "$2")
    shift 2
fi
game=$(realpath "$1")
replay=${2:+$(realpath "$2")}
. "$(dirname "$0")/../tests/window/xvfb.sh"
start_xvfb
log=$WORK/timing.log
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }

# One run of the game, its figures printed.
measure() {
    rm -f "$log"
    launch=$(date +%s%6N)
    SDL_AUDIODRIVER=dummy TOLVANE_TIMING_LOG="$log" "$game" ${rival[@]+"${rival[@]}"} ${replay:+"$replay"} >/dev/null 2>&1 &
    pid=$!
    STARTED_PIDS+=("$pid")
    win=$(wait_window '^Tolvane$')
    if [ -n "$replay" ]; then
        press "$win" F3
        period=1
    else
        period=17
    fi
    sleep 2
    cpu0=$(cpu)
    t0=$(date +%s%6N)
    sleep 10
    cpu1=$(cpu)
    t1=$(date +%s%6N)
    press "$win" Escape
    window_gone "$win" 10 || true
    if [ -z "$replay" ]; then box=$(wait_window '^Tolvane$') && press "$box" Return; fi
    wait "$pid" || true
    python3 - "$log" "$launch" "$cpu0" "$cpu1" "$t0" "$t1" "$ticks" "$period" <<'PY'
import statistics, sys
log = sys.argv[1]
launch, cpu0, cpu1, t0, t1, ticks = (int(a) for a in sys.argv[2:8])
period = float(sys.argv[8])
frames, first, peak = [], 0, "?"
for line in open(log):
    k, v = line.split(None, 1)
    if k == "frame": frames.append(int(v))
    elif k == "first_present_epoch_us": first = int(v)
    elif k == "peak_rss": peak = v.strip()
# The frames of the measured 10 s: the log's clock is the game's own, so take the
# stretch of the same length that ends where the game was asked to quit (less 0.5 s for
# the key to arrive).
end = frames[-1] - 500000
window = [t for t in frames if end - (t1 - t0) <= t <= end]
periods = [(b - a) / 1000 for a, b in zip(window, window[1:])]
dev = sorted(abs(p - period) for p in periods)
seconds = (window[-1] - window[0]) / 1e6
within = sum(d <= 0.1 for d in dev) / len(dev)
print(f"frames measured      {len(periods)} periods over {seconds:.1f} s")
print(f"frames per second    {len(periods) / seconds:.1f}")
print(f"median period        {statistics.median(periods):.3f} ms")
print(f"within 0.1 ms of {period:g}  {100 * within:.2f} %")
print(f"p99 |period - {period:g}|    {dev[int(len(dev) * 0.99) - 1]:.3f} ms")
print(f"CPU                  {100 * (cpu1 - cpu0) / ticks / ((t1 - t0) / 1e6):.1f} % of one core")
print(f"launch to 1st frame  {(first - launch) / 1000:.0f} ms")
print(f"peak memory          {peak}")
PY
}

if [ -z "$both" ]; then
    measure
    exit 0
fi
rounds=${ROUNDS:-3}
for round in $(seq "$rounds"); do
    for kind in without with; do
        if [ "$kind" = with ]; then rival=(--rival "$both"); else rival=(); fi
        echo "== round $round, $kind the rival"
        measure | tee -a "$WORK/$kind.txt"
    done
done
echo "== median over $rounds rounds (without | with the rival)"
python3 - "$WORK/without.txt" "$WORK/with.txt" <<'PY'
import re, statistics, sys
def figures(path):
    out = {}
    for line in open(path):
        m = re.match(r"(.*?)\s{2,}([-\d.]+)", line)
        if m: out.setdefault(m.group(1).strip(), []).append(float(m.group(2)))
    return out
a, b = figures(sys.argv[1]), figures(sys.argv[2])
for name in a:
    print(f"{name:24} {statistics.median(a[name]):10.2f} | {statistics.median(b.get(name, [0])):10.2f}")
PY
