#!/usr/bin/env bash
# The game and the menu as Wayland clients of weston, nested in our Xvfb, with no title
# bar plugin for the game (its window then has no decorations) and no X display for
# either:
#   the window renderer rule, on X11 and on Wayland (the SDL tests' WindowRenderer);
#   the game plays, and after Esc held for a second and a half, and after a click that
#   quits, the rank box is drawn and stays until Enter; the game exits 0;
#   kestrow shows its menu, Enter starts the game as a Wayland client, the game's box
#   closes on Enter and the menu is still there.
# Usage: tolvane_wayland_test.sh TOLVANE SDL_TESTS KESTROW|- [SCREENSHOT_DIR]
set -Eeuo pipefail
. "$(dirname "$0")/xvfb.sh"
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
game=$1
sdl_tests=$2
kestrow=$3
shots=${4:-$WORK}
mkdir -p "$shots"
export SDL_AUDIODRIVER=dummy
copy_game "$game"
[ "$kestrow" = - ] || cp "$kestrow" "$APP/kestrow"

start_xvfb

# The renderer rule, first on X11, then on Wayland.
SDL_VIDEODRIVER=x11 "$sdl_tests" --gtest_filter='WindowRenderer.*' >"$WORK/renderer-x11.log" 2>&1 ||
    { cat "$WORK/renderer-x11.log"; fail "the renderer rule on X11"; }
grep 'video driver' "$WORK/renderer-x11.log"

start_weston
env -u DISPLAY SDL_VIDEODRIVER=wayland "$sdl_tests" --gtest_filter='WindowRenderer.*' \
    >"$WORK/renderer-wayland.log" 2>&1 || { cat "$WORK/renderer-wayland.log"; fail "the renderer rule on Wayland"; }
grep 'video driver' "$WORK/renderer-wayland.log"

# Pixels of exactly one colour ("R,G,B") in a whole picture.
colour_count() {
    convert "$1" -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" \
        -format "%[fx:int(mean*w*h+0.5)]" info:
}

# Waits for the game picture (a 640x480 patch of black, moving; weston's own fade-in
# from black does not count); sets GX, GY to its top left.
wait_game_picture() {
    local i black box w h
    for i in $(seq 100); do
        import -window root "$WORK/w1.png"
        black=$(colour_count "$WORK/w1.png" 0,0,0)
        if [ "$black" -gt 150000 ]; then
            # The bounding box of the black pixels below weston's panel.
            box=$(convert "$WORK/w1.png" -crop 1024x720+0+48 +repage -fill red -opaque black \
                -fill black +opaque red -trim -format '%X %Y %w %h' info: 2>/dev/null || true)
            read -r GX GY w h <<<"${box//+/}"
            GY=$((${GY:-0} + 48))
            if [ "${w:-0}" = 640 ] && [ "${h:-0}" = 480 ]; then
                sleep 0.5
                import -window root "$WORK/w2.png"
                [ "$(compare -metric AE "$WORK/w1.png" "$WORK/w2.png" null: 2>&1 || true)" != 0 ] && return 0
            fi
        fi
        sleep 0.1
    done
    fail "no moving game picture under Wayland"
}

# The rank box: a panel of its face colour with black text on it.
box_shown() {
    local face
    import -window root "$WORK/box.png"
    face=$(colour_count "$WORK/box.png" 240,240,240)
    [ "$face" -gt 12000 ]
}

