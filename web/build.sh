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

# The player's folder, as tolvane-server serves it (--player): the module, the game's
# own sound effects, and its songs rendered with FluidSynth and the soundfont the game
# plays them with, as Ogg Opus. Songs are made again only when their MIDI file changed.
player=$out/player
mkdir -p "$player"
cp -p "$out/tolvane-web.js" "$out/tolvane-web.wasm" "$player/"
for id in 101 102 103 104 105 106; do
  cp -p "$native/resources/generated/wave$id.wav" "$player/"
done
soundfont=/usr/share/sounds/sf2/default-GM.sf2
for song in stage1 stage2 boss lastboss CLEAR; do
  mid=$native/bin/$song.mid
  if [ ! "$player/$song.opus" -nt "$mid" ]; then
    fluidsynth -q -n -i -T wav -r 48000 -F "$out/$song.wav" "$soundfont" "$mid" >/dev/null 2>&1
    opusenc --quiet --bitrate 24 "$out/$song.wav" "$player/$song.opus"
    rm -f "$out/$song.wav"
  fi
done
