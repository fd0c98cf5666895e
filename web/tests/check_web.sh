#!/usr/bin/env bash
# Compares the web build's game library, run under Node, with the native tolvane-replay.
#   check_web.sh trace    TOOL BUILD_WEB NAME         trace --objects --sounds of golden NAME, byte for byte
#   check_web.sh pictures TOOL BUILD_WEB NAME N...    the pictures after frames N..., pixel for pixel
#   check_web.sh race     TOOL BUILD_WEB NAME RIVAL N...   the same, racing golden RIVAL (render --rival)
#   check_web.sh compare  TOOL BUILD_WEB NAME RIVAL   compare's lines but its last (the module's curve:
#                                                     scores every 60 frames, splits, lost spans)
# Exit status 77 (skipped) when the web build has not been made, unless
# TOLVANE_REQUIRE_WEB is set (scripts/test.sh sets it: there it must have been made).
set -euo pipefail
mode=$1 tool=$2 web=$3 name=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
data=$here/../../tests/data
runner=$here/../node/replay.js
if [ ! -f "$web/tolvane-web.wasm" ]; then
  echo "no web build in $web (web/build.sh makes it)" >&2
  [ -n "${TOLVANE_REQUIRE_WEB:-}" ] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $mode in
trace)
  "$tool" trace "$data/$name.rep" --objects --sounds >"$work/native.jsonl"
  node "$runner" "$web" trace "$data/$name.rep" --objects --sounds >"$work/web.jsonl"
  if ! cmp "$work/native.jsonl" "$work/web.jsonl"; then
    diff "$work/native.jsonl" "$work/web.jsonl" | head -c 3000
    exit 1
  fi
  echo "$name: $(wc -l <"$work/web.jsonl") frames, the same trace from the web build"
  ;;
pictures | race)
  rival=()
  if [ "$mode" = race ]; then
    rival=(--rival "$data/$1.rep")
    shift
  fi
  frames=()
  for n in "$@"; do frames+=(--frame "$n"); done
  "$tool" render "$data/$name.rep" "${rival[@]}" "${frames[@]}" --out "$work/native"
  node "$runner" "$web" render "$data/$name.rep" "${rival[@]}" "${frames[@]}" --out "$work/web"
  status=0
  for n in "$@"; do
    base=$(printf 'frame-%05d' "$n")
    # The number of pixels that differ; compare exits 1 when there are any.
    differ=$(compare -metric AE "$work/native/$base.png" "$work/web/$base.ppm" null: 2>&1 || true)
    if [ "$differ" != "0" ]; then
      echo "$name frame $n: $differ pixels differ" >&2
      status=1
    fi
  done
  [ $status -eq 0 ] && echo "$name ${rival[*]}: frames $* pixel for pixel as the native tool draws them"
  exit $status
  ;;
compare)
  "$tool" compare "$data/$name.rep" "$data/$1.rep" | head -n -1 >"$work/native.jsonl"
  node "$runner" "$web" compare "$data/$name.rep" "$data/$1.rep" >"$work/web.jsonl"
  if ! cmp "$work/native.jsonl" "$work/web.jsonl"; then
    diff "$work/native.jsonl" "$work/web.jsonl" | head -c 3000
    exit 1
  fi
  echo "$name against $1: $(wc -l <"$work/web.jsonl") lines, the same scores, splits and lost spans"
  ;;
*)
  echo "usage: check_web.sh trace|pictures|race|compare TOOL BUILD_WEB NAME [RIVAL] [N...]" >&2
  exit 1
  ;;
esac
