// /api/v1/players/KEY: a player's name, best run in each period, and runs.
#include "server/app.h"
#include "server/identity.h"

namespace tolvane::server {

Response App::getPlayer(Request& req) {
    const std::string& key = req.captures.at(0);
    if (!isPlayerKey(key)) throw ApiError(400, "a player is 64 lowercase hex digits");
    const std::int64_t offset = queryNumber(req, "offset", 0, 0, 1000000000);
    const std::int64_t limit = queryNumber(req, "limit", 20, 1, 100);
    const std::int64_t t = now();
    std::vector<std::int64_t> starts;
    for (Period p : kPeriods) starts.push_back(periodStart(p, t));
    auto page = store_->player(key, starts, offset, limit);
    if (!page) throw ApiError(404, "no such player");
    Json best = Json::object();
    for (std::size_t i = 0; i < std::size(kPeriods); ++i)
        best[periodName(kPeriods[i])] = page->best[i] ? runJson(*page->best[i]) : Json(nullptr);
    Json runs = Json::array();
    for (const Run& r : page->runs) runs.push_back(runJson(r));
    return jsonResponse(200, Json{{"player", page->key},
                                  {"name", page->name},
                                  {"best", std::move(best)},
                                  {"runCount", page->runCount},
                                  {"offset", offset},
                                  {"limit", limit},
                                  {"runs", std::move(runs)}});
}

} // namespace tolvane::server
