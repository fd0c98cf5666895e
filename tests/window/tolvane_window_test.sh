#!/usr/bin/env bash
# The game in a real window under Xvfb: the white time text near (280, 32) counting
# down, then Esc ends the loop and the live game shows its end-of-game message box,
# which closes with Enter and ends the process.
set -euo pipefail
game=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/xvfb.sh"
out=${TEST_OUTPUT_DIR:-$(mktemp -d)}
start_xvfb
trap 'stop_xvfb; kill "$pid" 2>/dev/null || true' EXIT

SDL_AUDIODRIVER=dummy "$game" >"$out/tolvane.log" 2>&1 &
pid=$!
win=$(wait_window Tolvane 10) || { echo "no game window"; cat "$out/tolvane.log"; exit 1; }
# Where the window's client area sits on the screen.
eval "$(xdotool getwindowgeometry --shell "$win")"
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
[ "$white" -gt 60 ] || { echo "no time text"; exit 1; }
sleep 1
import -window root "$out/game2.png"
# The text changes as the time counts down.
if [ "$(convert "$out/game1.png" -crop "140x32+$((X + 270))+$((Y + 28))" +repage rgb:- | md5sum)" = \
     "$(convert "$out/game2.png" -crop "140x32+$((X + 270))+$((Y + 28))" +repage rgb:- | md5sum)" ]; then
    echo "the time does not count down"; exit 1
fi

xdotool windowfocus --sync "$win" key Escape
window_gone "$win" 10 || { echo "Esc did not close the game window"; exit 1; }
box=$(wait_window Tolvane 10) || { echo "no end-of-game message"; exit 1; }
sleep 0.5
import -window root "$out/message.png"
eval "$(xdotool getwindowgeometry --shell "$box")"
dark=$(count_colour "$out/message.png" "$X" "$Y" "$WIDTH" "$HEIGHT" "#000000")
echo "message box ${WIDTH}x${HEIGHT}, $dark black text pixels"
[ "$dark" -gt 100 ] || { echo "the message shows no text"; exit 1; }
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then echo "the game did not end"; exit 1; fi
wait "$pid"
echo "window test passed (screenshots in $out)"