# After a quit: the box comes, is still there two seconds later, closes on Enter, and
# the game exits 0, never having fallen back to stderr for its message.
box_stays_until_enter() {
    local what=$1 pid=$2 log=$3 shot=${4:-} i text
    for i in $(seq 100); do
        box_shown && break
        sleep 0.1
    done
    box_shown || {
        cp "$WORK/box.png" "$shots/no-box.png"
        cat "$log"
        fail "$what: no rank box under Wayland (screen in $shots/no-box.png)"
    }
    sleep 2
    box_shown || fail "$what: the box was gone within two seconds"
    kill -0 "$pid" 2>/dev/null || fail "$what: the game ended without waiting on the box"
    # Black text inside the box's panel.
    # (where the face colour lies in a solid patch: weston's wallpaper has a few such pixels)
    read -r bx by bw bh <<<"$(convert "$WORK/box.png" -fill black +opaque 'rgb(240,240,240)' -fill white \
        -opaque 'rgb(240,240,240)' -morphology Erode Square:2 -trim -format '%X %Y %w %h' info: | tr -d +)"
    text=$(count_colour "$WORK/box.png" "$bx" "$by" "$bw" "$bh" "#000000")
    [ "$text" -gt 100 ] || fail "$what: the box shows no text"
    if [ -n "$shot" ]; then
        cp "$WORK/box.png" "$shots/$shot"
        echo "screenshot: $shots/$shot"
    fi
    xdotool key Return
    wait_exit "$pid" 5 || fail "$what: Enter did not close the box"
    [ "$EXIT_STATUS" -eq 0 ] || fail "$what: exit status $EXIT_STATUS"
    grep -q 'スコア\|no message box' "$log" && fail "$what: the message went to stderr: $(cat "$log")"
    echo "$what: the box (${bw}x${bh}, $text text pixels) stayed until Enter; exit 0"
}

# The game alone, a Wayland client: no X display to fall back on.
env -u DISPLAY "$APP/tolvane" >"$WORK/held.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
wait_game_picture
xdotool keydown Escape
sleep 1.5
xdotool keyup Escape
box_stays_until_enter "Wayland, Esc held 1.5 s" "$pid" "$WORK/held.log" box-wayland.png

env -u DISPLAY "$APP/tolvane" >"$WORK/click.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
wait_game_picture
xdotool mousemove $((GX + 120)) $((GY + 70)) click 1
box_stays_until_enter "Wayland, a click at (120, 70)" "$pid" "$WORK/click.log" box-wayland-click.png

[ "$kestrow" = - ] && { echo "wayland test passed (without the menu)"; exit 0; }

# The menu, a Wayland client too, starting the game.
import -window root "$WORK/desk.png"
env -u DISPLAY QT_QPA_PLATFORM=wayland "$APP/kestrow" >"$WORK/kestrow.log" 2>&1 &
kpid=$!
STARTED_PIDS+=("$kpid")
for i in $(seq 100); do
    import -window root "$WORK/menu.png"
    changed=$(compare -metric AE "$WORK/desk.png[1024x700+0+40]" "$WORK/menu.png[1024x700+0+40]" null: 2>&1 ||
        true)
    [ "${changed%% *}" -gt 20000 ] 2>/dev/null && break
    sleep 0.1
done
[ "${changed%% *}" -gt 20000 ] 2>/dev/null || { cat "$WORK/kestrow.log"; fail "no menu under Wayland"; }
cp "$WORK/menu.png" "$shots/menu-wayland.png"
echo "screenshot: $shots/menu-wayland.png"
xdotool key Return
gpid=""
for i in $(seq 100); do
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$APP/tolvane" ] && gpid=${p#/proc/}
    done
    [ -n "$gpid" ] && break
    sleep 0.1
done
[ -n "$gpid" ] || fail "Enter in the menu started no game"
STARTED_PIDS+=("$gpid")
tr '\0' '\n' <"/proc/$gpid/environ" | grep -q '^DISPLAY=' && fail "the game was given an X display"
wait_game_picture
xdotool key Escape
for i in $(seq 100); do
    box_shown && break
    sleep 0.1
done
box_shown || fail "the game started from the menu shows no box"
xdotool key Return
wait_ended "$gpid" 5 || fail "the game started from the menu did not end"
sleep 0.5
kill -0 "$kpid" 2>/dev/null || fail "the menu ended with the game"
echo "menu and game as Wayland clients: menu shown, game played, box closed, menu still there"
echo "wayland test passed"
