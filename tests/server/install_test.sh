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
# With the web player in the package, the installed server serves it unasked.
player="$dir/usr/share/tolvane-server/player"
if [ -d "$player" ]; then
  "$dir/usr/bin/tolvane-server" --listen 127.0.0.1:0 --db "$dir/runs.sqlite" 2>"$dir/server.log" &
  server=$!
  for _ in $(seq 100); do grep -q 'listening on' "$dir/server.log" && break; sleep 0.1; done
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$dir/server.log")
  status=
  if [ -n "$port" ]; then
    exec 3<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET /player/tolvane-web.wasm HTTP/1.0\r\n\r\n' >&3
    status=$(head -c 12 <&3)
    exec 3<&-
  fi
  kill "$server"
  wait "$server" || true
  grep -q "the web player from $player\$" "$dir/server.log" || { cat "$dir/server.log" >&2; exit 1; }
  case "$status" in
  "HTTP/1."?" 200") ;;
  *) echo "the installed player's module: '$status'" >&2; exit 1 ;;
  esac
elif [ -n "${TOLVANE_REQUIRE_WEB:-}" ]; then
  echo "the web player was not installed with the server (TOLVANE_WEB_PLAYER_DIR)" >&2
  exit 1
fi
# Nothing of the server goes into the game's own install.
cmake --install "$build" --prefix "$dir/game" >/dev/null
! find "$dir/game" -name 'tolvane-server*' | grep -q .
echo "installed and checked"
