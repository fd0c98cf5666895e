#!/usr/bin/env bash
# Throughput of tolvane-server, run by hand, all on 127.0.0.1:
#  1. verified submissions per second at 16 concurrent clients, each POST a distinct
#     whole game of about 11,000 frames (goal >= 30/s on 2 cores, p99 <= 1 s);
#  2. GET /api/v1/table with wrk (goal >= 5,000/s, p99 <= 50 ms).
# Usage: bench/server_load.sh BUILD [SECONDS]   (needs wrk, node, python3, curl)
set -euo pipefail
source "$(dirname "$0")/server_common.sh"
build=$1
seconds=${2:-20}
# Enough games that none is sent twice at 120 a second.
count=$((seconds * 120))

echo "== making $count distinct games"
make_games "$build/bin/tolvane-replay" "$count"
sign_bodies "$work/bodies.jsonl"

# wrk opens 64 connections from one address, the default limit per address.
start_server "$build/bin/tolvane-server" --max-per-address 1000
echo "== POST /api/v1/runs: 16 connections, ${seconds} s, $(nproc) cores"
wrk -t2 -c16 -d"${seconds}s" --timeout 10s -s "$here/server_post.lua" "http://127.0.0.1:$port" \
    -- "$work/bodies.jsonl" 2 | grep -E "statuses|answers|^p[0-9]|Socket errors"
curl -s "http://127.0.0.1:$port/metrics" | grep -E "^tolvane_(verify_seconds|submissions)"
echo "server memory: $(server_memory)"

echo "== GET /api/v1/table: 64 connections, 10 s"
wrk -t2 -c64 -d10s --latency "http://127.0.0.1:$port/api/v1/table?period=all&limit=20" |
    grep -E "Requests/sec|Latency|  50%|  99%|Non-2xx|Socket errors"
echo "== GET /api/v1/table?period=week&offset=20&limit=100"
wrk -t2 -c64 -d10s --latency "http://127.0.0.1:$port/api/v1/table?period=week&offset=20&limit=100" |
    grep -E "Requests/sec|  99%|Non-2xx"
echo "server memory: $(server_memory)"
