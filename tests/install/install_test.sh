#!/usr/bin/env bash
# The game as a packaged install meets it: `cmake --install` into a fresh prefix, the
# prefix made read-only, and the installed programs run as a user who cannot write
# there (root runs the test as nobody). Checks the layout, the desktop files, the
# metainfo, the replay file type and the manual pages with their validators; the
# installed tolvane-replay; a whole live game that ends by itself and writes its records
# into $XDG_DATA_HOME/tolvane; and the installed kestrow finding them there. The live
# game runs under faketime at ten times the clock's speed: every frame is computed and
# drawn as usual, only sooner.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR [SCREENSHOT_DIR]
set -euo pipefail
BUILD=$1
SRC=$2
SHOTS=${3:-}
. "$SRC/tests/window/xvfb.sh"
for tool in faketime openbox desktop-file-validate appstreamcli update-mime-database xprop; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

chmod 755 "$WORK" # the player below must reach what is in it
PREFIX="$WORK/pre fix"
PLAYER_HOME="$WORK/home"
DATA="$PLAYER_HOME/data"   # XDG_DATA_HOME; does not exist yet
RECORDS="$DATA/tolvane"
mkdir -p "$PLAYER_HOME"
cp "$SRC/tests/data/zero.rep" "$SRC/tests/data/zero.verify.json" "$WORK/"

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || { cat "$WORK/install.log"; fail "install"; }
chmod -R a-w "$PREFIX"
touch "$WORK/installed"

# Runs a command as the player: nobody when we are root, else ourselves, with a clean
# environment that points at the player's own folders.
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$PLAYER_HOME"
    AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    AS=()
fi
player() {
    "${AS[@]}" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$PLAYER_HOME" XDG_DATA_HOME="$DATA" \
        ${DISPLAY:+DISPLAY=$DISPLAY} SDL_AUDIODRIVER=dummy "$@"
}
player sh -c "! touch '$PREFIX/bin/x' 2>/dev/null" || fail "the player can write into the prefix"

# ---- The layout ----
bin="$PREFIX/bin"
share="$PREFIX/share"
for f in bin/tolvane bin/kestrow bin/tolvane-replay \
    share/tolvane/{stage1,stage2,boss,lastboss,CLEAR}.mid \
    share/applications/org.tolvane.Tolvane.desktop share/applications/org.tolvane.Tolvane.Replay.desktop \
    share/icons/hicolor/{64x64,128x128,256x256}/apps/org.tolvane.Tolvane.png \
    share/metainfo/org.tolvane.Tolvane.metainfo.xml share/mime/packages/org.tolvane.Tolvane.xml \
    share/man/man6/{tolvane,kestrow,tolvane-replay}.6.gz share/doc/tolvane/LICENSE; do
    [ -e "$PREFIX/$f" ] || fail "not installed: $f"
done
for size in 64 128 256; do
    got=$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/org.tolvane.Tolvane.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size} px icon is $got"
done
[ -z "$(find "$PREFIX" -name '*.txt' -o -name '*.rep')" ] || fail "records in the prefix after installing"
echo "layout: $(find "$PREFIX" -type f | wc -l) files"

