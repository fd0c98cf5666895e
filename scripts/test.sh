#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: the source layout check, every test of the normal build
# (unit tests, golden replays, window tests under their own Xvfb, the web build against
# the native tool), then the unit tests
# once more under AddressSanitizer and UndefinedBehaviorSanitizer, and the server's
# hang-up test under those and under ThreadSanitizer (tolvane-server alone, build-tsan/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# Leak reports would come from the system libraries (fontconfig, SDL) that keep their
# caches for the life of the process; memory errors and undefined behaviour still fail.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The server's package takes the web player built below (its install is tested).
"$top/scripts/build.sh" "$top/build" -DTOLVANE_WEB_PLAYER_DIR="$top/build-web/player"
# The web player, from this build; its tests below compare it with the native tool.
"$top/web/build.sh" "$top/build-web"
export TOLVANE_REQUIRE_WEB=1
"$top/scripts/check-format.sh"
ctest --test-dir "$top/build" --output-on-failure -j2

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
"$top/scripts/build.sh" "$top/build-sanitize" -DTOLVANE_SANITIZE=ON
ctest --test-dir "$top/build-sanitize" -L unit --output-on-failure -j2
# The server under load from clients that hang up, with leaks looked for in it alone.
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$top/build-sanitize" -R server_hangups --output-on-failure

echo "== tolvane-server under ThreadSanitizer =="
cmake -S "$top" -B "$top/build-tsan" -G Ninja -DTOLVANE_SANITIZE_THREAD=ON -DTOLVANE_LAUNCHER=OFF >/dev/null
ninja -C "$top/build-tsan" tolvane-server
TSAN_OPTIONS=${TSAN_OPTIONS:-second_deadlock_stack=1} ctest --test-dir "$top/build-tsan" -R server_hangups --output-on-failure
