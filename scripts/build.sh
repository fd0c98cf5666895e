#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or the folder given).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
build=${1:-$top/build}
shift || true
cmake -S "$top" -B "$build" -G Ninja "$@" >/dev/null
ninja -C "$build"
