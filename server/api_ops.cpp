// /healthz and /metrics, for the operators.
#include <cstdio>

#include "server/app.h"

namespace tolvane::server {

// From the prober's last look (routes.cpp): never waits for the database.
Response App::getHealth(Request&) {
    if (auto problem = databaseProblem()) return errorResponse(503, *problem);
    return jsonResponse(200, Json{{"status", "ok"}, {"database", store_->kind()}});
}

// Prometheus text format, version 0.0.4. Only for the operators: loopback and the
// addresses of --metrics-from, by the connection's own address; a request a trusted proxy
// forwarded is its client's, whoever connected. Anyone else is told nothing is here.
Response App::getMetrics(Request& req) {
    const auto peer = IpAddress::parse(req.peer);
    if (req.forwarded || !peer || !(peer->loopback() || settings_.metricsFrom.contains(req.peer)))
        throw ApiError(404, "nothing here");
    std::string out;
    char line[256];
    auto add = [&](const char* fmt, auto... args) {
        std::snprintf(line, sizeof line, fmt, args...);
        out += line;
    };
    {
        std::lock_guard lock(metrics_.m);
        out += "# HELP tolvane_http_requests_total Requests answered, by route and status.\n"
               "# TYPE tolvane_http_requests_total counter\n";
        for (const auto& [key, n] : metrics_.requests)
            add("tolvane_http_requests_total{route=\"%s\",code=\"%d\"} %llu\n", key.first.c_str(), key.second,
                static_cast<unsigned long long>(n));
        out +=
            "# HELP tolvane_http_request_duration_seconds Time from a request's headers to its answer sent.\n"
            "# TYPE tolvane_http_request_duration_seconds summary\n";
        add("tolvane_http_request_duration_seconds_sum %.6f\n", metrics_.requestSeconds);
        add("tolvane_http_request_duration_seconds_count %llu\n",
            static_cast<unsigned long long>(metrics_.requestCount));
        out += "# HELP tolvane_submissions_total Runs sent that were played, by outcome.\n"
               "# TYPE tolvane_submissions_total counter\n";
        for (const auto& [what, n] : metrics_.submissions)
            add("tolvane_submissions_total{outcome=\"%s\"} %llu\n", what.c_str(),
                static_cast<unsigned long long>(n));
        out += "# HELP tolvane_rate_limited_total Requests refused with 429, by limit.\n"
               "# TYPE tolvane_rate_limited_total counter\n";
        for (const auto& [what, n] : metrics_.rateLimited)
            add("tolvane_rate_limited_total{limit=\"%s\"} %llu\n", what.c_str(),
                static_cast<unsigned long long>(n));
    }
    out += "# HELP tolvane_verify_seconds Time spent playing submitted replays.\n"
           "# TYPE tolvane_verify_seconds summary\n";
    add("tolvane_verify_seconds_sum %.6f\n", static_cast<double>(metrics_.verifyMicroseconds.load()) / 1e6);
    add("tolvane_verify_seconds_count %llu\n", static_cast<unsigned long long>(metrics_.verified.load()));
    add("tolvane_store_seconds_sum %.6f\n", static_cast<double>(metrics_.storeMicroseconds.load()) / 1e6);
    add("tolvane_store_seconds_count %llu\n", static_cast<unsigned long long>(metrics_.stored.load()));
    add("tolvane_store_batches_total %llu\n", static_cast<unsigned long long>(metrics_.storeBatches.load()));
    out += "# HELP tolvane_verify_queue_full_total Runs refused with 503 because the queue was full.\n"
           "# TYPE tolvane_verify_queue_full_total counter\n";
    add("tolvane_verify_queue_full_total %llu\n", static_cast<unsigned long long>(metrics_.queueFull.load()));
    out += "# HELP tolvane_verify_queue_waiting Replays waiting for a worker.\n"
           "# TYPE tolvane_verify_queue_waiting gauge\n";
    add("tolvane_verify_queue_waiting %zu\n", verifier_->waiting());
    out += "# HELP tolvane_verify_queue_capacity Replays that may wait for a worker.\n"
           "# TYPE tolvane_verify_queue_capacity gauge\n";
    add("tolvane_verify_queue_capacity %zu\n", settings_.queue);
    out += "# HELP tolvane_read_queue_waiting Requests waiting for a reader of the database.\n"
           "# TYPE tolvane_read_queue_waiting gauge\n";
    add("tolvane_read_queue_waiting %zu\n", readers_->waiting());
    out += "# HELP tolvane_read_queue_full_total Requests refused with 503 because every reader was busy.\n"
           "# TYPE tolvane_read_queue_full_total counter\n";
    add("tolvane_read_queue_full_total %llu\n",
        static_cast<unsigned long long>(metrics_.readQueueFull.load()));
    if (openConnections_) {
        out += "# HELP tolvane_http_connections_open Connections open now.\n"
               "# TYPE tolvane_http_connections_open gauge\n";
        add("tolvane_http_connections_open %d\n", openConnections_());
    }
    return {200, "text/plain; version=0.0.4; charset=utf-8", std::move(out), {}};
}

} // namespace tolvane::server
