#!/usr/bin/env bash
# Installs a built tolvane .deb with dpkg into a scratch copy of this machine's root (an
# overlay over /, in a private mount namespace, so the real system never changes), and
# checks it there: dpkg -i with its dependencies and triggers, the files where they
# belong, the file type and desktop entries registered, the programs' --version, a
# replay verified, a whole live game played as nobody under Xvfb (faketime at ten times
# the clock's speed) with its records in ~/.local/share/tolvane, and dpkg -r leaving
# nothing behind. Needs root and the tools of scripts/install-deps.sh.
#   usage: scripts/try-deb.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
top=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" -eq 0 ] || { echo "try-deb: needs root (dpkg, mount)" >&2; exit 77; }
. "$top/tests/window/xvfb.sh" # WORK, removed at the end, and an Xvfb of our own
scratch=$WORK/scratch
mkdir -p "$scratch"/{upper,work,root}
cp "$deb" "$scratch/upper/"
mkdir -p "$scratch/upper/tmp/try"
cp "$top/tests/data/zero.rep" "$top/tests/data/zero.verify.json" "$scratch/upper/tmp/try/"
cat >"$scratch/upper/tmp/try/inside.sh" <<'EOF'
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
deb=/$(cd / && ls *.deb)
dpkg -i "$deb"
dpkg -s tolvane | grep -q '^Status: install ok installed' || fail "not installed"
echo "== dpkg -L tolvane (files)"
dpkg -L tolvane | while read -r f; do [ -f "$f" ] && echo "$f"; done
# /usr/games and /usr/share/games/tolvane in Debian's layout, /usr/bin and /usr/share/tolvane by default.
bin=$(dirname "$(dpkg -L tolvane | grep '/kestrow$')")
songs=$(dirname "$(dpkg -L tolvane | grep '/CLEAR.mid$')")
echo "== programs in $bin, songs in $songs"
[ -x "$bin/kestrow" ] && [ -x "$bin/tolvane" ] && [ -x "$bin/tolvane-replay" ] || fail "programs"
[ "$songs" = /usr/share/games/tolvane ] || [ "$songs" = /usr/share/tolvane ] || fail "songs in $songs"
grep -q 'application/x-tolvane-replay:\*\.rep' /usr/share/mime/globs2 || fail "the mime trigger did not run"
grep -q 'application/x-tolvane-replay=org.tolvane.Tolvane.Replay.desktop' /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not open *.rep with the game"
echo "== registered: *.rep -> $(grep x-tolvane /usr/share/applications/mimeinfo.cache)"
DISPLAY= "$bin/kestrow" --version
"$bin/tolvane-replay" --version
"$bin/tolvane-replay" verify /tmp/try/zero.rep | diff -u /tmp/try/zero.verify.json - || fail "verify"
man -w tolvane kestrow tolvane-replay

# A live game as nobody, to its end.
home=/tmp/try/home
mkdir -p "$home" && chown nobody:nogroup "$home"
setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH="$bin:/usr/bin:/bin" HOME="$home" \
    DISPLAY="$DISPLAY" SDL_AUDIODRIVER=dummy faketime -f '+0 x10' tolvane >/tmp/try/game.log 2>&1 &
game=$!
for _ in $(seq 600); do
    [ -e "$home/.local/share/tolvane/Hiscore.txt" ] && break
    kill -0 "$game" 2>/dev/null || break
    sleep 0.2
done
sleep 1
win=$(xdotool search --onlyvisible --name '^Tolvane$' | head -n1)
[ -n "$win" ] || fail "no game window: $(cat /tmp/try/game.log)"
xdotool windowfocus "$win"; sleep 0.2; xdotool key Escape; sleep 1
box=$(xdotool search --onlyvisible --name '^Tolvane$' | head -n1)
[ -n "$box" ] && { xdotool windowfocus "$box"; sleep 0.2; xdotool key Return; }
wait "$game" || fail "the game ended with $?"
echo "== game's stderr:"; cat /tmp/try/game.log
grep -q "cannot play" /tmp/try/game.log && fail "songs not found"
ls -la "$home/.local/share/tolvane"
"$bin/tolvane-replay" verify "$home/.local/share/tolvane/NewReplay.rep" | diff -u /tmp/try/zero.verify.json - ||
    fail "the live game's replay"

dpkg -r tolvane
left=$(find "$bin" "$songs" /usr/share/applications /usr/share/metainfo /usr/share/icons/hicolor \
    /usr/share/man/man6 /usr/share/doc /usr/share/mime/packages -path '*olvane*' -o -name 'kestrow*' 2>/dev/null || true)
[ -z "$left" ] || fail "left after dpkg -r: $left"
grep -q x-tolvane-replay /usr/share/mime/globs2 && fail "the file type stayed registered"
echo "== dpkg -i, the live game and dpkg -r: all fine"
EOF

start_xvfb
openbox >/dev/null 2>&1 &
STARTED_PIDS+=("$!")
# The scratch root: / underneath, every change in $scratch/upper.
unshare --mount --propagation private sh -c '
    set -e
    s=$1
    mount -t overlay overlay -o "lowerdir=/,upperdir=$s/upper,workdir=$s/work" "$s/root"
    for d in proc sys dev dev/pts; do mount --rbind "/$d" "$s/root/$d"; done
    chroot "$s/root" env DISPLAY="$DISPLAY" bash /tmp/try/inside.sh
' sh "$scratch"
