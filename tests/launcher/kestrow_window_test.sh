#!/usr/bin/env bash
# The real kestrow under Xvfb: the windows come up with their sizes, colours and
# captions (screenshots kept for a look), Esc closes each, and the program ends with its
# last window.  Usage: kestrow_window_test.sh KESTROW SCREENSHOT_DIR
set -u
KESTROW=$1
SHOTS=$2
. "$(dirname "$0")/../window/xvfb.sh"

mkdir -p "$SHOTS"
APP="$WORK/app dir"
mkdir -p "$APP"
export XDG_CACHE_HOME="$WORK/cache" # the replay list keeps its cache there
cp "$KESTROW" "$APP/kestrow"
# The high-score table as the game writes it: CP932, CR LF.
{
    printf 'Tolvane\r\n\r\nはいすこあ\r\n\r\n'
    for k in $(seq 100); do printf '%d位 , %d \r\n' "$k" $(((101 - k) * 10000)); done
} | iconv -f UTF-8 -t CP932 >"$APP/Hiscore.txt"
for name in HiReplay.rep "copy of HiReplay.rep" "a b; \$(id) \"q\".rep" takeover-1a2b3c4d5e6f-f1234-20261209-082535.rep; do
    head -c 100 /dev/zero >"$APP/$name"
done

start_xvfb
GROUND="0,0,64"
LIGHT="192,192,255"

"$APP/kestrow" &
KPID=$!
STARTED_PIDS+=("$KPID")

# One of the program's fixed-size windows as it comes up: sets the variable named $1 to
# the id of the window titled $2 (failing with $3 when none comes), checks that its size
# is $4 ("WxH"), captures it into $SHOTS/$5 and checks the ground colour at the point $6
# and the light colour at the point $7 (each "X Y").
window_shown() {
    local id size shot=$SHOTS/$5 gx gy lx ly
    id=$(wait_window "$2") || fail "$3"
    size=$(window_size "$id")
    [ "$size" = "$4" ] || fail "the window ${2//[\^\$]/} is $size, not $4"
    sleep 0.3
    import -window "$id" "$shot"
    read -r gx gy <<<"$6"
    read -r lx ly <<<"$7"
    expect_pixel "$shot" "$gx" "$gy" "$GROUND"
    expect_pixel "$shot" "$lx" "$ly" "$LIGHT"
    printf -v "$1" %s "$id"
}

window_shown menu '^Velmora Kestrow$' "no menu window" 270x446 menu.png "267 230" "135 180"
lit=$(pixels_unlike "$SHOTS/menu.png" 257x17+8+192 "$GROUND")
[ "$lit" -gt 100 ] || fail "first caption has only $lit drawn pixels"

# S: the high-score view with the table.
# shellcheck disable=SC2154 # window_shown sets menu, scores and picker
press "$menu" s
window_shown scores '^遺産$' "S opened no high-score view" 233x305 scores.png "225 42" "185 250"
text=$(pixels_unlike "$SHOTS/scores.png" 200x240+4+50 "$LIGHT")
[ "$text" -gt 300 ] || fail "the table shows only $text drawn pixels"
press "$scores" Escape
wait_gone '^遺産$' || fail "Esc left the high-score view open"

# R: the replay picker.
press "$menu" r
window_shown picker '^さまざまな一生$' "R opened no replay picker" 177x241 picker.png "170 40" "88 220"
press "$picker" Escape
wait_gone '^さまざまな一生$' || fail "Esc left the replay picker open"

# L: the replay list, Tab in the picker the same; a real window that can be resized.
press "$menu" l
list=$(wait_window '^記録の一覧$') || fail "L opened no replay list"
sleep 0.5
import -window "$list" "$SHOTS/replay-list.png"
expect_pixel "$SHOTS/replay-list.png" 4 4 "$GROUND"
press "$list" Escape
wait_gone '^記録の一覧$' || fail "Esc left the replay list open"
press "$menu" r
picker=$(wait_window '^さまざまな一生$') || fail "R opened no replay picker"
press "$picker" Tab
list=$(wait_window '^記録の一覧$') || fail "Tab in the picker opened no replay list"
press "$list" Escape
wait_gone '^記録の一覧$' || fail "Esc left the replay list open"
press "$picker" Escape
wait_gone '^さまざまな一生$' || fail "Esc left the replay picker open"

# P: the practice window on the best replay, once the run has been played through.
press "$menu" p
practice=$(wait_window '^練習$') || fail "P opened no practice window"
sleep 3
import -window "$practice" "$SHOTS/practice.png"
expect_pixel "$SHOTS/practice.png" 4 4 "$GROUND"
text=$(pixels_unlike "$SHOTS/practice.png" 300x60+12+100 "$LIGHT")
[ "$text" -gt 300 ] || fail "the practice window's points show only $text drawn pixels"
press "$practice" Escape
wait_gone '^練習$' || fail "Esc left the practice window open"

# N with no last game: the error box.
press "$menu" n
box=$(wait_window '^えら～$') || fail "N without NewReplay.rep showed no error box"
sleep 0.3
import -window "$box" "$SHOTS/error.png"
press "$box" Return
wait_gone '^えら～$' || fail "Enter left the error box open"

# Esc on the menu with the high-score view open: the program goes on until that closes.
press "$menu" s
scores=$(wait_window '^遺産$') || fail "S opened no high-score view"
press "$menu" Escape
wait_gone '^Velmora Kestrow$' || fail "Esc left the menu open"
sleep 0.3
kill -0 "$KPID" 2>/dev/null || fail "kestrow ended while the high-score view was open"
press "$scores" Escape
wait_exit "$KPID" 5 || fail "kestrow still running after its last window closed"
[ "$EXIT_STATUS" -eq 0 ] || fail "kestrow ended with status $EXIT_STATUS"
echo "screenshots in $SHOTS"
