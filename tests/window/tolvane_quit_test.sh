#!/usr/bin/env bash
# Every way of ending a live game in a real window, under Xvfb with openbox as the window
# manager and real key events:
#   Alt+F4, Esc held for a second and a half, and a click at (120, 70) of the game
#   window each end the game; the rank box then stays up (still there two seconds later)
#   until Enter closes it, and the game exits 0;
#   SIGTERM and SIGINT in the middle of a game end it within a second with status 0,
#   no box, and the records as they were.
# Usage: tolvane_quit_test.sh TOLVANE [SCREENSHOT_DIR]
set -Eeuo pipefail
. "$(dirname "$0")/xvfb.sh"
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
shots=${2:-$WORK}
mkdir -p "$shots"
export SDL_AUDIODRIVER=dummy

copy_game "$1" # its records go to $APP
printf 'an old table\r\n' >"$APP/Hiscore.txt"
printf 'an old replay' >"$APP/NewReplay.rep"
old_records=$(cd "$APP" && md5sum Hiscore.txt NewReplay.rep)

start_xvfb
start_openbox

# Starts a live game and waits for its window and first frames: sets GAME_PID and GAME_WIN.
start_game() {
    local log=$1 white i gx gy
    shift
    "$@" "$APP/tolvane" >"$log" 2>&1 &
    GAME_PID=$!
    GAME_LOG=$log
    STARTED_PIDS+=("$GAME_PID")
    GAME_WIN=$(wait_window "^Tolvane$") || { echo "game log:"; cat "$log"; fail "no game window"; }
    activate "$GAME_WIN"
    read -r gx gy _ _ <<<"$(client_geometry "$GAME_WIN")"
    for i in $(seq 50); do
        import -window root "$WORK/frame.png"
        white=$(count_colour "$WORK/frame.png" $((gx + 270)) $((gy + 28)) 140 32 "#ffffff")
        [ "$white" -gt 60 ] && return 0
        sleep 0.2
    done
    fail "the game shows no frames"
}

# After a quit: the game window goes, the rank box comes and is still there two seconds
# later, the game still waiting on it; Enter closes it and the game exits 0.
box_stays_until_enter() {
    local what=$1 shot=${2:-} box dark
    window_gone "$GAME_WIN" 10 || fail "$what: the game window stayed"
    box=$(wait_window '^Tolvane$') || fail "$what: no rank box"
    sleep 2
    xdotool search --onlyvisible --name '^Tolvane$' 2>/dev/null | grep -qx "$box" ||
        fail "$what: the rank box was gone within two seconds"
    kill -0 "$GAME_PID" 2>/dev/null || fail "$what: the game ended without waiting on the box"
    import -window root "$WORK/box.png"
    read -r bx by bw bh <<<"$(client_geometry "$box")"
    dark=$(count_colour "$WORK/box.png" "$bx" "$by" "$bw" "$bh" "#000000")
    face=$(count_colour "$WORK/box.png" "$bx" "$by" "$bw" "$bh" "#F0F0F0")
    [ "$dark" -gt 100 ] && [ "$face" -gt $((bw * bh / 2)) ] || fail "$what: the box shows no text ($dark, $face)"
    [[ $(xprop -id "$box" _NET_WM_ICON) == *"Icon (64 x 64)"* ]] || fail "$what: the box has not the game's icon"
    if [ -n "$shot" ]; then
        cp "$WORK/box.png" "$shots/$shot"
        echo "screenshot: $shots/$shot"
    fi
    activate "$box"
    xdotool key Return
    wait_exit "$GAME_PID" 5 || fail "$what: Enter did not close the box"
    [ "$EXIT_STATUS" -eq 0 ] || { echo "game log:"; cat "$GAME_LOG"; fail "$what: exit status $EXIT_STATUS"; }
    echo "$what: the box stayed, ${bw}x${bh} with $dark text pixels, until Enter; exit 0"
}

start_game "$WORK/altf4.log"
xdotool key --clearmodifiers alt+F4
box_stays_until_enter "Alt+F4" box-after-alt-f4.png

start_game "$WORK/held-esc.log"
xdotool keydown Escape
sleep 1.5
xdotool keyup Escape
box_stays_until_enter "Esc held 1.5 s"

start_game "$WORK/click.log"
xdotool mousemove --window "$GAME_WIN" 120 70 click 1
box_stays_until_enter "a click at (120, 70)"

# A signal in the middle of a game. Background jobs of a script have SIGINT ignored;
# the game gets it at its default, as from a terminal.
for sig in TERM INT; do
    start_game "$WORK/sig$sig.log" env --default-signal=INT
    t0=$(now_ms)
    kill -s "$sig" "$GAME_PID"
    wait_exit "$GAME_PID" 5 || fail "SIG$sig: the game did not end"
    elapsed=$(($(now_ms) - t0))
    echo "SIG$sig in the middle of a game: exit $EXIT_STATUS after $elapsed ms"
    [ "$EXIT_STATUS" -eq 0 ] || fail "SIG$sig: exit status $EXIT_STATUS"
    [ "$elapsed" -lt 1000 ] || fail "SIG$sig: took $elapsed ms"
    grep -q 'スコア' "$WORK/sig$sig.log" && fail "SIG$sig: the rank message was given: $(cat "$WORK/sig$sig.log")"
    [ -z "$(xdotool search --onlyvisible --name '^Tolvane$' 2>/dev/null)" ] || fail "SIG$sig: a window is left"
done

[ "$(cd "$APP" && md5sum Hiscore.txt NewReplay.rep)" = "$old_records" ] || fail "the records changed"
[ "$(cd "$APP" && ls -A | sort | tr '\n' ' ')" = "Hiscore.txt NewReplay.rep tolvane " ] ||
    fail "files left in the records folder: $(ls -A "$APP")"
echo "quit test passed"
