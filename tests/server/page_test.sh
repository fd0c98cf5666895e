#!/usr/bin/env bash
# The web page in Debian's Chromium, headless, driven by playwright-core from npm
# (installed once into the build folder). Skipped (77) only when npm cannot fetch it.
#   page_test.sh NODE_MODULES_DIR SCREENSHOT_DIR [TEST_FILE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
modules=$(mkdir -p "$1" && cd "$1" && pwd)
mkdir -p "$2"; export TOLVANE_SCREENSHOTS=$(cd "$2" && pwd)
version=1.65.2
if [ ! -f "$modules/node_modules/playwright-core/package.json" ] ||
   ! grep -q "\"version\": \"$version\"" "$modules/node_modules/playwright-core/package.json"; then
  mkdir -p "$modules"
  if ! npm install --prefix "$modules" --no-audit --no-fund --no-save "playwright-core@$version" >"$modules/npm.log" 2>&1; then
    cat "$modules/npm.log" >&2
    echo "page_test.sh: npm could not install playwright-core; skipped" >&2
    exit 77
  fi
fi
export NODE_PATH="$modules/node_modules"
export TOLVANE_CHROMIUM=${TOLVANE_CHROMIUM:-/usr/bin/chromium}
mkdir -p "$TOLVANE_SCREENSHOTS"
exec node --test "$here/${3:-page.test.mjs}"
