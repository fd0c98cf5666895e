-- wrk script: POST /api/v1/runs with the bodies of a file, one line each, every body
-- sent once (each thread takes its share); counts the statuses.
local bodies, threads = {}, {}
local statuses, next_body, step

function setup(thread)
    thread:set("index", #threads)
    table.insert(threads, thread)
end

function init(args)
    for line in io.lines(args[1]) do table.insert(bodies, line) end
    statuses = {}
    next_body = index + 1
    step = tonumber(args[2])
end

function request()
    local body = bodies[next_body] or bodies[#bodies]
    next_body = next_body + step
    return wrk.format("POST", "/api/v1/runs", { ["Content-Type"] = "application/json" }, body)
end

function response(status)
    statuses[status] = (statuses[status] or 0) + 1
end

function done(summary, latency, requests)
    local total = {}
    for _, t in ipairs(threads) do
        for status, n in pairs(t:get("statuses")) do total[status] = (total[status] or 0) + n end
    end
    local line = "statuses:"
    for status, n in pairs(total) do line = line .. " " .. status .. "=" .. n end
    print(line)
    print(string.format("answers per second: %.1f", summary.requests / (summary.duration / 1e6)))
    for _, p in ipairs({ 50, 90, 99, 100 }) do
        print(string.format("p%d: %.1f ms", p, latency:percentile(p) / 1000))
    end
end
