# Helpers for the window tests: a private Xvfb on a free display, screenshots, waiting
# for windows. Sourced by the test scripts; needs xvfb, xdotool, x11-utils, imagemagick.

# Starts Xvfb on the first free display from :90 and exports DISPLAY.
start_xvfb() {
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do
            xdpyinfo >/dev/null 2>&1 && return 0
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
    done
    echo "cannot start Xvfb" >&2
    return 1
}

stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null || true
}

# wait_window NAME [SECONDS]: prints the id of the newest visible window of that name.
wait_window() {
    local id
    for _ in $(seq 1 $((${2:-10} * 10))); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# window_gone ID [SECONDS]: succeeds once the window is no longer visible.
window_gone() {
    for _ in $(seq 1 $((${2:-10} * 10))); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    return 1
}

# count_colour FILE X Y W H COLOUR: how many pixels of that colour ("#ffffff") the box holds.
count_colour() {
    local c
    c=$(echo "$6" | tr 'a-f' 'A-F')
    convert "$1" -crop "$4x$5+$2+$3" +repage txt:- | grep -c " $c " || true
}
