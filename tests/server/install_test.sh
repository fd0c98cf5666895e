#!/usr/bin/env bash
# The server's own install: its component into a temporary prefix (what its package
# holds), the program run from there, its manual page and its systemd unit checked by
# their validators.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cmake --install "$build" --component server --prefix "$dir/usr" >/dev/null
ls -R "$dir/usr" | grep -q '^tolvane-server$' || { echo "tolvane-server was not installed" >&2; exit 1; }
"$dir/usr/bin/tolvane-server" --version | grep -q '^tolvane-server [0-9]'
unit="$dir/usr/lib/systemd/system/tolvane-server.service"
grep -q '^DynamicUser=yes' "$unit"
grep -q '^StateDirectory=tolvane-server' "$unit"
warnings=$(MANWIDTH=80 man --warnings -l "$dir/usr/share/man/man1/tolvane-server.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings" >&2; exit 1; }
if command -v systemd-analyze >/dev/null; then
  # The unit as installed, its program where this prefix put it.
  sed "s|/usr/bin/tolvane-server|$dir/usr/bin/tolvane-server|" "$unit" >"$dir/tolvane-server.service"
  MANPATH="$dir/usr/share/man" systemd-analyze verify "$dir/tolvane-server.service"
fi
# Nothing of the server goes into the game's own install.
cmake --install "$build" --prefix "$dir/game" >/dev/null
! find "$dir/game" -name 'tolvane-server*' | grep -q .
echo "installed and checked"
