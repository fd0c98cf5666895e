#!/usr/bin/env bash
# Compares the arithmetic of the native and the web build (math_check.cpp): sin and cos
# of the headings and whole numbers, and the roundings, must be the same bytes; atan of
# arbitrary ratios is correctly rounded in the web build, which the native C library is
# in all but rare cases (about 1 in 800 here): those are counted and shown, and fail
# only beyond 1 in 250.
#   check_math.sh NATIVE_PROGRAM BUILD_WEB
set -euo pipefail
native=$1 web=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$web/tolvane-mathcheck.js" ]; then
  echo "no web build in $web (web/build.sh makes it)" >&2
  [ -n "${TOLVANE_REQUIRE_WEB:-}" ] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$native" >"$work/native.txt"
node -e "require(process.argv[1])({wasmBinary: require('fs').readFileSync(process.argv[2]), arguments: []})" \
  "$(cd "$web" && pwd)/tolvane-mathcheck.js" "$web/tolvane-mathcheck.wasm" >"$work/web.txt"
status=0
for section in degree whole round; do
  if ! cmp -s <(grep "^$section " "$work/native.txt") <(grep "^$section " "$work/web.txt"); then
    echo "$section: the web build differs from the native one:" >&2
    diff <(grep "^$section " "$work/native.txt") <(grep "^$section " "$work/web.txt") | head -20 >&2
    status=1
  fi
done
total=$(grep -c '^atan ' "$work/native.txt")
differ=$(diff <(grep '^atan ' "$work/native.txt") <(grep '^atan ' "$work/web.txt") | grep -c '^<' || true)
echo "atan: $differ of $total results differ in the last bit"
if [ "$differ" -gt 0 ]; then
  diff <(grep '^atan ' "$work/native.txt") <(grep '^atan ' "$work/web.txt") | head -6 || true
fi
if [ $((differ * 250)) -gt "$total" ]; then
  echo "atan: more than 1 in 250 differ" >&2
  status=1
fi
if [ $status -eq 0 ]; then echo "sin, cos and the roundings: the same in both builds"; fi
exit $status
