#!/usr/bin/env bash
# The window's own keys in live play, under a window manager and with real key events:
# F11 and Alt+Enter make the window as large as the screen and back, P stops the game
# (the picture, time text included, stands still, darkened) and P starts it again.
set -euo pipefail
game=$1
. "$(dirname "$0")/xvfb.sh"
out=${TEST_OUTPUT_DIR:-$WORK}
start_xvfb
start_openbox
screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')

SDL_AUDIODRIVER=dummy "$game" >"$out/tolvane.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
win=$(wait_window '^Tolvane$') || { cat "$out/tolvane.log"; fail "no game window"; }
activate "$win"
sleep 1

# Waits until the window has the size $2 (at most 3 seconds).
wait_size() {
    local i
    for i in $(seq 60); do
        [ "$(window_size "$1")" = "$2" ] && return 0
        sleep 0.05
    done
    fail "the window is $(window_size "$1"), not $2"
}

[ "$(window_size "$win")" = 640x480 ] || fail "the window opens at $(window_size "$win")"
for chord in F11 alt+Return; do
    key_to "$win" "$chord"
    wait_size "$win" "$screen"
    echo "$chord: $(window_size "$win")"
    sleep 0.5
    [ "$chord" = F11 ] && import -window root "$out/fullscreen.png"
    key_to "$win" "$chord"
    wait_size "$win" 640x480
    echo "$chord again: $(window_size "$win")"
done
sleep 0.5

# The game runs, P stops it, P starts it again.
import -window "$win" "$out/running1.png"
sleep 0.5
import -window "$win" "$out/running2.png"
same_pixels "$out/running1.png" "$out/running2.png" && fail "the game is not running"
key_to "$win" p
capture_still "$win" "$out/paused1.png" || fail "P did not stop the game"
sleep 1
import -window "$win" "$out/paused2.png"
same_pixels "$out/paused1.png" "$out/paused2.png" || fail "the paused picture changed within a second"
key_to "$win" p
capture_until_changed "$win" "$out/resumed.png" "$out/paused2.png" || fail "P did not start the game again"
sleep 0.5
import -window "$win" "$out/resumed2.png"
same_pixels "$out/resumed.png" "$out/resumed2.png" && fail "the game did not go on after P"

key_to "$win" Escape
window_gone "$win" 10 || fail "Esc did not close the game window"
box=$(wait_window '^Tolvane$') || fail "no end-of-game message"
key_to "$box" Return
wait_exit "$pid" 10 || fail "the game did not end"
[ "$EXIT_STATUS" -eq 0 ] || fail "the game ended with status $EXIT_STATUS"
echo "live keys test passed"
