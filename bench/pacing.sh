#!/usr/bin/env bash
# Frame pacing and start-up of the real game under Xvfb: runs `tolvane` for about
# 12 seconds, then reports the frame period (median, 99th percentile deviation from
# 17 ms), the CPU time used, the time from launch to the first presented frame and
# the peak memory.   usage: bench/pacing.sh build/bin/tolvane
set -euo pipefail
game=$(realpath "$1")
. "$(dirname "$0")/../tests/window/xvfb.sh"
start_xvfb
log=$WORK/timing.log
launch=$(date +%s%6N)
SDL_AUDIODRIVER=dummy TOLVANE_TIMING_LOG="$log" "$game" >/dev/null 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
win=$(wait_window '^Tolvane$')
sleep 12
read -r utime stime < <(awk '{print $14, $15}' "/proc/$pid/stat")
ticks=$(getconf CLK_TCK)
press "$win" Escape
window_gone "$win" 10 || true
box=$(wait_window '^Tolvane$') && press "$box" Return
wait "$pid" || true
python3 - "$log" "$launch" "$utime" "$stime" "$ticks" <<'PY'
import statistics, sys
log, launch, utime, stime, ticks = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
frames, first, peak = [], 0, "?"
for line in open(log):
    k, v = line.split(None, 1)
    if k == "frame": frames.append(int(v))
    elif k == "first_present_epoch_us": first = int(v)
    elif k == "peak_rss": peak = v.strip()
periods = [(b - a) / 1000 for a, b in zip(frames, frames[1:])][-600:]
dev = sorted(abs(p - 17) for p in periods)
seconds = (frames[-1] - frames[0]) / 1e6
print(f"frames measured      {len(periods)} (of {len(frames)})")
print(f"median period        {statistics.median(periods):.3f} ms")
print(f"p99 |period - 17|    {dev[int(len(dev) * 0.99) - 1]:.3f} ms")
print(f"CPU time             {(utime + stime) / ticks:.2f} s over {seconds:.1f} s of play "
      f"({100 * (utime + stime) / ticks / seconds:.0f}% of one core)")
print(f"launch to 1st frame  {(first - launch) / 1000:.0f} ms")
print(f"peak memory          {peak}")
PY
