#!/usr/bin/env bash
# Runs a command against a PostgreSQL of its own: initdb and pg_ctl in a temporary
# folder, listening on 127.0.0.1 and a free port, as an unprivileged user (nobody when
# run as root, as CI does). The command gets TOLVANE_TEST_DATABASE and
# TOLVANE_TEST_POSTGRES: the URLs of two empty databases. The server is stopped and the
# folder removed however the command ends.
#   with_postgres.sh COMMAND [ARG ...]
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "with_postgres.sh: no PostgreSQL server installed (the postgresql package)" >&2
  exit 1
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-pg-XXXXXX")
as=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$dir"
  as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env --)
fi
chmod 700 "$dir"
pg() { (cd "$dir" && "${as[@]}" "$@"); }

cleanup() {
  pg "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
pg "$bindir/initdb" -D "$dir/data" -U tolvane -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" 2>&1 ||
  { cat "$dir/initdb.log" >&2; exit 1; }
# Speed over safety: the data lives as long as the test.
pg "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
  -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
  start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
for db in api store; do
  pg "$bindir/createdb" -h 127.0.0.1 -p "$port" -U tolvane "$db"
done

export TOLVANE_TEST_DATABASE="postgresql://tolvane@127.0.0.1:$port/api"
export TOLVANE_TEST_POSTGRES="postgresql://tolvane@127.0.0.1:$port/store"
export PATH="$bindir:$PATH" # psql for the tests that look inside
"$@"
