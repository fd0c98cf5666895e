-- wrk script: GET /api/v1/table at offsets drawn at random over the whole table.
--   wrk ... -s bench/server_table_random.lua URL -- TOTAL [LIMIT] [PERIOD]
local threads = {}
local total, limit, period

function setup(thread)
    thread:set("index", #threads)
    table.insert(threads, thread)
end

function init(args)
    total = tonumber(args[1])
    limit = tonumber(args[2] or "20")
    period = args[3] or "all"
    math.randomseed(os.time() * 1000 + index)
end

function request()
    local offset = math.random(0, math.max(0, total - limit))
    return wrk.format("GET", "/api/v1/table?period=" .. period .. "&offset=" .. offset .. "&limit=" .. limit)
end

function done(summary, latency, requests)
    print(string.format("random offsets: %.0f requests/s, p50 %.1f ms, p99 %.1f ms, errors %d",
        summary.requests / (summary.duration / 1e6), latency:percentile(50) / 1000,
        latency:percentile(99) / 1000, summary.errors.status + summary.errors.timeout))
end
