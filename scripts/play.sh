#!/usr/bin/env bash
# Sets everything up and starts the menu (or, with an argument, the game on a replay).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh" "$top/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "play.sh: there is no display here (DISPLAY is not set), so the game cannot open its window." >&2
    echo "         Run it from a desktop session, or over ssh -X." >&2
    exit 1
fi
bin="$top/build/bin"
if [ $# -gt 0 ]; then exec "$bin/tolvane" "$@"; fi
if [ -x "$bin/kestrow" ]; then exec "$bin/kestrow"; fi
exec "$bin/tolvane"
