#!/usr/bin/env bash
# The player's settings file, as the real game reads and writes it under a window manager:
# bomb on X and left on A are what a live game records (Z no longer bombs); a bad value
# costs one warning line; F11 is remembered for the next game, and what the player wrote
# by hand stays; the effect and music loudness reach SDL's disk audio.
set -euo pipefail
game=$1
replay=$2 # a whole game to play back, for the sound
. "$(dirname "$0")/xvfb.sh"
out=${TEST_OUTPUT_DIR:-$WORK}
for tool in faketime sox od; do
    command -v "$tool" >/dev/null || fail "$tool is needed"
done
start_xvfb
start_openbox
screen=$(xdpyinfo | awk '/dimensions:/ {print $2}')
copy_game "$game"
conf="$XDG_CONFIG_HOME/tolvane/settings.ini"
mkdir -p "$(dirname "$conf")"
cat >"$conf" <<'EOF'
# written by hand
[keys]
bomb = X
left = A   ; the left hand's WASD
[sound]
effects = loud
[mine]
colour = teal
EOF
cp "$conf" "$WORK/by-hand.ini"

# A whole live game at ten times the clock's speed: A held for a second, Z pressed three
# times, then X once; the presses far enough apart that a busy machine still samples the
# keys between them.
SDL_AUDIODRIVER=dummy faketime -f '+0 x10' "$APP/tolvane" >"$out/settings-game.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
win=$(wait_window '^Tolvane$') || { cat "$out/settings-game.log"; fail "no game window"; }
activate "$win"
sleep 0.5
xdotool keydown a
sleep 1
xdotool keyup a
for k in z z z x; do
    sleep 0.5
    xdotool key "$k"
done
for _ in $(seq 300); do
    [ -e "$APP/NewReplay.rep" ] && break
    kill -0 "$pid" 2>/dev/null || { cat "$out/settings-game.log"; fail "the game ended by itself"; }
    sleep 0.1
done
[ -e "$APP/NewReplay.rep" ] || fail "the live game wrote no replay"
cp "$APP/NewReplay.rep" "$out/settings-live.rep"
key_to "$win" Escape
window_gone "$win" 10 || fail "the whole game: Esc did not close the game window"
box=$(wait_window '^Tolvane$') || fail "the whole game: no end-of-game message"
key_to "$box" Return
wait_exit "$pid" 10 || fail "the game did not end"

# The input bytes after the four-byte count: 4 is left held, 16 a new bomb press.
bytes=$(od -An -tu1 -v -j4 "$APP/NewReplay.rep")
left=$(echo "$bytes" | tr -s ' ' '\n' | awk '$1 != "" && int($1 / 4) % 2 == 1' | wc -l)
bombs=$(echo "$bytes" | tr -s ' ' '\n' | awk '$1 != "" && int($1 / 16) % 2 == 1' | wc -l)
echo "frames with left held: $left; bomb presses: $bombs"
[ "$left" -gt 0 ] || fail "A did not steer left"
[ "$bombs" -eq 1 ] || fail "expected the press of X as a bomb, and none of Z; got $bombs"
warnings=$(grep -c 'settings.ini:6: effects = loud' "$out/settings-game.log" || true)
[ "$warnings" -eq 1 ] || fail "expected one warning for effects = loud: $(cat "$out/settings-game.log")"
[ "$(grep -c settings.ini "$out/settings-game.log")" -eq 1 ] || fail "more warnings than one"
cmp -s "$conf" "$WORK/by-hand.ini" || fail "a game that changed nothing rewrote the settings"

# F11 is remembered; the next game opens fullscreen, and the hand-written lines stay.
start_game() {
    SDL_AUDIODRIVER=dummy "$APP/tolvane" >"$out/settings-game.log" 2>&1 &
    pid=$!
    STARTED_PIDS+=("$pid")
    win=$(wait_window '^Tolvane$') || { cat "$out/settings-game.log"; fail "no game window"; }
    activate "$win"
    sleep 0.5
}
# Ends the game with Esc and its rank box. The box itself is tolvane_quit's to test: here
# only that the game ends and stores what it should. A box that does not come is reported,
# with what was on the screen, and the game is ended as a logout would.
quit_game() {
    key_to "$win" Escape
    window_gone "$win" 10 || fail "$1: Esc did not close the game window"
    if box=$(wait_window '^Tolvane$'); then
        key_to "$box" Return
    else
        echo "NOTE: $1: no rank box within 20 s; windows: $(xdotool search --onlyvisible --name . 2>/dev/null |
            while read -r w; do printf '[%s] ' "$(xdotool getwindowname "$w" 2>/dev/null)"; done)" >&2
        cat "$out/settings-game.log" >&2
        kill -TERM "$pid" 2>/dev/null || true
    fi
    wait_exit "$pid" 10 || fail "$1: the game did not end"
    [ "$EXIT_STATUS" -eq 0 ] || fail "$1: the game ended with status $EXIT_STATUS"
}
start_game
[ "$(window_size "$win")" = 640x480 ] || fail "the window opens at $(window_size "$win")"
key_to "$win" F11
for _ in $(seq 60); do
    [ "$(window_size "$win")" = "$screen" ] && break
    sleep 0.05
done
quit_game "the game made fullscreen"
grep -q '^fullscreen = true$' "$conf" || fail "F11 was not stored: $(cat "$conf")"
diff <(grep -v '^fullscreen = true$\|^\[display\]$\|^$' "$conf") "$WORK/by-hand.ini" ||
    fail "the hand-written lines changed"
start_game
[ "$(window_size "$win")" = "$screen" ] || fail "the next game opens at $(window_size "$win"), not fullscreen"
import -window root "$out/settings-fullscreen.png"
quit_game "the game started fullscreen"

# Loudness: a playback of four seconds on SDL's disk audio (the game in the build, beside
# its songs), silent with both at 0.
loudness() {
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/$1.raw" "$game" "$replay" \
        >"$out/settings-sound.log" 2>&1 &
    local p=$!
    STARTED_PIDS+=("$p")
    local w
    w=$(wait_window '^Tolvane$') || fail "no playback window"
    sleep 4
    key_to "$w" Escape
    wait_exit "$p" 10 || fail "the playback did not end"
    sox -t raw -r 44100 -e signed -b 16 -c 2 "$WORK/$1.raw" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'
}
cp "$WORK/by-hand.ini" "$conf"
loud=$(loudness loud)
printf '[sound]\neffects = 0\nmusic = 0\n' >"$conf"
quiet=$(loudness quiet)
echo "greatest amplitude: $loud with the defaults, $quiet with effects = 0 and music = 0"
awk -v a="$loud" 'BEGIN { exit !(a > 0.05) }' || fail "the playback was silent with the defaults"
awk -v a="$quiet" 'BEGIN { exit !(a == 0) }' || fail "the playback was not silent at loudness 0"
echo "settings test passed"
