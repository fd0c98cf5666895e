#!/usr/bin/env bash
# GET /api/v1/table against a table of 100,000 runs (bench/fill_runs.py, 20,000 players),
# run by hand, all on 127.0.0.1: the first page, then offsets drawn at random over the
# whole table (wrk with server_table_random.lua), each with /healthz asked every 20 ms
# beside it (server_healthz_probe.py). Several servers are measured one after the
# other on the same runs, each on a database of its own schema: before and after a
# change in one run.
# Usage: bench/server_table.sh SERVER [SERVER ...] [-- SECONDS RUNS]   (needs wrk, python3, curl)
set -euo pipefail
source "$(dirname "$0")/server_common.sh"
servers=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do servers+=("$1"); shift; done
[ "${1:-}" = -- ] && shift
seconds=${1:-10}
runs=${2:-100000}
[ ${#servers[@]} -gt 0 ] || { echo "usage: bench/server_table.sh SERVER [SERVER ...] [-- SECONDS RUNS]" >&2; exit 2; }

for bin in "${servers[@]}"; do
    echo "== $bin"
    db=$work/table-$RANDOM.sqlite
    start_server "$bin"
    stop_server
    python3 "$here/fill_runs.py" "$db" --runs "$runs" --players 20000
    start_server "$bin" --max-per-address 1000
    total=$(curl -s "http://127.0.0.1:$port/api/v1/table?limit=1" | python3 -c 'import json, sys; print(json.load(sys.stdin)["total"])')
    echo "players in the table: $total; server memory: $(server_memory)"
    echo "-- offset 0, limit 20: 32 connections, ${seconds} s"
    python3 "$here/server_healthz_probe.py" "$port" "$seconds" &
    probe=$!
    wrk -t2 -c32 -d"${seconds}s" --timeout 10s --latency "http://127.0.0.1:$port/api/v1/table?period=all&limit=20" |
        grep -E "Requests/sec|  50%|  99%|Non-2xx|Socket errors"
    wait $probe
    echo "-- random offsets, limit 20: 32 connections, ${seconds} s"
    python3 "$here/server_healthz_probe.py" "$port" "$seconds" &
    probe=$!
    wrk -t2 -c32 -d"${seconds}s" --timeout 10s -s "$here/server_table_random.lua" "http://127.0.0.1:$port" \
        -- "$total" 20 all | grep -E "random offsets|Non-2xx|Socket errors"
    wait $probe
    echo "server memory: $(server_memory)"
    stop_server
    unset db
done
