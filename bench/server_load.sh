#!/usr/bin/env bash
# Throughput of tolvane-server, run by hand, all on 127.0.0.1:
#  1. verified submissions per second at 16 concurrent clients, each POST a distinct
#     whole game of human-like input (about 9,000 frames; none shares play with another,
#     so none is a branch; goal >= 100/s on 2 cores, p99 <= 1 s): on an empty database,
#     and with --prefilled DB the same games again on a copy of DB, a database filled by
#     build/bin/tolvane_fill_runs DB 100000 (100,000 runs with their index);
#  2. GET /api/v1/table with wrk (goal >= 5,000/s, p99 <= 50 ms), on the last database.
# Usage: bench/server_load.sh BUILD [SECONDS] [--prefilled DB]   (needs wrk, node, python3, curl)
set -euo pipefail
source "$(dirname "$0")/server_common.sh"
build=$1
seconds=${2:-20}
prefilled=
if [ "${3:-}" = --prefilled ]; then
    prefilled=${4:?--prefilled wants a database made by tolvane_fill_runs}
fi
# Enough games that none is sent twice at 150 a second.
count=$((seconds * 150))

echo "== making $count distinct games"
make_human_games "$build/bin/tolvane-replay" "$count"
sign_bodies "$work/bodies.jsonl"

post_load() {
    # wrk opens 64 connections from one address, the default limit per address.
    start_server "$build/bin/tolvane-server" --max-per-address 1000
    echo "== POST /api/v1/runs on $1: 16 connections, ${seconds} s, $(nproc) cores"
    local ticks
    ticks=$(server_cpu_ticks)
    wrk -t2 -c16 -d"${seconds}s" --timeout 10s -s "$here/server_post.lua" "http://127.0.0.1:$port" \
        -- "$work/bodies.jsonl" 2 | grep -E "statuses|answers|^p[0-9]|Socket errors"
    ticks=$(($(server_cpu_ticks) - ticks))
    local metrics created
    metrics=$(curl -s "http://127.0.0.1:$port/metrics")
    echo "$metrics" | grep -E "^tolvane_(verify_seconds|store_seconds|submissions)" | grep -v _bucket
    # The server's own CPU time per stored run: what the machine's other work (wrk
    # included) changes least, so builds of one run can be compared with each other.
    created=$(echo "$metrics" | awk -F'[ ]' '/^tolvane_submissions_total\{outcome="created"\}/ {print $2}')
    if [ "${created:-0}" -gt 0 ]; then
        echo "server CPU per stored run: $((ticks * 1000 / $(getconf CLK_TCK) / created)) ms"
    fi
    echo "server memory: $(server_memory)"
}

post_load "an empty database"
if [ -n "$prefilled" ]; then
    stop_server
    cp "$prefilled" "$work/filled.sqlite"
    db=$work/filled.sqlite
    post_load "a copy of $prefilled ($(du -m "$work/filled.sqlite" | cut -f1) MB)"
fi

echo "== GET /api/v1/table: 64 connections, 10 s"
wrk -t2 -c64 -d10s --latency "http://127.0.0.1:$port/api/v1/table?period=all&limit=20" |
    grep -E "Requests/sec|Latency|  50%|  99%|Non-2xx|Socket errors"
echo "== GET /api/v1/table?period=week&offset=20&limit=100"
wrk -t2 -c64 -d10s --latency "http://127.0.0.1:$port/api/v1/table?period=week&offset=20&limit=100" |
    grep -E "Requests/sec|  99%|Non-2xx"
echo "server memory: $(server_memory)"
