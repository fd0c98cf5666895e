#!/usr/bin/env bash
# The web player's figures (bench/web_player.mjs), run by hand after scripts/build.sh,
# web/build.sh and the server's page test (which installs playwright-core):
#   bench/web_player.sh [BUILD] [BUILD-WEB]
# Starts its own tolvane-server on 127.0.0.1 and a headless Chromium; both end with it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
web=${2:-$top/build-web}
modules=$build/server-page-test/node_modules
if [ ! -d "$modules/playwright-core" ]; then
  echo "web_player.sh: no playwright-core in $modules (ctest -R server_page installs it)" >&2
  exit 1
fi
export NODE_PATH=$modules TOLVANE_SERVER=$build/bin/tolvane-server TOLVANE_TEST_DATA=$top/tests/data
export TOLVANE_PLAYER=$web/player
exec node "$top/bench/web_player.mjs"
