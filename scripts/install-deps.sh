#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: only packages that are missing are asked for.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config clang clang-format
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libfontconfig-dev libx11-dev libpng-dev
  libinih-dev
  qt6-base-dev libcairo2-dev
  libbenchmark-dev googletest libgtest-dev libgmock-dev
  # fuzzing (the libFuzzer runtime for clang)
  libclang-rt-14-dev
  # what the game needs at run time
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-dejavu-core
  # build-time lettering of the generated pictures (DejaVu Serif Bold Italic)
  fonts-dejavu-extra
  timgm6mb-soundfont
  # window, sound and picture tests; a window manager for them, and a Wayland compositor
  # (nested in the Xvfb) with Qt's Wayland platform for the menu
  xvfb xfonts-base xdotool x11-utils imagemagick sox zenity fluidsynth
  openbox weston qt6-wayland
  # the web player: WebAssembly with emscripten (offline, no ports), its songs rendered
  # with FluidSynth and encoded as Ogg Opus
  emscripten opus-tools
  # benchmarks run by hand (bench/headless.sh)
  hyperfine valgrind
  # the independent model of the simulation (tools/model) and its CTest check
  python3
  # the install test: the validators, a window manager for the title bars, a faster clock
  # for a whole live game, and what cpack -G DEB needs (dpkg-shlibdeps)
  desktop-file-utils appstream shared-mime-info man-db openbox faketime dpkg-dev file
  # tolvane-server: HTTP, the two databases, JSON, signatures; its tests start a real
  # PostgreSQL, talk to the API from Node and look at the page in Chromium; wrk for the
  # load scripts run by hand (bench/server_*.sh)
  libmicrohttpd-dev libgnutls28-dev libsqlite3-dev libpqxx-dev nlohmann-json3-dev libsodium-dev
  postgresql nodejs chromium wrk
  # one rule for players' names (normalisation, confusable skeletons), in the server and
  # the menu
  libicu-dev
  # the deployment behind a reverse proxy (nginx in front of two servers), and the
  # certificates of the TLS tests
  nginx-light gnutls-bin curl
)
# npm fetches playwright-core for the page test. A Node.js from elsewhere brings its own
# npm, which Debian's package would conflict with.
if ! command -v npm >/dev/null 2>&1; then packages+=(npm); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
