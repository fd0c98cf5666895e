// Each period's ranking kept in memory: the players' best runs in order, so that a page
// of the table at any offset and the rank of any run cost a binary search, not a pass
// over every run. Built from the database with one ordered read, kept up to date by the
// runs this process stores, and checked against the database at most a second after it
// was last checked, since another server may share a PostgreSQL.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "server/sql.h"

namespace tolvane::server {

// Which runs are ranked: the condition every ranking query puts on the table runs.
extern const char* const kRankedRuns;

class Ranking {
  public:
    // A run as the ranking sees it: better is a higher score, or the same score sent
    // earlier (a lower seq).
    struct Key {
        std::int64_t score = 0, seq = 0;
    };
    struct Place {
        std::int64_t seq = 0;  // the run's
        std::int64_t rank = 0; // its place, from 1
    };

    // Makes sure the rankings of the runs since each of `sinces` are there and fresh.
    // Call before the questions below, with the same `sinces`.
    void prepare(SqlPool& pool, const std::vector<std::int64_t>& sinces);

    // The players since `since`, and those from `offset` on (at most `limit`), best first.
    std::int64_t total(std::int64_t since);
    std::vector<Place> page(std::int64_t since, std::int64_t offset, std::int64_t limit);
    // One more than the number of other players with a run better than `run` since `since`.
    std::int64_t rank(std::int64_t since, const std::string& player, Key run);
    // The player's best run since `since` and its rank; none without a run in the period.
    std::optional<Place> best(std::int64_t since, const std::string& player);

    // The run with this seq was stored here: it takes its place at once (if it is ranked).
    void stored(SqlConnection& c, std::int64_t seq);
    // Something else changed (a run hidden): built again at the next question.
    void invalidate();

  private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        std::int64_t score, seq;
        std::uint32_t player;
    };
    struct List {
        std::int64_t since = 0;
        std::vector<Entry> order;      // best first
        std::vector<Key> bestByPlayer; // by player id; seq 0: no run in the period
        Clock::time_point used;
    };
    struct Row {
        std::string player;
        std::int64_t score, seq, submittedAt;
    };
    // The counts that tell whether the table changed: every run, the runs shown (not
    // hidden), the branches, the newest seq. A run stored, hidden, shown again or found
    // a branch anywhere changes one of them.
    struct Fingerprint {
        std::int64_t all = -1, shown = -1, branches = -1, newest = -1;
        bool operator==(const Fingerprint&) const = default;
    };

    List* find(std::int64_t since);
    std::uint32_t idOf(const std::string& player);
    void insert(const Row& row);

    std::mutex build_; // one build at a time
    std::mutex m_;     // everything below
    std::unordered_map<std::string, std::uint32_t> ids_;
    std::vector<List> lists_;
    Fingerprint fingerprint_;
    bool valid_ = false;
    Clock::time_point checked_;
    bool building_ = false;
    std::vector<Row> storedWhileBuilding_;
};

} // namespace tolvane::server
