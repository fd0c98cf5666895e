#!/usr/bin/env bash
# The playback controls under a window manager, with real key events, checked against
# the pictures of the headless tool: Space pauses on a frame, each period shows exactly
# the next frame, PageDown the frame 600 further on, F12 writes that picture as a small
# PNG, a 1280x960 window shows every picture pixel as a 2x2 block, H hides and shows
# the panel, and End reaches the results.
#   usage: tolvane_playback_test.sh TOLVANE TOLVANE-REPLAY
set -euo pipefail
game=$1
tool=$2
here=$(cd "$(dirname "$0")" && pwd)
replay=$here/../data/autoplay.rep
XVFB_SCREEN=1600x1200x24
. "$here/xvfb.sh"
out=${TEST_OUTPUT_DIR:-$WORK}
start_xvfb
start_openbox
# The game's own folder is where screenshots go: a copy of the game in a scratch one.
mkdir -p "$WORK/app"
cp "$game" "$WORK/app/tolvane"
frame_png() { printf '%s/frame-%05d.png' "$1" "$2"; }

SDL_AUDIODRIVER=dummy "$WORK/app/tolvane" "$replay" >"$out/tolvane.log" 2>&1 &
pid=$!
STARTED_PIDS+=("$pid")
win=$(wait_window '^Tolvane$') || { cat "$out/tolvane.log"; fail "no game window"; }
activate "$win"
sleep 1.5
import -window "$win" "$out/panel.png"
key_to "$win" space
capture_still "$win" "$out/paused.png" || fail "Space did not pause"
key_to "$win" h
key_to "$win" period # a stepped frame is shown as it is, not darkened
sleep 0.3
capture_still "$win" "$out/step1.png" || fail "the stepped frame does not stay"

# Which frame it is: one of the first 400 (the game has run for about two seconds).
frames=()
for f in $(seq 0 400); do frames+=(--frame "$f"); done
"$tool" render "$replay" "${frames[@]}" --out "$WORK/early"
shown=""
for f in $(seq 0 400); do
    if same_pixels "$out/step1.png" "$(frame_png "$WORK/early" "$f")"; then
        shown=$f
        break
    fi
done
[ -n "$shown" ] || fail "the paused picture is none of the first 400 frames"
echo "paused at frame $shown"
key_to "$win" period
capture_until_same "$win" "$out/step2.png" "$(frame_png "$WORK/early" $((shown + 1)))" ||
    fail "period did not show the next frame"
key_to "$win" period
key_to "$win" period
capture_until_same "$win" "$out/step4.png" "$(frame_png "$WORK/early" $((shown + 3)))" ||
    fail "two periods did not go two frames on"
"$tool" render "$replay" --frame $((shown + 603)) --out "$WORK/later"
key_to "$win" Next
capture_until_same "$win" "$out/page.png" "$(frame_png "$WORK/later" $((shown + 603)))" ||
    fail "PageDown did not go 600 frames on"
echo "period and PageDown: frames $((shown + 1)), $((shown + 3)), $((shown + 603))"

# F12: the picture as a PNG beside the game.
key_to "$win" F12
for _ in $(seq 40); do
    shot=$(ls "$WORK/app"/tolvane-*.png 2>/dev/null | head -n1 || true)
    [ -n "$shot" ] && break
    sleep 0.05
done
[ -n "$shot" ] || fail "F12 wrote no screenshot: $(cat "$out/tolvane.log")"
[[ "$(basename "$shot")" =~ ^tolvane-[0-9]{8}-[0-9]{6}\.png$ ]] || fail "screenshot named $(basename "$shot")"
bytes=$(stat -c %s "$shot")
echo "screenshot $(basename "$shot"): $bytes bytes"
[ "$bytes" -lt 102400 ] || fail "the screenshot is $bytes bytes"
same_pixels "$shot" "$out/page.png" || fail "the screenshot is not the window's picture"
grep -q "screenshot saved as $shot" "$out/tolvane.log" || fail "no line on stderr for the screenshot"

# 1280x960: every picture pixel a 2x2 block of its own colour.
xdotool windowsize "$win" 1280 960
for _ in $(seq 60); do
    [ "$(window_size "$win")" = 1280x960 ] && break
    sleep 0.05
done
[ "$(window_size "$win")" = 1280x960 ] || fail "the window did not take 1280x960"
for _ in $(seq 50); do
    import -window "$win" "$out/double.png"
    convert "$out/double.png" -sample 50% "$WORK/half.png"
    same_pixels "$WORK/half.png" "$shot" && break
    sleep 0.1
done
same_pixels "$WORK/half.png" "$shot" || fail "the 1280x960 window does not show the picture"
convert "$WORK/half.png" -sample 200% "$WORK/again.png"
same_pixels "$WORK/again.png" "$out/double.png" || fail "not every pixel is a 2x2 block"
echo "1280x960: every pixel 2x2"
key_to "$win" h
key_to "$win" space
capture_until_changed "$win" "$out/panel-double.png" "$out/double.png" || fail "the playback did not go on"

# End: the results within a second.
xdotool windowsize "$win" 640 480
sleep 0.3
key_to "$win" h
sleep 0.3
end=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))['endFrame'])" "$here/../data/autoplay.verify.json")
"$tool" render "$replay" --frame $((end + 1)) --out "$WORK/end"
start=$(date +%s%N)
key_to "$win" End
reached=""
for _ in $(seq 60); do
    # The time of a capture is when it begins: the results were on the window by then.
    at=$(date +%s%N)
    import -window "$win" "$out/results.png"
    if same_pixels "$out/results.png" "$(frame_png "$WORK/end" $((end + 1)))"; then
        reached=$(((at - start) / 1000000))
        break
    fi
done
[ -n "$reached" ] || fail "End did not show the results"
echo "End: the results after $reached ms (how fast is bench/present_bench's to measure)"

key_to "$win" Escape
wait_exit "$pid" 10 || fail "the game did not end"
[ "$EXIT_STATUS" -eq 0 ] || fail "the game ended with status $EXIT_STATUS"
echo "playback test passed"
