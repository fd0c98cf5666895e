// /api/v1/table: each player's best run in a period, best first.
#include <charconv>

#include "server/app.h"

namespace tolvane::server {

std::int64_t queryNumber(const Request& req, const char* name, std::int64_t fallback, std::int64_t lo,
                         std::int64_t hi) {
    auto it = req.query.find(name);
    if (it == req.query.end()) return fallback;
    const std::string& s = it->second;
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) {
        throw ApiError(400, std::string(name) + " must be a whole number from " + std::to_string(lo) +
                                " to " + std::to_string(hi));
    }
    return v;
}

Response App::getTable(Request& req) {
    Period period = Period::All;
    if (auto it = req.query.find("period"); it != req.query.end()) {
        auto p = periodNamed(it->second);
        if (!p) throw ApiError(400, "period must be all, month, week or day");
        period = *p;
    }
    const std::int64_t offset = queryNumber(req, "offset", 0, 0, 1000000000);
    const std::int64_t limit = queryNumber(req, "limit", 20, 1, 100);

    const std::int64_t t = now();
    const std::string key = std::string(periodName(period)) + "/" + std::to_string(offset) + "/" +
                            std::to_string(limit) + "/" + std::to_string(periodStart(period, t));
    const std::uint64_t generation = generation_.load();
    {
        std::lock_guard lock(cacheMutex_);
        auto it = cache_.find(key);
        if (it != cache_.end() && it->second.generation == generation && t - it->second.madeAt < 1000)
            return {200, "application/json", it->second.body, {{"Cache-Control", "no-cache"}}};
    }
    const TablePage page = store_->table(periodStart(period, t), offset, limit);
    Json entries = Json::array();
    for (const Run& r : page.entries) entries.push_back(runJson(r));
    Response r = jsonResponse(200, Json{{"period", periodName(period)},
                                        {"total", page.total},
                                        {"offset", offset},
                                        {"limit", limit},
                                        {"entries", std::move(entries)}});
    r.headers.emplace_back("Cache-Control", "no-cache");
    std::lock_guard lock(cacheMutex_);
    if (cache_.size() >= 1000) cache_.clear(); // any offsets a client likes, but not without end
    cache_[key] = {r.body, t, generation};
    return r;
}

} // namespace tolvane::server
