#!/usr/bin/env bash
# Without a display the game says so in one line and ends with a failure status.
set -uo pipefail
err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$1" 2>&1 >/dev/null)
status=$?
echo "status $status: $err"
[ "$status" -ne 0 ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] && printf '%s' "$err" | grep -q "no display"
