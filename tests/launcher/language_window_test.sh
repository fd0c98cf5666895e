#!/usr/bin/env bash
# Both programs in English and in Japanese, on a machine that has generated no locale but
# C.UTF-8: LANG=en_US.UTF-8 gives the English windows and rank box, LANG=ja_JP.UTF-8 the
# game's own words exactly as the C locale shows them, and `language = ja` in the settings
# file wins over an English desktop. Screenshots of each are kept for a look.
# Usage: language_window_test.sh KESTROW TOLVANE SCREENSHOT_DIR
set -euo pipefail
KESTROW=$1
GAME=$2
SHOTS=$3
. "$(dirname "$0")/../window/xvfb.sh"
mkdir -p "$SHOTS"
export XDG_CACHE_HOME="$WORK/cache" XDG_DATA_HOME="$WORK/data"
start_xvfb
start_openbox

# Runs the menu with the locale variables $1 (for example LANG=en_US.UTF-8), opens the
# settings (O) and the replay list (L), expects their titles $2 and $3, and keeps
# screenshots named after $4.
menu_in() {
    env LC_ALL= $1 "$KESTROW" >"$WORK/kestrow.log" 2>&1 &
    local pid=$! menu win
    STARTED_PIDS+=("$pid")
    menu=$(wait_window '^Velmora Kestrow$') || fail "no menu"
    activate "$menu"
    sleep 0.5
    import -window "$menu" "$SHOTS/menu-$4.png"
    key_to "$menu" o
    win=$(wait_window "^$2\$") || fail "$1: no settings window titled $2: $(cat "$WORK/kestrow.log")"
    sleep 0.3
    import -window "$win" "$SHOTS/settings-$4.png"
    key_to "$win" Escape
    key_to "$menu" l
    win=$(wait_window "^$3\$") || fail "$1: no replay list titled $3"
    sleep 0.3
    import -window "$win" "$SHOTS/list-$4.png"
    key_to "$win" Escape
    key_to "$menu" Escape
    wait_exit "$pid" 10 || fail "the menu did not end"
}

# The game's rank box after a game quit at once, as a screenshot named after $2.
rank_box_in() {
    env LC_ALL= $1 SDL_AUDIODRIVER=dummy "$GAME" >"$WORK/game.log" 2>&1 &
    local pid=$! win box
    STARTED_PIDS+=("$pid")
    win=$(wait_window '^Tolvane$') || fail "no game window"
    activate "$win"
    sleep 0.5
    key_to "$win" Escape
    window_gone "$win" 10 || fail "Esc did not close the game window"
    box=$(wait_window '^Tolvane$') || fail "no rank box"
    sleep 0.5
    import -window "$box" "$SHOTS/rank-$2.png"
    key_to "$box" Return
    wait_exit "$pid" 10 || fail "the game did not end"
}

locale -a 2>/dev/null | grep -qi '^en_US' && echo "note: en_US is generated here; the test still holds"
menu_in LANG=en_US.UTF-8 Settings "Replay list" en
menu_in LANG=ja_JP.UTF-8 設定 記録の一覧 ja
menu_in LANG=C.UTF-8 設定 記録の一覧 c
same_pixels "$SHOTS/menu-ja.png" "$SHOTS/menu-c.png" || fail "the Japanese menu differs from the game's own words"
same_pixels "$SHOTS/settings-ja.png" "$SHOTS/settings-c.png" || fail "the Japanese settings differ"
different_pixels "$SHOTS/menu-en.png" "$SHOTS/menu-ja.png" || fail "the English menu looks Japanese"

rank_box_in LANG=en_US.UTF-8 en
rank_box_in LANG=ja_JP.UTF-8 ja
rank_box_in LANG=C.UTF-8 c
same_pixels "$SHOTS/rank-ja.png" "$SHOTS/rank-c.png" || fail "the Japanese rank box differs"
different_pixels "$SHOTS/rank-en.png" "$SHOTS/rank-ja.png" || fail "the English rank box looks Japanese"

# The settings file's language wins over the desktop's.
mkdir -p "$XDG_CONFIG_HOME/tolvane"
printf '[general]\nlanguage = ja\n' >"$XDG_CONFIG_HOME/tolvane/settings.ini"
menu_in LANG=en_US.UTF-8 設定 記録の一覧 ja-by-setting
rank_box_in LANG=en_US.UTF-8 ja-by-setting
same_pixels "$SHOTS/rank-ja-by-setting.png" "$SHOTS/rank-ja.png" || fail "language = ja did not hold"
echo "language window test passed"
