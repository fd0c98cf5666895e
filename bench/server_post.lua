-- wrk script: POST /api/v1/runs with the bodies of a file, one line each, every body
-- sent once (each thread takes its share); counts the statuses.
local bodies, threads = {}, {}
local next_body, step
local codes = { 200, 201, 400, 409, 429, 500, 503 }

function setup(thread)
    thread:set("index", #threads)
    table.insert(threads, thread)
end

function init(args)
    for line in io.lines(args[1]) do table.insert(bodies, line) end
    next_body = index + 1
    step = tonumber(args[2])
end

function request()
    local body = bodies[next_body] or bodies[#bodies]
    next_body = next_body + step
    return wrk.format("POST", "/api/v1/runs", { ["Content-Type"] = "application/json" }, body)
end

-- Counts live in globals of plain numbers: only those cross from a thread to done().
function response(status)
    local name = "status" .. status
    _G[name] = (_G[name] or 0) + 1
end

function done(summary, latency, requests)
    local line = "statuses:"
    for _, code in ipairs(codes) do
        local n = 0
        for _, t in ipairs(threads) do n = n + (t:get("status" .. code) or 0) end
        if n > 0 then line = line .. " " .. code .. "=" .. n end
    end
    print(line)
    print(string.format("answers per second: %.1f", summary.requests / (summary.duration / 1e6)))
    for _, p in ipairs({ 50, 90, 99 }) do
        print(string.format("p%d: %.1f ms", p, latency:percentile(p) / 1000))
    end
    print(string.format("slowest: %.1f ms", latency.max / 1000))
end
