#!/usr/bin/env bash
# What presenting the picture costs: plays tests/data/autoplay.rep back at normal speed
# (every frame presented) in windows of several sizes and with several renderers, and
# reports the CPU time of the game and of the X server per presented frame. Give one or
# more `tolvane` binaries to compare them in the same run; the runs take turns, and
# each figure is the median of the repetitions. "default" is the game without
# SDL_RENDER_DRIVER; any other name is given to it as SDL_RENDER_DRIVER.
# With -p, each run is also sampled by perf with call graphs, and the time spent in
# DTUpdate and everything it calls (the presentation: composing the window's picture
# and its layer, uploading, scaling, presenting) is given per frame: the whole process's CPU is mostly
# the frame wait's polling, which no presentation changes. (perf's own work then adds
# to the process's CPU figures.) With -b, build/bin/present_bench (the steps of one
# presentation, in-process) runs under the same display afterwards.
#   usage: bench/present.sh [-r REPEATS] [-s SECONDS] [-p] [-b PRESENT_BENCH] BIN [BIN ...]
#   PRESENT_SIZES="640x480 1280x960"  PRESENT_RENDERERS="default opengl"  to choose
set -euo pipefail
repeats=3
seconds=8
steps=""
sample=""
while getopts "r:s:b:p" opt; do
    case $opt in
    p) sample=1 ;;
    r) repeats=$OPTARG ;;
    s) seconds=$OPTARG ;;
    b) steps=$(realpath "$OPTARG") ;;
    *) exit 1 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { echo "usage: $0 [-r REPEATS] [-s SECONDS] BIN [BIN ...]" >&2; exit 1; }
bins=()
for b in "$@"; do bins+=("$(realpath "$b")"); done
top=$(cd "$(dirname "$0")/.." && pwd)
replay=$top/tests/data/autoplay.rep
sizes=${PRESENT_SIZES:-640x480 1280x960 1000x700}
renderers=${PRESENT_RENDERERS:-default software opengl}

XVFB_SCREEN=1920x1200x24
. "$top/tests/window/xvfb.sh"
start_xvfb
ticks=$(getconf CLK_TCK)
results=$WORK/results
: >"$results"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Microseconds per frame spent presenting, from a perf recording: the samples whose
# call stack holds DTUpdate or a function it ends in with a tail call (so that its own
# frame is gone from the stack), or the description of the window layer.
present_us() {
    local data=$1 frames=$2 hz=$3
    perf script -i "$data" -F tid,ip,sym 2>/dev/null | awk -v frames="$frames" -v hz="$hz" '
        function done() { if (open) { hits += hit }; open = 0; hit = 0 }
        /^[ \t]*$/ { done(); next }
        /^[ \t]*[0-9]+[ \t]*$/ { done(); open = 1; next }
        / (DTUpdate|media::presentPicture|media::presentToWindowSurface|SDL_RenderPresent|SDL_UpdateWindowSurface(Rects)?|tolvane::describeWindowLayer)( |\(|$)/ { hit = 1 }
        END { done(); printf "%.0f", hits / hz * 1e6 / frames }'
}

# One run: prints "frames cpu_game_ticks cpu_xvfb_ticks present_us" over the measured
# seconds (present_us 0 without -p).
run_one() {
    local bin=$1 size=$2 renderer=$3 pid win g0 g1 x0 x1 log f0 f1 perfpid="" us=0
    log=$WORK/timing.$$.log
    local env=(SDL_AUDIODRIVER=dummy TOLVANE_TIMING_LOG="$log")
    [ "$renderer" = default ] || env+=(SDL_RENDER_DRIVER="$renderer")
    env "${env[@]}" "$bin" "$replay" >"$WORK/game.log" 2>&1 &
    pid=$!
    STARTED_PIDS+=("$pid")
    win=$(wait_window '^Tolvane$') || { cat "$WORK/game.log" >&2; echo "0 0 0"; return; }
    xdotool windowsize "$win" "${size%x*}" "${size#*x}"
    sleep 2
    g0=$(cpu_ticks "$pid")
    x0=$(cpu_ticks "$XVFB_PID")
    f0=$(date +%s%N)
    if [ -n "$sample" ]; then
        perf record -F 2999 --call-graph dwarf,16384 -o "$WORK/perf.data" -p "$pid" -- sleep "$seconds" \
            >/dev/null 2>&1 &
        perfpid=$!
    fi
    sleep "$seconds"
    g1=$(cpu_ticks "$pid")
    x1=$(cpu_ticks "$XVFB_PID")
    f1=$(date +%s%N)
    [ -z "$perfpid" ] || wait "$perfpid" || true
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # The game presents every frame at normal speed: one frame in 17 ms.
    local frames=$(((f1 - f0) / 17000000))
    if [ -n "$perfpid" ]; then
        us=$(present_us "$WORK/perf.data" "$frames" 2999)
        rm -f "$WORK/perf.data"
    fi
    echo "$frames $((g1 - g0)) $((x1 - x0)) $us"
}

for rep in $(seq "$repeats"); do
    for renderer in $renderers; do
        for size in $sizes; do
            for i in "${!bins[@]}"; do
                read -r frames game xsrv us < <(run_one "${bins[$i]}" "$size" "$renderer")
                echo "$i $renderer $size $frames $game $xsrv $us" >>"$results"
                echo "run $rep: ${bins[$i]} $renderer $size: $frames frames, game $game, X $xsrv ticks," \
                    "DTUpdate $us us" >&2
            done
        done
    done
done

python3 - "$results" "$ticks" "${bins[@]}" <<'PY'
import statistics, sys
results, ticks, bins = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
rows = {}
for line in open(results):
    i, renderer, size, frames, game, xsrv, present = line.split()
    frames = int(frames)
    if frames == 0:
        continue
    us = lambda t: int(t) / ticks / frames * 1e6
    rows.setdefault((renderer, size, int(i)), []).append((us(game), us(xsrv), int(present)))
print("CPU per presented frame (median), microseconds; a frame is 17000 us")
print(f"{'renderer':10} {'window':10} {'binary':40} {'game':>8} {'X server':>9} {'game %':>7} {'DTUpdate':>9}")
for (renderer, size, i), v in sorted(rows.items()):
    g = statistics.median(a for a, _, _ in v)
    x = statistics.median(b for _, b, _ in v)
    p = statistics.median(c for _, _, c in v)
    print(f"{renderer:10} {size:10} {bins[i][-40:]:40} {g:8.0f} {x:9.0f} {100 * g / 17000:6.1f}% {p:9.0f}")
PY

if [ -n "$steps" ]; then
    echo
    "$steps" --benchmark_counters_tabular=true
fi
