#!/usr/bin/env bash
# Two whole live games side by side under Xvfb with openbox (about three minutes), each
# in a folder of its own and on a display of its own (a live game whose window loses the
# keyboard pauses, so each needs a screen where it keeps it):
#   one under `ulimit -f 4`: its replay cannot be written whole, yet the game is not
#   killed (SIGXFSZ) but ends as always; the old NewReplay.rep stays whole, no temporary
#   is left, and the rank box carries its second line, "記録を保存できませんでした。";
#   the other gets SIGTERM on its results screen: it ends within a second with status 0
#   and no box, and the records it wrote at the end of its game are whole.
# Usage: tolvane_long_game_test.sh TOLVANE TOLVANE_REPLAY OLD_REPLAY [SCREENSHOT_DIR]
set -Eeuo pipefail
. "$(dirname "$0")/xvfb.sh"
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
replay_tool=$2
old_replay=$3
shots=${4:-$WORK}
mkdir -p "$shots"
export SDL_AUDIODRIVER=dummy
LIMITED="$WORK/limited"
KILLED="$WORK/killed"
mkdir -p "$LIMITED" "$KILLED"
cp "$1" "$LIMITED/tolvane"
cp "$1" "$KILLED/tolvane"
cp "$old_replay" "$LIMITED/NewReplay.rep"
old_sum=$(md5sum <"$LIMITED/NewReplay.rep")

start_xvfb
start_openbox
LIMITED_DISPLAY=$DISPLAY
STARTED_PIDS+=("$XVFB_PID") # the next start_xvfb takes XVFB_PID for its own server
start_xvfb
start_openbox
KILLED_DISPLAY=$DISPLAY
export DISPLAY=$LIMITED_DISPLAY

# The visible window titled Tolvane of one process (on display $2, default ours).
window_of() {
    DISPLAY=${2:-$DISPLAY} xdotool search --all --onlyvisible --pid "$1" --name '^Tolvane$' 2>/dev/null | head -n1
}

(
    ulimit -f 4 # 4 KiB: the high-score table (about 1.3 KiB) fits, a replay does not
    exec "$LIMITED/tolvane"
) >"$WORK/limited.log" 2>&1 &
lpid=$!
STARTED_PIDS+=("$lpid")
DISPLAY=$KILLED_DISPLAY "$KILLED/tolvane" >"$WORK/killed.log" 2>&1 &
kpid=$!
STARTED_PIDS+=("$kpid")
for i in $(seq 200); do
    [ -n "$(window_of "$lpid")" ] && [ -n "$(window_of "$kpid" "$KILLED_DISPLAY")" ] && break
    sleep 0.05
done
lwin=$(window_of "$lpid")
[ -n "$lwin" ] && [ -n "$(window_of "$kpid" "$KILLED_DISPLAY")" ] || fail "the two games did not open their windows"
echo "two games running; waiting for their ends"

# The game ends by itself when its time runs out; its records appear then.
limited_done="" killed_done=""
for i in $(seq 480); do # up to eight minutes
    if [ -z "$killed_done" ] && [ -e "$KILLED/NewReplay.rep" ]; then
        sleep 1 # on the results screen
        t0=$(now_ms)
        kill -TERM "$kpid"
        wait_exit "$kpid" 2 || fail "SIGTERM on the results screen: the game did not end"
        elapsed=$(($(now_ms) - t0))
        echo "SIGTERM on the results screen: exit $EXIT_STATUS after $elapsed ms"
        [ "$EXIT_STATUS" -eq 0 ] || fail "SIGTERM on the results screen: exit status $EXIT_STATUS"
        [ "$elapsed" -lt 1000 ] || fail "SIGTERM on the results screen: took $elapsed ms"
        grep -q 'スコア' "$WORK/killed.log" && fail "SIGTERM on the results screen: the rank message was given"
        killed_done=1
    fi
    if [ -z "$limited_done" ] && [ -e "$LIMITED/Hiscore.txt" ]; then
        limited_done=1
    fi
    [ -n "$killed_done" ] && [ -n "$limited_done" ] && break
    kill -0 "$lpid" 2>/dev/null || { cat "$WORK/limited.log"; fail "the game under the file-size limit died"; }
    sleep 1
done
[ -n "$killed_done" ] || fail "the game to be killed never ended"
[ -n "$limited_done" ] || fail "the game under the file-size limit never ended"

# The killed game's records: a replay that plays back, a table of 104 lines.
out=$("$replay_tool" verify "$KILLED/NewReplay.rep") || fail "the replay written before SIGTERM: $out"
echo "replay written before SIGTERM: $out"
lines=$(tr -cd '\n' <"$KILLED/Hiscore.txt" | wc -c)
[ "$lines" -eq 104 ] || fail "Hiscore.txt written before SIGTERM has $lines lines"
leftovers=$(cd "$KILLED" && ls -A | grep '^\.' || true)
[ -z "$leftovers" ] || fail "left in the killed game's folder: $leftovers"

# The limited game: quit from its results screen; the box says the record was not saved.
sleep 1
activate "$lwin"
xdotool key Escape
window_gone "$lwin" 10 || fail "Esc did not close the game under the file-size limit"
for i in $(seq 200); do
    box=$(window_of "$lpid")
    [ -n "$box" ] && break
    sleep 0.05
done
[ -n "$box" ] || { cat "$WORK/limited.log"; fail "no rank box after the failed save"; }
sleep 0.5
import -window root "$WORK/notsaved.png"
read -r bx by bw bh <<<"$(client_geometry "$box")"
dark=$(count_colour "$WORK/notsaved.png" "$bx" "$by" "$bw" "$bh" "#000000")
cp "$WORK/notsaved.png" "$shots/box-not-saved.png"
echo "screenshot: $shots/box-not-saved.png (box ${bw}x${bh}, $dark text pixels)"
[ "$bh" -ge 110 ] || fail "the box has one line only (${bw}x${bh})"
key_to "$box" Return
wait_exit "$lpid" 5 || fail "Enter did not close the box"
[ "$EXIT_STATUS" -eq 0 ] || fail "the game under the file-size limit ended with status $EXIT_STATUS"
[ "$(md5sum <"$LIMITED/NewReplay.rep")" = "$old_sum" ] || fail "the old NewReplay.rep was changed"
leftovers=$(cd "$LIMITED" && ls -A | grep '^\.' || true)
[ -z "$leftovers" ] || fail "left behind after the failed save: $leftovers"
# Once the game says on stderr which file it could not write, it must give the reason.
if grep -q 'NewReplay.rep' "$WORK/limited.log"; then
    grep -q 'File too large' "$WORK/limited.log" || fail "stderr names the replay without the reason"
fi
echo "stderr of the game under the limit:"
sed 's/^/  /' "$WORK/limited.log"
echo "long game test passed"
