#!/usr/bin/env bash
# Rewrites the golden replays and their expected results with the current build:
#   tests/data/regenerate.sh build/bin/tolvane-replay
# Each pattern replay of make_replays.py is first written long, played to find the
# frame its game ends in, and then cut to the length the game would have saved. Every
# other replay here (autoplay.rep, a whole game to the results, written once by
# `autoplay tests/data/autoplay.rep --seed 1`) is kept as it is: only its expected
# results are rewritten. Only run it when a change of the game's rules is meant to
# change the results, and say why in the commit.
set -euo pipefail
tool=$(realpath "$1")
cd "$(dirname "$0")"
python3 make_replays.py
args=()
for name in $(python3 make_replays.py --names); do
    end=$("$tool" verify "$name.rep" | python3 -c 'import json,sys; print(json.load(sys.stdin)["endFrame"])')
    args+=("$name=$((end + 1))")
done
python3 make_replays.py "${args[@]}"
for replay in *.rep; do
    name=${replay%.rep}
    "$tool" verify "$replay" > "$name.verify.json"
    "$tool" trace "$replay" --objects --every 1000 > "$name.trace.jsonl"
done
ls -l
