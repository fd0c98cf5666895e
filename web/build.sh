#!/usr/bin/env bash
# Builds the web player: the game library as WebAssembly with Debian's emscripten,
# offline, into build-web/ (or the folder given), from the native build in build/ (or
# $TOLVANE_NATIVE_BUILD), whose own code draws the web build's pictures and lettering.
#   usage: web/build.sh [BUILD-WEB-DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
native=${TOLVANE_NATIVE_BUILD:-$top/build}
out=${1:-$top/build-web}
# Debian's emscripten runs its JavaScript tools with Debian's Node modules (acorn).
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

if ! command -v emcmake >/dev/null 2>&1; then
  echo "web/build.sh: emscripten is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
ninja -C "$native" tolvane-webassets tolvane-replay
mkdir -p "$out/generated"
"$native/web/tolvane-webassets" "$out/generated/web_assets.cpp.new"
# Only a changed file makes the module build again.
if ! cmp -s "$out/generated/web_assets.cpp.new" "$out/generated/web_assets.cpp"; then
  mv "$out/generated/web_assets.cpp.new" "$out/generated/web_assets.cpp"
else
  rm "$out/generated/web_assets.cpp.new"
fi
emcmake cmake -S "$top/web" -B "$out" -G Ninja -DTOLVANE_WEB_ASSETS="$out/generated/web_assets.cpp" >/dev/null
ninja -C "$out"