# ---- Validators ----
desktop-file-validate "$share"/applications/*.desktop || fail "desktop-file-validate"
grep -qx 'Categories=Game;ArcadeGame;' "$share/applications/org.tolvane.Tolvane.desktop" || fail "categories"
grep -qx 'Exec=tolvane %f' "$share/applications/org.tolvane.Tolvane.Replay.desktop" || fail "replay Exec"
grep -qx 'NoDisplay=true' "$share/applications/org.tolvane.Tolvane.Replay.desktop" || fail "replay entry shown"
echo "desktop-file-validate: both entries valid"
appstreamcli validate --no-net "$share/metainfo/org.tolvane.Tolvane.metainfo.xml" || fail "appstreamcli validate"
version=$("$bin/tolvane-replay" --version)
version=${version#tolvane-replay }
grep -q "release version=\"$version\"" "$share/metainfo/org.tolvane.Tolvane.metainfo.xml" ||
    fail "the metainfo's release is not $version"
mkdir -p "$WORK/mime/packages"
cp "$share/mime/packages/org.tolvane.Tolvane.xml" "$WORK/mime/packages/"
update-mime-database "$WORK/mime" >"$WORK/mime.log" 2>&1 || fail "update-mime-database: $(cat "$WORK/mime.log")"
grep -q 'application/x-tolvane-replay:\*\.rep' "$WORK/mime/globs2" || fail "*.rep is not a replay"
for page in tolvane kestrow tolvane-replay; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man6/$page.6.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(6): $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$share/man/man6/$page.6.gz" | grep -q "^NAME" || fail "$page(6) is empty"
done
echo "manual pages: no warnings"

# ---- The programs' own words, without a display ----
for program in kestrow tolvane-replay; do
    [ "$(DISPLAY= player "$bin/$program" --version)" = "$program $version" ] ||
        fail "$program --version"
    DISPLAY= player "$bin/$program" --help | grep -q "^Usage: $program" || fail "$program --help"
done
echo "--version: $version"

# ---- The headless tool ----
player "$bin/tolvane-replay" verify "$WORK/zero.rep" >"$WORK/zero.got"
diff -u "$WORK/zero.verify.json" "$WORK/zero.got" || fail "installed tolvane-replay verify"
echo "tolvane-replay verify: $(cat "$WORK/zero.got")"

# ---- A live game to its end ----
games_of() { # pids of processes running the installed game
    local p
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/exe" 2>/dev/null)" = "$bin/tolvane" ] && echo "${p#/proc/}"
    done
    return 0
}
stop_games() {
    local p
    for p in $(games_of); do kill "$p" 2>/dev/null || true; done
}
trap 'stop_games; cleanup' EXIT

start_xvfb
openbox --config-file /etc/xdg/openbox/rc.xml >"$WORK/openbox.log" 2>&1 &
STARTED_PIDS+=("$!")
sleep 1

# The window with the manager's frame (title bar and icon) around it, as a picture.
shoot() { import -frame -window "$1" "$2"; }
# The size of the largest picture in a window's _NET_WM_ICON, as WxH.
icon_size() {
    xprop -id "$1" -notype 32c _NET_WM_ICON | tr -d ',' |
        awk '{ for (i = 3; i <= NF;) { w = $i; h = $(i + 1); if (w * h > best) { best = w * h; s = w "x" h }
               i += 2 + w * h } } END { print s }'
}

player faketime -f '+0 x10' "$bin/tolvane" >"$WORK/game.log" 2>&1 &
GAME=$!
STARTED_PIDS+=("$GAME")
win=$(wait_window '^Tolvane$') || { cat "$WORK/game.log"; fail "no game window"; }
[ "$(icon_size "$win")" = "64x64" ] || fail "the game window has no 64x64 icon: $(icon_size "$win")"
for _ in $(seq 900); do # 8143 frames, about 14 seconds at ten times the speed
    [ -e "$RECORDS/NewReplay.rep" ] && [ -e "$RECORDS/Hiscore.txt" ] && break
    kill -0 "$GAME" 2>/dev/null || { cat "$WORK/game.log"; fail "the game ended by itself"; }
    sleep 0.2
done
[ -e "$RECORDS/Hiscore.txt" ] || fail "no records after the game: $(ls -la "$DATA" 2>&1)"
sleep 1 # the results screen
[ -n "$SHOTS" ] && mkdir -p "$SHOTS" && shoot "$win" "$SHOTS/tolvane.png"
press "$win" Escape
window_gone "$win" 10 || fail "Esc did not close the game window"
box=$(wait_window '^Tolvane$') || fail "no end-of-game message"
sleep 0.5
[ -n "$SHOTS" ] && shoot "$box" "$SHOTS/tolvane-rank.png"
press "$box" Return
for _ in $(seq 100); do
    kill -0 "$GAME" 2>/dev/null || break
    sleep 0.1
done
wait "$GAME" || fail "the game ended with status $?: $(cat "$WORK/game.log")"
! grep -E "could not save|cannot play" "$WORK/game.log" || fail "the game's complaints above"

# Where and how the records were written.
[ "$(stat -c %a "$RECORDS")" = 700 ] || fail "the records folder has mode $(stat -c %a "$RECORDS")"
[ "$(stat -c %U "$RECORDS/Hiscore.txt")" = "$(player id -un)" ] || fail "the records belong to someone else"
[ -z "$(find "$PREFIX" -newer "$WORK/installed")" ] || fail "the game changed the prefix"
# Nothing held, no bomb: the live game is the all-zero replay, frame for frame.
player "$bin/tolvane-replay" verify "$RECORDS/NewReplay.rep" >"$WORK/live.got"
diff -u "$WORK/zero.verify.json" "$WORK/live.got" || fail "the live game's replay plays another game"
line=$(iconv -f CP932 -t UTF-8 "$RECORDS/Hiscore.txt" | grep -n ' 120690 ' || true)
[ "$line" = $'93:89位 , 120690 \r' ] || fail "the score is not at rank 89: '$line'"
[ ! -e "$RECORDS/HiReplay.rep" ] || fail "HiReplay.rep for rank 89"
echo "live game: $(ls "$RECORDS" | tr '\n' ' ')in $RECORDS; rank 89"

# ---- The installed menu finds them ----
player "$bin/kestrow" >"$WORK/kestrow.log" 2>&1 &
STARTED_PIDS+=("$!")
menu=$(wait_window '^Velmora Kestrow$') || { cat "$WORK/kestrow.log"; fail "no menu window"; }
[ -n "$(icon_size "$menu")" ] || fail "the menu window has no icon"
xprop -id "$menu" WM_CLASS | grep -q '"kestrow"' || fail "WM_CLASS: $(xprop -id "$menu" WM_CLASS)"
sleep 0.5
[ -n "$SHOTS" ] && shoot "$menu" "$SHOTS/kestrow.png"
echo "window icons: game 64x64, menu $(icon_size "$menu") (largest)"

no_error_box() { ! wait_window '^えら～$' >/dev/null 2>&1; }

# S: the table, 105 lines of black text on the light-blue box.
press "$menu" s
view=$(wait_window '^遺産$') || fail "S opened no high-score view"
sleep 0.5
import -window "$view" "$WORK/view.png"
[ -n "$SHOTS" ] && cp "$WORK/view.png" "$SHOTS/kestrow-hiscore.png"
ink=$(count_colour "$WORK/view.png" 4 50 200 250 "#000000")
[ "$ink" -gt 500 ] || fail "the high-score view shows no table ($ink black pixels)"
press "$view" Escape
wait_gone '^遺産$' || fail "Esc left the view open"

# R: the picker lists NewReplay.rep, the one file there.
press "$menu" r
picker=$(wait_window '^さまざまな一生$') || fail "R opened no picker"
sleep 0.5
import -window "$picker" "$WORK/picker.png"
[ -n "$SHOTS" ] && cp "$WORK/picker.png" "$SHOTS/kestrow-picker.png"
# The one name, selected: the selection's bar across the first line of the list.
bar=$(pixels_unlike "$WORK/picker.png" 170x18+4+48 "192,192,255")
[ "$bar" -gt 1500 ] || fail "the picker lists nothing ($bar pixels on the first line)"
rest=$(pixels_unlike "$WORK/picker.png" 170x150+4+70 "192,192,255")
[ "$rest" -lt 50 ] || fail "the picker lists more than NewReplay.rep"
press "$picker" Escape
wait_gone '^さまざまな一生$' || fail "Esc left the picker open"

# N: the installed tolvane, found beside kestrow, plays the replay back (no box after).
press "$menu" n
replay=$(wait_window '^Tolvane$') || fail "N started no game: $(cat "$WORK/kestrow.log")"
[ -n "$(games_of)" ] || fail "N started something other than the installed game"
grep -q "NewReplay.rep" "/proc/$(games_of | head -n1)/cmdline" || fail "N did not pass the replay"
sleep 1
press "$replay" Escape
window_gone "$replay" 10 || fail "Esc did not end the playback"
sleep 1
[ -z "$(games_of)" ] || fail "the playback did not end"

# H: no game took rank 1, so there is no best replay: the menu says so.
press "$menu" h
err=$(wait_window '^えら～$') || fail "H with no HiReplay.rep showed no error"
press "$err" Return
wait_gone '^えら～$' || fail "the error box stayed"
[ -z "$(games_of)" ] || fail "H started a game without a replay"
echo "installed kestrow: S shows the table, R lists NewReplay.rep, N plays it, H finds no best game"
echo "install test passed"
