# Helpers for the window tests of the game and the launcher, sourced by them: an Xvfb
# of our own on a free display (with openbox as its window manager, or weston nested in
# it as a Wayland compositor, where a test asks), windows found by title, keys typed with
# xdotool, pixels read with ImageMagick. Everything started here (add pids to
# STARTED_PIDS) is stopped when the script exits. Needs xvfb, xdotool, x11-utils and
# imagemagick; openbox and weston for the tests that use them.

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-window.XXXXXX")
# The programs read no settings of the machine's user; a test that wants some writes them here.
export XDG_CONFIG_HOME="$WORK/config"
# Whatever locale the machine has (none at all, on a minimal system): xdotool matches the
# windows' UTF-8 titles only in a UTF-8 locale, and C.UTF-8 is always there. The programs
# then show their own (Japanese) texts; a test of another language sets LANG for them.
export LC_ALL=C.UTF-8
unset LANGUAGE
STARTED_PIDS=()

# Safe under `set -e`: a process that has already ended is no failure here.
cleanup() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# True when display number $1 looks taken: a lock file here, or a listening socket in
# the abstract namespace (which other machines' containers on this host may share).
display_taken() {
    [ -e "/tmp/.X$1-lock" ] || [ -e "/tmp/.X11-unix/X$1" ] ||
        grep -q "@/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}

# Starts Xvfb on a free display number and waits until it answers. XVFB_SCREEN sets
# the screen (default 1024x768x24).
start_xvfb() {
    local n tries i
    n=$((100 + $$ % 800))
    for tries in $(seq 50); do
        n=$((n + 1))
        display_taken "$n" && continue
        # -noreset: a server that resets whenever its last client leaves refuses the
        # clients that arrive meanwhile, and the tests connect and leave all the time.
        Xvfb ":$n" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset 2>"$WORK/xvfb.log" &
        XVFB_PID=$!
        for i in $(seq 200); do
            kill -0 "$XVFB_PID" 2>/dev/null || break # lost the race for this number
            if [ -e "/tmp/.X11-unix/X$n" ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.05
        done
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
        XVFB_PID=""
    done
    fail "could not start Xvfb: $(cat "$WORK/xvfb.log")"
}

# Starts openbox on our display and waits until it manages the screen: windows then get
# the keyboard when activated, and Alt+F4 closes them as on a desktop.
start_openbox() {
    local i
    openbox --sm-disable >"$WORK/openbox.log" 2>&1 &
    STARTED_PIDS+=($!)
    for i in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.05
    done
    fail "openbox did not start: $(cat "$WORK/openbox.log")"
}

# Starts weston nested in our Xvfb (its x11 backend, drawing with pixman) on a socket of
# its own, and exports WAYLAND_DISPLAY and XDG_RUNTIME_DIR for its clients. Keys typed
# into the Xvfb reach the Wayland window that has weston's keyboard focus. Sets
# WESTON_WIN to weston's X window.
start_weston() {
    local i
    export XDG_RUNTIME_DIR="$WORK/xdg"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    weston --backend=x11-backend.so --use-pixman --socket=tolvane-wayland --width=1024 --height=768 \
        --idle-time=0 >"$WORK/weston.log" 2>&1 &
    STARTED_PIDS+=($!)
    for i in $(seq 200); do
        [ -S "$XDG_RUNTIME_DIR/tolvane-wayland" ] && break
        sleep 0.05
    done
    [ -S "$XDG_RUNTIME_DIR/tolvane-wayland" ] || fail "weston did not start: $(cat "$WORK/weston.log")"
    export WAYLAND_DISPLAY=tolvane-wayland
    WESTON_WIN=""
    for i in $(seq 200); do
        WESTON_WIN=$(xwininfo -root -tree 2>/dev/null | awk '/"Weston Compositor/ {print $1; exit}')
        [ -n "$WESTON_WIN" ] && break
        sleep 0.05
    done
    [ -n "$WESTON_WIN" ] || fail "weston shows no window"
    # The keyboard to weston (an X client that had it before may have left it nowhere).
    xdotool windowfocus "$WESTON_WIN" 2>/dev/null || true
    # Weston moves its pointer by the X pointer's steps, from its own corner: bring both
    # to the top left once, and they agree from then on. Then the pointer waits on the
    # panel's right end, out of the pictures the tests read.
    xdotool mousemove 0 0
    sleep 0.2
    xdotool mousemove 1 1 mousemove 0 0 mousemove 1015 8
    sleep 1 # its shell and panel come up
}

# Gives a window the keyboard through the window manager (or directly, should the window
# manager not oblige within two seconds). Never fails: a key that then goes astray shows
# in what the test looks at next.
activate() {
    local i
    xdotool windowactivate "$1" >/dev/null 2>&1 || true
    for i in $(seq 40); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && break
        sleep 0.05
    done
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] || xdotool windowfocus "$1" >/dev/null 2>&1 || true
    sleep 0.1
}

# Milliseconds since the epoch.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Waits up to $2 seconds (default 5) for process $1 to end. True when it did.
wait_ended() {
    local i
    for i in $(seq $((${2:-5} * 20))); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.05
    done
    ! kill -0 "$1" 2>/dev/null
}

# The same for a process started by this script, with its exit status in EXIT_STATUS.
wait_exit() {
    wait_ended "$@" || return 1
    EXIT_STATUS=0
    wait "$1" || EXIT_STATUS=$?
}

# A copy of the game $1 in a folder of its own, $APP: the game keeps its records and
# screenshots beside its executable, so they go there and not into the build.
copy_game() {
    APP="$WORK/app"
    mkdir -p "$APP"
    cp "$1" "$APP/tolvane"
}

# Prints the id of the visible window whose title matches the regular expression.
wait_window() {
    local id i
    for i in $(seq 400); do # 20 seconds and more: a loaded machine starts programs slowly
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

wait_gone() {
    local i
    for i in $(seq 200); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    return 1
}

# Gives a window the keyboard (there is no window manager) and types one key into it.
press() {
    local win=$1 key=$2 i
    xdotool windowfocus "$win" 2>/dev/null
    for i in $(seq 100); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ] && break
        sleep 0.02
    done
    sleep 0.1 # let the program see the focus arrive before the key
    xdotool key --clearmodifiers "$key"
}

# Where a window's client area lies on the screen, as "X Y WIDTH HEIGHT" (a window
# manager's frame left out).
client_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

# Client size of a window as WIDTHxHEIGHT.
window_size() {
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Colour of one pixel of a picture, as "R,G,B".
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# Number of pixels in a WxH+X+Y region of a picture that differ from the colour "R,G,B".
pixels_unlike() {
    convert "$1" -crop "$2" +repage -fill black -opaque "rgb($3)" -fill white +opaque black \
        -format "%[fx:int(mean*w*h+0.5)]" info:
}

expect_pixel() {
    local got
    got=$(pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || fail "$1 at ($2,$3): $got, expected $4"
}

# Succeeds once the window with this id is no longer visible (another window may carry
# the same title by then, such as the game's message box).
window_gone() {
    local i
    for i in $(seq $((${2:-10} * 20))); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.05
    done
    return 1
}

# How many pixels of one colour ("#ffffff") a WxH box at (X, Y) of a picture holds:
#   count_colour FILE X Y W H COLOUR
count_colour() {
    local c
    c=$(echo "$6" | tr 'a-f' 'A-F')
    convert "$1" -crop "$4x$5+$2+$3" +repage txt:- | grep -c " $c " || true
}

# Activates a window through the window manager, then types one key (or a chord such
# as alt+Return) into it.
key_to() {
    activate "$1"
    xdotool key --clearmodifiers "$2"
}

# True when two pictures have exactly the same pixels.
same_pixels() {
    [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]
}

# True when two pictures differ in at least one pixel.
different_pixels() { ! same_pixels "$1" "$2"; }

# Captures window $1 into $2, ten times a second for at most $3 seconds, until the
# command in the remaining words (which may look at $2) succeeds. True when it did.
capture_until() {
    local win=$1 file=$2 i
    for i in $(seq $(($3 * 10))); do
        import -window "$win" "$file"
        "${@:4}" && return 0
        sleep 0.1
    done
    return 1
}

# Captures window $1 into $2 until the capture has exactly the pixels of picture $3
# (at most $4 seconds, default 5). True when it came.
capture_until_same() { capture_until "$1" "$2" "${4:-5}" same_pixels "$2" "$3"; }

# Captures window $1 into $2 until the capture differs from picture $3 (at most $4
# seconds, default 5): the window's picture moved on. True when it did.
capture_until_changed() { capture_until "$1" "$2" "${4:-5}" different_pixels "$2" "$3"; }

# Captures window $1 into $2 until two captures 0.2 s apart are the same picture (at
# most $3 seconds, default 5): the window shows a still picture. True when it did.
capture_still() {
    local i
    import -window "$1" "$2"
    for i in $(seq $((${3:-5} * 5))); do
        sleep 0.2
        import -window "$1" "$2.next.png"
        if same_pixels "$2" "$2.next.png"; then
            rm -f "$2.next.png"
            return 0
        fi
        mv "$2.next.png" "$2"
    done
    return 1
}

