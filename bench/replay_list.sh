#!/usr/bin/env bash
# The replay list with COUNT replays (default 1000, all different games, 10 unusable files
# among them) on an Xvfb of its own, with an empty cache and then a full one.
# Usage: replay_list.sh BUILD_DIR [COUNT]
set -u
BUILD=$1
COUNT=${2:-1000}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/window/xvfb.sh"
APP="$WORK/app"
"$here/make_replays.py" "$APP" "$COUNT" --bad 10 || fail "cannot make the replays"
cp "$BUILD/bin/tolvane-replay" "$APP/"
export XDG_CACHE_HOME="$WORK/cache"
start_xvfb
QT_QPA_PLATFORM=xcb "$BUILD/bin/replay_list_bench" "$APP"
