#!/usr/bin/env bash
# The SDL tests that need a real X display, on an Xvfb of their own.
#   x11_errors_test.sh TOLVANE_SDL_TESTS
set -euo pipefail
. "$(dirname "$0")/xvfb.sh"
start_xvfb
SDL_VIDEODRIVER=x11 "$1" --gtest_filter='X11Errors.*' 2>&1 | tee "$WORK/out.log"
grep -q '\[  PASSED  \] 1 test' "$WORK/out.log" || fail "the X11 test did not run and pass"
