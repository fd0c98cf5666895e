#!/usr/bin/env bash
# tolvane-server against 500 connections that send their headers one byte a second,
# run by hand, all on loopback: how long an ordinary GET takes meanwhile (goal: under
# 1 s) and the server's memory (goal: under 100 MB). Twice: the slow clients from one
# other address (127.0.0.2, so the per-address limit turns most away), and with that
# limit raised so the server holds all 500.
# Usage: bench/server_slow_clients.sh BUILD [SECONDS]
set -euo pipefail
source "$(dirname "$0")/server_common.sh"
build=$1
seconds=${2:-30}

slow_clients() { # ADDRESS COUNT SECONDS: prints how many were connected at the end
    python3 - "$port" "$1" "$2" "$3" <<'PY'
import asyncio, sys
port, source, count, seconds = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
request = b"GET /api/v1/table HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + b"a" * 4000

async def client(state):
    try:
        reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(source, 0))
    except OSError:
        state["refused"] += 1
        return
    state["open"] += 1
    try:
        for i in range(int(seconds)):
            writer.write(request[i:i + 1])
            await writer.drain()
            await asyncio.sleep(1)
        state["held"] += 0 if reader.at_eof() else 1
    except OSError:
        state["cut"] += 1
    writer.close()

async def main():
    state = {"open": 0, "refused": 0, "cut": 0, "held": 0}
    await asyncio.gather(*(client(state) for _ in range(count)))
    print("slow clients: %(open)d connected, %(refused)d refused at once, %(cut)d cut off, %(held)d still open at the end" % state)

asyncio.run(main())
PY
}

ordinary_gets() { # SECONDS: the slowest of a GET every 0.2 s
    local worst=0 n=0 t
    local end=$((SECONDS + $1))
    while [ $SECONDS -lt $end ]; do
        t=$(curl -s --max-time 10 -o /dev/null -w '%{time_total}' "http://127.0.0.1:$port/api/v1/table")
        worst=$(python3 -c "print(max($worst, $t))")
        n=$((n + 1))
        sleep 0.2
    done
    echo "ordinary GETs: $n, slowest $(python3 -c "print(round($worst * 1000, 1))") ms"
}

for mode in "one address" "limit raised"; do
    if [ "$mode" = "one address" ]; then
        start_server "$build/bin/tolvane-server"
    else
        start_server "$build/bin/tolvane-server" --max-per-address 1000
    fi
    echo "== 500 slow clients from 127.0.0.2 ($mode), ${seconds} s"
    slow_clients 127.0.0.2 500 "$seconds" &
    slow=$!
    sleep 3
    ordinary_gets $((seconds - 5))
    echo "server memory: $(server_memory)  connections: $(curl -s "http://127.0.0.1:$port/metrics" | awk '/^tolvane_http_connections_open/ {print $2}')"
    wait $slow
    stop_server
done
