#!/usr/bin/env python3
# GET /healthz every 20 ms on one kept-alive connection for SECONDS; prints p50, p99 and
# the slowest. For the load scripts: the operators' probe measured beside a load.
#   bench/server_healthz_probe.py PORT SECONDS
import http.client, sys, time
port, seconds = int(sys.argv[1]), float(sys.argv[2])
c = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
times, failed = [], 0
end = time.monotonic() + seconds
while time.monotonic() < end:
    t = time.monotonic()
    try:
        c.request("GET", "/healthz")
        r = c.getresponse()
        r.read()
        if r.status != 200:
            failed += 1
    except OSError:
        failed += 1
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    times.append((time.monotonic() - t) * 1000)
    time.sleep(max(0, 0.02 - (time.monotonic() - t)))
times.sort()
pick = lambda q: times[min(len(times) - 1, int(q * len(times)))]
print("/healthz beside it: %d asked, p50 %.1f ms, p99 %.1f ms, slowest %.1f ms, %d not 200"
      % (len(times), pick(0.5), pick(0.99), times[-1], failed))
