#!/usr/bin/env bash
# Wall time of verifying many replays in one call of tolvane-replay against one call per
# file: COPIES copies of the autoplay game (a whole 24401-frame game each), RUNS rounds,
# medians reported, and the ratio single calls / one call.
# Usage: verify_many.sh TOOL [COPIES] [RUNS]
set -euo pipefail
TOOL=$1
COPIES=${2:-20}
RUNS=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=()
for k in $(seq "$COPIES"); do
    cp "$here/../tests/data/autoplay.rep" "$work/copy$k.rep"
    files+=("$work/copy$k.rep")
done

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# The same answers both ways, or the times mean nothing.
"$TOOL" verify "${files[@]}" | sed 's/^{"file": "[^"]*", /{/' >"$work/many.txt"
for f in "${files[@]}"; do "$TOOL" verify "$f"; done >"$work/single.txt"
cmp -s "$work/many.txt" "$work/single.txt" || { echo "the results differ" >&2; exit 1; }

many=()
single=()
for run in $(seq "$RUNS"); do
    t=$(date +%s%N)
    "$TOOL" verify "${files[@]}" >/dev/null
    many+=("$(ms "$t")")
    t=$(date +%s%N)
    for f in "${files[@]}"; do "$TOOL" verify "$f" >/dev/null; done
    single+=("$(ms "$t")")
done
m=$(median "${many[@]}")
s=$(median "${single[@]}")
echo "verify, $COPIES copies of autoplay.rep, $RUNS runs, $(nproc) cores:"
echo "  one call with $COPIES files: median $m ms (runs: ${many[*]})"
echo "  $COPIES calls with one file: median $s ms (runs: ${single[*]})"
awk -v s="$s" -v m="$m" 'BEGIN { printf "  ratio single/many: %.2f\n", s / m }'
# Processor time against wall time of one call: how many cores it kept busy (on a
# machine that others share, the ratio above says little without it).
TIMEFORMAT='%R %U %S'
read -r wall user sys < <({ time "$TOOL" verify "${files[@]}" >/dev/null; } 2>&1)
awk -v w="$wall" -v u="$user" -v s="$sys" \
    'BEGIN { printf "  one call: %.2f s wall, %.2f s processor: %.2f cores busy\n", w, u + s, (u + s) / w }'
echo "  load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
