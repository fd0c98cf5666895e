// The table of routes, and what every request goes through before its handler: the
// per-address rate, the route's match, and the one place where refusals become
// {"error": "why"}.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "server/app.h"

namespace tolvane::server {

struct App::Route {
    const char* method;
    const char* pattern; // {x} matches one path segment
    void (*run)(App&, Request&, Respond);
};

namespace {

template <Response (App::*handler)(Request&)> void sync(App& app, Request& req, Respond respond) {
    respond((app.*handler)(req));
}
// What reads the database runs on the readers; the event threads only pass it on.
template <Response (App::*handler)(Request&)> void reader(App& app, Request& req, Respond respond) {
    app.onReader(req, std::move(respond), [](App& a, Request& r, Respond done) { done((a.*handler)(r)); });
}
void postRunRoute(App& app, Request& req, Respond respond) {
    app.onReader(req, std::move(respond),
                 [](App& a, Request& r, Respond done) { a.postRun(r, std::move(done)); });
}

// clang-format off
const App::Route kRoutes[] = {
    {"POST", "/api/v1/runs",              postRunRoute},
    {"GET",  "/api/v1/runs/{id}",         reader<&App::getRun>},
    {"GET",  "/api/v1/runs/{id}/replay",  reader<&App::getReplay>},
    {"GET",  "/api/v1/table",             reader<&App::getTable>},
    {"GET",  "/api/v1/players/{key}",     reader<&App::getPlayer>},
    {"GET",  "/healthz",                  sync<&App::getHealth>},
    {"GET",  "/metrics",                  sync<&App::getMetrics>},
    {"GET",  "/",                         sync<&App::getPage>},
    {"GET",  "/app.js",                   sync<&App::getPage>},
    {"GET",  "/style.css",                sync<&App::getPage>},
    {"GET",  "/icon.svg",                 sync<&App::getPage>},
    {"GET",  "/watch/{id}",               sync<&App::getPage>},
    {"GET",  "/watch.js",                 sync<&App::getPage>},
    {"GET",  "/watch.css",                sync<&App::getPage>},
    {"GET",  "/player/{file}",            sync<&App::getPlayerFile>},
    {"GET",  "/api/v1/runs/{id}/branches", sync<&App::getBranches>},
};
// clang-format on

bool matches(std::string_view pattern, std::string_view path, std::vector<std::string>* captures) {
    std::vector<std::string> found;
    while (!pattern.empty() || !path.empty()) {
        if (pattern.empty() || path.empty() || pattern[0] != '/' || path[0] != '/') return false;
        pattern.remove_prefix(1);
        path.remove_prefix(1);
        const std::size_t p = pattern.find('/'), q = path.find('/');
        const std::string_view want = pattern.substr(0, p), got = path.substr(0, q);
        if (want.starts_with('{')) {
            if (got.empty()) return false;
            found.emplace_back(got);
        } else if (want != got) {
            return false;
        }
        pattern = p == std::string_view::npos ? std::string_view() : pattern.substr(p);
        path = q == std::string_view::npos ? std::string_view() : path.substr(q);
    }
    if (captures) *captures = std::move(found);
    return true;
}

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The one place where refusals and faults become answers.
template <typename F> void guarded(const Request& req, const Respond& respond, F&& work) {
    try {
        work();
    } catch (const ApiError& e) {
        respond(errorResponse(e.status, e.what(), e.retryAfter));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvane-server: %s %s: %s\n", printable(req.method).c_str(),
                     printable(req.path).c_str(), printable(e.what()).c_str());
        respond(errorResponse(500, "the server failed to answer"));
    }
}

} // namespace

App::App(std::unique_ptr<Store> store, Settings settings, std::function<std::int64_t()> clock)
    : store_(std::move(store)), settings_(settings), clock_(std::move(clock)),
      perAddress_(settings.requestsPerSecond, settings.requestsPerSecond * 4),
      submitsPerAddress_(settings.submitsPerMinute / 60, settings.submitsPerMinute),
      submitsPerPlayer_(settings.playerSubmitsPerMinute / 60, settings.playerSubmitsPerMinute),
      verifier_(std::make_unique<WorkQueue>(settings.workers, settings.queue)), perGroup_(settings.queue / 4),
      readers_(std::make_unique<WorkQueue>(settings.readers, settings.readQueue)) {
    storer_ = std::make_unique<Batches<Storing>>(settings.queue, kStoreBatch,
                                                 [this](std::vector<Storing>& batch) { storeBatch(batch); });
    if (!clock_) {
        clock_ = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
    }
    probe(); // the first answer of /healthz is already known
    prober_ = std::thread([this] {
        std::unique_lock lock(probeMutex_);
        while (!probeWake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
            lock.unlock();
            probe();
            lock.lock();
        }
    });
}

App::~App() {
    drain();
    {
        std::lock_guard lock(probeMutex_);
        stopping_ = true;
    }
    probeWake_.notify_all();
    prober_.join();
}

// The readers first: what they still do may hand a replay to the workers, and the
// workers a run to the storer.
void App::drain() {
    readers_->stop();
    verifier_->stop();
    storer_->stop();
}

void App::probe() {
    probeStarted_ = steadyMs();
    probeOk_ = store_->healthy();
    probeEnded_ = steadyMs();
}

