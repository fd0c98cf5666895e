#!/usr/bin/env bash
# From the menu into the game and back, with the real programs under Xvfb: kestrow,
# Enter, a game window appears; Esc in the game; the menu is still there.
# Usage: kestrow_game_test.sh KESTROW APP_DIR [SCREENSHOT_DIR]   (APP_DIR holds the built tolvane)
# Exits 77 (skipped) while the game has not been built.
set -u
KESTROW=$1
BUILT=$2
SHOTS=${3:-}
if [ ! -x "$BUILT/tolvane" ]; then
    echo "SKIP: $BUILT/tolvane does not exist yet; this test runs once the game is built"
    exit 77
fi
. "$(dirname "$0")/../window/xvfb.sh"

# A folder of our own, so the game writes nothing into the build; the programs are copied
# (not linked) because each finds its folder from its own executable.
APP="$WORK/app dir"
mkdir -p "$APP"
cp "$KESTROW" "$APP/kestrow"
cp "$BUILT/tolvane" "$APP/tolvane"
cp "$BUILT"/*.mid "$APP/" 2>/dev/null
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" # no sound card on the test machines

# Games are started detached, so they are found by their executable, not as our children.
stop_games() {
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$APP/tolvane" ] && kill "${p#/proc/}" 2>/dev/null
    done
}
trap 'stop_games; cleanup' EXIT

start_xvfb
"$APP/kestrow" &
KPID=$!
STARTED_PIDS+=("$KPID")
menu=$(wait_window '^Velmora Kestrow$') || fail "no menu window"
before=$(xdotool search --onlyvisible --name '' 2>/dev/null | sort)

press "$menu" Return
game=""
for i in $(seq 200); do
    for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        [ "$w" = "$menu" ] && continue
        grep -qx "$w" <<<"$before" && continue
        size=$(window_size "$w")
        # a window to play in, not one of the toolkit's little helper windows
        [ "${size%x*}" -ge 100 ] && [ "${size#*x}" -ge 50 ] && game=$w
    done
    [ -n "$game" ] && break
    sleep 0.05
done
[ -n "$game" ] || fail "Enter in the menu brought up no game window"
echo "game window: $(xdotool getwindowname "$game") $(window_size "$game")"
sleep 1
if [ -n "$SHOTS" ]; then
    mkdir -p "$SHOTS"
    import -window "$game" "$SHOTS/game.png" && echo "game screenshot: $SHOTS/game.png"
fi

# The menu does not wait for the game: it answers while the game runs.
press "$menu" r
picker=$(wait_window '^さまざまな一生$') || fail "the menu did not answer while the game was running"
press "$picker" Escape
wait_gone '^さまざまな一生$' || fail "Esc left the replay picker open"

press "$game" Escape
# The game closes its window (a live game then tells the rank in a box; answer it).
for i in $(seq 200); do
    xwininfo -id "$game" 2>/dev/null | grep -q IsViewable || break
    sleep 0.05
done
xwininfo -id "$game" 2>/dev/null | grep -q IsViewable && fail "Esc left the game window open"
if box=$(wait_window '^Tolvane$'); then
    press "$box" Return
fi

sleep 0.3
kill -0 "$KPID" 2>/dev/null || fail "kestrow ended with the game"
[ -n "$(xdotool search --onlyvisible --name '^Velmora Kestrow$')" ] || fail "the menu window is gone"
echo "menu still there after the game"
