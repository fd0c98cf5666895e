#!/usr/bin/env bash
# Every comparison of the model with tolvane-replay: the golden replays and all generated ones
# as whole games with every object on every frame, three of them on past the end of the game
# and past the 25001-entry input buffer. Takes a few minutes.
#   tools/model/compare_all.sh [BUILD_DIR] [REPLAY_DIR]
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
reps=${2:-$(mktemp -d)}
tool=$build/bin/tolvane-replay
python3 "$top/tools/model/make_replays.py" "$reps" || exit 2
status=0
python3 "$top/tools/model/compare.py" --tool "$tool" --verify "$top"/tests/data/*.rep "$reps"/*.rep || status=$?
python3 "$top/tools/model/compare.py" --tool "$tool" --until 25200 \
  "$reps/fullbuffer.rep" "$reps/oddbytes.rep" "$reps/zero.rep" || status=$?
exit $status