void App::onReader(Request& req, Respond respond, void (*work)(App&, Request&, Respond)) {
    auto job = [this, req, respond, work]() mutable {
        guarded(req, respond, [&] { work(*this, req, respond); });
    };
    if (!readers_->offer(std::move(job))) {
        metrics_.readQueueFull++;
        throw ApiError(503, "the server is too busy to answer now", 1);
    }
}

// How /healthz sees the database: the last probe's result, or a fault when the probe
// under way has waited too long.
std::optional<std::string> App::databaseProblem() const {
    const std::int64_t started = probeStarted_.load(), ended = probeEnded_.load();
    if (started > ended && steadyMs() - started > 3000)
        return "the database has not answered for " + std::to_string((steadyMs() - started) / 1000) + " s";
    if (!probeOk_.load()) return "the database cannot be reached";
    return std::nullopt;
}

const App::Route* App::find(const Request& req, std::vector<std::string>* captures, bool* otherMethod) const {
    *otherMethod = false;
    for (const Route& r : kRoutes) {
        if (!matches(r.pattern, req.path, captures)) continue;
        if (req.method == r.method) return &r;
        *otherMethod = true;
    }
    return nullptr;
}

std::string App::routeOf(const Request& req) const {
    bool other = false;
    const Route* r = find(req, nullptr, &other);
    return r ? r->pattern : "-";
}

void App::handle(Request& req, Respond respond) {
    guarded(req, respond, [&] {
        // The operators' own probes are not counted against an address.
        if (req.path != "/healthz" && req.path != "/metrics") {
            int retry = 0;
            if (!perAddress_.take(req.addressGroup, seconds(), &retry)) {
                {
                    std::lock_guard lock(metrics_.m);
                    ++metrics_.rateLimited["address"];
                }
                throw ApiError(429, "too many requests from this address", retry);
            }
        }
        bool otherMethod = false;
        const Route* route = find(req, &req.captures, &otherMethod);
        if (!route) {
            if (otherMethod) throw ApiError(405, "method " + req.method + " is not allowed here");
            throw ApiError(404, "nothing here");
        }
        route->run(*this, req, respond);
    });
}

void App::count(const RequestLog& line) {
    Request r;
    r.method = line.method;
    r.path = line.path;
    const std::string route = routeOf(r);
    std::lock_guard lock(metrics_.m);
    ++metrics_.requests[{route, line.status}];
    metrics_.requestSeconds += line.seconds;
    ++metrics_.requestCount;
}

void App::tableChanged() {
    ++generation_;
    std::lock_guard lock(cacheMutex_);
    cache_.clear();
}

std::optional<Period> periodNamed(const std::string& name) {
    for (Period p : kPeriods)
        if (name == periodName(p)) return p;
    return std::nullopt;
}

const char* periodName(Period p) {
    switch (p) {
    case Period::All: return "all";
    case Period::Month: return "month";
    case Period::Week: return "week";
    case Period::Day: return "day";
    }
    return "all";
}

std::int64_t periodStart(Period p, std::int64_t nowMs) {
    using namespace std::chrono;
    const sys_days today = floor<days>(sys_time<milliseconds>(milliseconds(nowMs)));
    sys_days start{};
    switch (p) {
    case Period::All: return 0;
    case Period::Day: start = today; break;
    case Period::Week: start = today - (weekday(today) - Monday); break;
    case Period::Month: {
        const year_month_day ymd(today);
        start = sys_days(ymd.year() / ymd.month() / 1);
        break;
    }
    }
    return duration_cast<milliseconds>(start.time_since_epoch()).count();
}

std::string rfc3339(std::int64_t ms) {
    const std::time_t secs = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(((ms % 1000) + 1000) % 1000));
    return buf;
}

Json runJson(const Run& r) {
    const Figures& f = r.figures;
    Json j;
    j["id"] = r.id;
    j["player"] = r.player;
    j["name"] = r.name;
    j["score"] = f.score;
    j["level"] = f.level;
    j["maxChain"] = f.maxChain;
    j["totalContacts"] = f.totalContacts;
    j["frames"] = f.frames;
    j["endFrame"] = f.endFrame;
    j["timeBonus"] = f.timeBonus;
    j["finalBonus"] = f.finalBonus;
    j["timeLeft"] = f.timeLeft;
    j["submittedAt"] = rfc3339(r.submittedAt);
    j["rank"] = r.rank ? Json(*r.rank) : Json(nullptr);
    // Only a branch has the key: the run it shares its play with, until which frame, and
    // the share of its pressed frames that is shared.
    if (r.branchOf)
        j["branchOf"] =
            Json{{"id", r.branchOf->id}, {"frame", r.branchOf->frame}, {"shared", r.branchOf->shared}};
    return j;
}

Response jsonResponse(int status, const Json& body) {
    // Names are shown as they are; invalid UTF-8 never reaches the store, but a dump
    // must not throw on it either.
    return {status, "application/json", body.dump(-1, ' ', false, Json::error_handler_t::replace), {}};
}

Response errorResponse(int status, const std::string& why, int retryAfter) {
    Response r = jsonResponse(status, Json{{"error", why}});
    if (retryAfter > 0) r.headers.emplace_back("Retry-After", std::to_string(retryAfter));
    return r;
}

} // namespace tolvane::server
