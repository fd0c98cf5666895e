#!/usr/bin/env bash
# Whole-process time of the headless verification of a replay, for one or more builds
# of tolvane-replay in the same run (hyperfine, median of the runs), and the
# instructions it executes (callgrind, repeatable on a busy machine).
#   usage: bench/headless.sh [-r RUNS] [--instructions] REPLAY TOLVANE_REPLAY...
set -euo pipefail
runs=5
count=0
while [ $# -gt 0 ]; do
    case $1 in
    -r) runs=$2; shift 2 ;;
    --instructions) count=1; shift ;;
    *) break ;;
    esac
done
replay=$(realpath "$1")
shift
commands=()
for tool in "$@"; do commands+=("$(realpath "$tool") verify $replay"); done
json=$(mktemp)
trap 'rm -f "$json"' EXIT
hyperfine -N --warmup 2 --runs "$runs" --export-json "$json" "${commands[@]}" >/dev/null
python3 - "$json" "$replay" <<'PY'
import json, subprocess, sys
data = json.load(open(sys.argv[1]))
frames = json.loads(subprocess.run(data["results"][0]["command"].split(), capture_output=True,
                                   text=True).stdout)["frames"]
print(f"{'median s':>9} {'user s':>7} {'frames/s':>10}  tool (user: mean)")
for r in data["results"]:
    print(f"{r['median']:9.3f} {r['user']:7.3f} {frames / r['median']:10.0f}  "
          f"{r['command'].split()[0]}")
PY
if [ "$count" = 1 ]; then
    for tool in "$@"; do
        n=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$tool" verify "$replay" 2>&1 >/dev/null |
            awk '/refs:/ {gsub(",", "", $4); print $4}')
        printf '%14s instructions  %s\n' "$n" "$tool"
    done
fi
