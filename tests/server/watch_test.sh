#!/usr/bin/env bash
# The watch page (watch.test.mjs) on the web player's folder; skipped (77) when there is
# no web build, unless TOLVANE_REQUIRE_WEB is set, or when npm cannot fetch playwright-core.
#   watch_test.sh NODE_MODULES_DIR SCREENSHOT_DIR PLAYER_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$3/tolvane-web.wasm" ]; then
  echo "no web player in $3 (web/build.sh makes it)" >&2
  [ -n "${TOLVANE_REQUIRE_WEB:-}" ] && exit 1
  exit 77
fi
export TOLVANE_PLAYER=$3
exec "$here/page_test.sh" "$1" "$2" watch.test.mjs
