#!/usr/bin/env bash
# Start-up time and peak memory of kestrow, on an Xvfb of its own.
# Time: from starting the process to its menu window being mapped (polled every ~5 ms).
# Memory: peak resident set (VmHWM) once the menu is up, and again after the high-score
# view and the replay picker have been opened too.
# Usage: launcher_startup.sh KESTROW [RUNS]
set -u
KESTROW=$1
RUNS=${2:-20}
. "$(dirname "$0")/../tests/window/xvfb.sh"

APP="$WORK/app"
mkdir -p "$APP"
cp "$KESTROW" "$APP/kestrow"
{
    printf 'Tolvane\r\n\r\nはいすこあ\r\n\r\n'
    for k in $(seq 100); do printf '%d位 , %d \r\n' "$k" $(((101 - k) * 10000)); done
} | iconv -f UTF-8 -t CP932 >"$APP/Hiscore.txt"
for k in $(seq 30); do head -c 2000 /dev/zero >"$APP/replay$k.rep"; done

start_xvfb
hwm() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }

times=()
menus=()
alls=()
for run in $(seq "$RUNS"); do
    t0=$(date +%s%N)
    "$APP/kestrow" &
    pid=$!
    until win=$(xdotool search --onlyvisible --name '^Velmora Kestrow$' 2>/dev/null); do
        kill -0 "$pid" 2>/dev/null || fail "kestrow ended before showing its window (run $run)"
        [ $(($(date +%s%N) - t0)) -lt 10000000000 ] || fail "no menu window after 10 s (run $run)"
        sleep 0.005
    done
    t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000000)))
    sleep 0.3
    menus+=("$(hwm "$pid")")
    press "$win" s
    wait_window '^遺産$' >/dev/null
    press "$win" r
    wait_window '^さまざまな一生$' >/dev/null
    sleep 0.3
    alls+=("$(hwm "$pid")")
    kill "$pid"
    wait "$pid" 2>/dev/null
    wait_gone '^Velmora Kestrow$'
done

stats() { # prints "median max" of the numbers given
    printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)], v[NR]}'
}
read -r tmed tmax < <(stats "${times[@]}")
read -r mmed mmax < <(stats "${menus[@]}")
read -r amed amax < <(stats "${alls[@]}")
echo "kestrow start-up to its window, $RUNS runs: median $tmed ms, max $tmax ms (first run ${times[0]} ms)"
echo "peak memory (VmHWM), menu only: median $((mmed / 1024)) MB, max $((mmax / 1024)) MB"
echo "peak memory (VmHWM), all three windows: median $((amed / 1024)) MB, max $((amax / 1024)) MB"
echo "goals: start-up <= 500 ms, peak memory <= 80 MB"
