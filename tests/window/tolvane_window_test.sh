#!/usr/bin/env bash
# The game in a real window under Xvfb: the white time text near (280, 32) counting
# down, then Esc ends the loop and the live game shows its end-of-game message box,
# which closes with Enter and ends the process.
set -euo pipefail
game=$1
. "$(dirname "$0")/xvfb.sh"
out=${TEST_OUTPUT_DIR:-$WORK}
start_xvfb

SDL_AUDIODRIVER=dummy "$game" >"$out/tolvane.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
win=$(wait_window '^Tolvane$') || { cat "$out/tolvane.log"; fail "no game window"; }
eval "$(xdotool getwindowgeometry --shell "$win")" # X, Y: where the client area sits

# The time text, white on black at (280, 32) of the client area (a loaded machine may
# take a moment for the first frames).
white=0
for _ in 1 2 3 4 5; do
    sleep 1
    import -window root "$out/game1.png"
    white=$(count_colour "$out/game1.png" $((X + 270)) $((Y + 28)) 140 32 "#ffffff")
    [ "$white" -gt 60 ] && break
done
echo "white pixels near the time text: $white"
[ "$white" -gt 60 ] || fail "no time text"
sleep 1
import -window root "$out/game2.png"
crop() { convert "$1" -crop "140x32+$((X + 270))+$((Y + 28))" +repage rgb:- | md5sum; }
[ "$(crop "$out/game1.png")" != "$(crop "$out/game2.png")" ] || fail "the time does not count down"

press "$win" Escape
window_gone "$win" 10 || fail "Esc did not close the game window"
box=$(wait_window '^Tolvane$') || fail "no end-of-game message"
sleep 0.5
import -window root "$out/message.png"
eval "$(xdotool getwindowgeometry --shell "$box")"
dark=$(count_colour "$out/message.png" "$X" "$Y" "$WIDTH" "$HEIGHT" "#000000")
echo "message box ${WIDTH}x${HEIGHT}, $dark black text pixels"
[ "$dark" -gt 100 ] || fail "the message shows no text"
press "$box" Return
wait_exit "$pid" 10 || fail "the game did not end"
[ "$EXIT_STATUS" -eq 0 ] || fail "the game ended with status $EXIT_STATUS"
echo "window test passed"
