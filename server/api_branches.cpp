// /api/v1/runs/ID/branches: the runs that share their play with a run, best first.
#include "server/app.h"
#include "server/identity.h"

namespace tolvane::server {

Response App::getBranches(Request& req) {
    const std::string& id = req.captures.at(0);
    if (!isRunId(id)) throw ApiError(400, "a run's id is 64 lowercase hex digits");
    const std::int64_t offset = queryNumber(req, "offset", 0, 0, 1000000000);
    const std::int64_t limit = queryNumber(req, "limit", 20, 1, 100);
    const auto page = store_->branches(id, offset, limit);
    if (!page) throw ApiError(404, "no such run");
    Json entries = Json::array();
    for (const Run& r : page->entries) entries.push_back(runJson(r));
    return jsonResponse(200, Json{{"run", id},
                                  {"total", page->total},
                                  {"offset", offset},
                                  {"limit", limit},
                                  {"entries", std::move(entries)}});
}

} // namespace tolvane::server
