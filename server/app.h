// The server's parts put together: the store, the limits, the queue of replays to
// verify, the counters, and the table of routes (routes.cpp) with one function per
// resource and method (api_*.cpp, pages.cpp).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "server/batches.h"
#include "server/http.h"
#include "server/limits.h"
#include "server/store.h"

namespace tolvane::server {

using Json = nlohmann::ordered_json;

// Verified runs stored in one transaction, at most.
constexpr std::size_t kStoreBatch = 32;

// Everything an operator may set, once, at start-up.
struct Settings {
    HttpLimits http;
    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    std::size_t queue = 64;             // replays waiting for a worker; more get 503
    unsigned readers = 4;               // threads that read the database for the API
    std::size_t readQueue = 256;        // requests waiting for a reader; more get 503
    double requestsPerSecond = 50;      // per address, every request; bursts of 4 s worth
    double submitsPerMinute = 60;       // per address, runs sent; bursts of a minute's worth
    double playerSubmitsPerMinute = 20; // per player key, runs sent; bursts of a minute's worth
    // The web player's files (--player), by name; none: /watch pages say it is missing.
    std::shared_ptr<const std::map<std::string, std::string>> player;
    // Who may read /metrics besides loopback (--metrics-from), by the connection's address.
    AddressList metricsFrom;
};

// A refusal: its status, the reason told to the client, and when to come back.
struct ApiError : std::runtime_error {
    int status;
    int retryAfter;
    ApiError(int status, const std::string& why, int retryAfter = 0)
        : std::runtime_error(why), status(status), retryAfter(retryAfter) {}
};

// The periods of the table: every run ever, or those since the start of this calendar
// month, ISO week (Monday) or day, in UTC.
enum class Period { All, Month, Week, Day };
std::optional<Period> periodNamed(const std::string& name);
const char* periodName(Period p);
std::int64_t periodStart(Period p, std::int64_t nowMs);
constexpr Period kPeriods[] = {Period::All, Period::Month, Period::Week, Period::Day};

// RFC 3339 in UTC with milliseconds: 2026-01-31T23:59:59.123Z.
std::string rfc3339(std::int64_t ms);

// The counters behind /metrics.
struct Metrics {
    std::mutex m;
    std::map<std::pair<std::string, int>, std::uint64_t> requests; // (route, status)
    std::map<std::string, std::uint64_t> submissions;              // by outcome
    std::map<std::string, std::uint64_t> rateLimited;              // by limit
    double requestSeconds = 0;
    std::uint64_t requestCount = 0;
    std::atomic<std::uint64_t> verified{0};
    std::atomic<std::uint64_t> verifyMicroseconds{0};
    std::atomic<std::uint64_t> stored{0}, storeBatches{0};
    std::atomic<std::uint64_t> storeMicroseconds{0};
    std::atomic<std::uint64_t> queueFull{0};
    std::atomic<std::uint64_t> readQueueFull{0};
};

class App {
  public:
    App(std::unique_ptr<Store> store, Settings settings, std::function<std::int64_t()> clock = {});
    ~App();

    // The HTTP layer's entry: route, refuse over-eager clients, answer.
    void handle(Request& req, Respond respond);
    // For the request log: the route a request took ("-" for none).
    std::string routeOf(const Request& req) const;
    void count(const RequestLog& line);

    Store& store() { return *store_; }
    const Settings& settings() const { return settings_; }
    std::int64_t now() const { return clock_(); }
    void setOpenConnections(std::function<int()> f) { openConnections_ = std::move(f); }

    // The handlers (one per resource and method).
    void postRun(Request& req, Respond respond);
    Response getRun(Request& req);
    Response getReplay(Request& req);
    Response getTable(Request& req);
    Response getPlayer(Request& req);
    Response getHealth(Request& req);
    Response getMetrics(Request& req);
    Response getPage(Request& req);
    Response getPlayerFile(Request& req);
    Response getBranches(Request& req);

    // Runs `work` on a reader thread, off the event threads: a refusal it throws is
    // answered as handle() answers it; a full queue of readers answers 503.
    void onReader(Request& req, Respond respond, void (*work)(App&, Request&, Respond));

    // Finishes the requests and replays already taken, refusing new ones.
    void drain();

    struct Route;

  private:
    const Route* find(const Request& req, std::vector<std::string>* captures, bool* otherMethod) const;
    void tableChanged();
    // A verified run on its way to the database, and who waits for the answer.
    struct Storing {
        ReadyRun run;
        Respond respond;
    };
    void storeBatch(std::vector<Storing>& batch);
    void answerStored(const Submitted& s, const NewRun& run, const Respond& respond);

    std::unique_ptr<Store> store_;
    Settings settings_;
    std::function<std::int64_t()> clock_;
    std::function<int()> openConnections_;
    RateLimiter perAddress_, submitsPerAddress_, submitsPerPlayer_;
    std::unique_ptr<WorkQueue> verifier_;
    // One address group holds at most a quarter of the verification queue.
    GroupBudget perGroup_;
    std::unique_ptr<WorkQueue> readers_;
    Metrics metrics_;
    // The verified runs, stored a batch to a transaction on a thread of their own while
    // the workers play the next replays. Made after everything its work uses.
    std::unique_ptr<Batches<Storing>> storer_;
    // The database's health, probed once a second on a thread of its own, so that
    // /healthz answers at once however busy the database and the readers are.
    void probe();
    std::optional<std::string> databaseProblem() const;
    std::thread prober_;
    std::mutex probeMutex_;
    std::condition_variable probeWake_;
    bool stopping_ = false;
    std::atomic<std::int64_t> probeStarted_{0}, probeEnded_{0}; // steady clock, ms
    std::atomic<bool> probeOk_{false};
    // Tables already answered, kept until a run is stored or hidden here, and at most a
    // second (another server may have stored one).
    struct Cached {
        std::string body;
        std::int64_t madeAt;
        std::uint64_t generation;
    };
    std::mutex cacheMutex_;
    std::map<std::string, Cached> cache_;
    std::atomic<std::uint64_t> generation_{0};
};

// The query parameter `name` as a whole number in lo..hi, `fallback` when it is absent;
// ApiError 400 otherwise.
std::int64_t queryNumber(const Request& req, const char* name, std::int64_t fallback, std::int64_t lo,
                         std::int64_t hi);

// A run as the API shows it.
Json runJson(const Run& r);
Response jsonResponse(int status, const Json& body);
Response errorResponse(int status, const std::string& why, int retryAfter = 0);

} // namespace tolvane::server
