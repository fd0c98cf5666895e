// The rankings in memory: built with one ordered read of the ranked runs, patched in
// place by this process's own runs, checked against the database's counts at most once
// a second, given the runs added since (by any server) when that is all that changed,
// and built again when anything else did.
#include "server/ranking.h"

#include <algorithm>

namespace tolvane::server {

const char* const kRankedRuns = "hidden = 0 AND branch_of IS NULL";

namespace {

constexpr auto kFresh = std::chrono::seconds(1);      // how old a checked ranking may be
constexpr auto kForgotten = std::chrono::seconds(60); // a period nobody asked for this long is dropped

template <typename A, typename B> bool better(const A& a, const B& b) {
    return a.score > b.score || (a.score == b.score && a.seq < b.seq);
}

// The position of `key` in a list ordered best first: how many entries are better.
template <typename List, typename K> std::size_t positionOf(const List& order, const K& key) {
    return static_cast<std::size_t>(
        std::lower_bound(order.begin(), order.end(), key,
                         [](const auto& entry, const K& k) { return better(entry, k); }) -
        order.begin());
}

} // namespace

Ranking::List* Ranking::find(std::int64_t since) {
    for (List& l : lists_)
        if (l.since == since) return &l;
    return nullptr;
}

std::uint32_t Ranking::idOf(const std::string& player) {
    return ids_.try_emplace(player, static_cast<std::uint32_t>(ids_.size())).first->second;
}

void Ranking::insert(const Row& row) {
    const std::uint32_t id = idOf(row.player);
    const Entry e{row.score, row.seq, id};
    for (List& l : lists_) {
        if (row.submittedAt < l.since) continue;
        if (id >= l.bestByPlayer.size()) l.bestByPlayer.resize(id + 1);
        Key& current = l.bestByPlayer[id];
        if (current.seq != 0) {
            if (!better(e, current)) continue; // the same run again, or not the player's best
            const auto at = l.order.begin() + static_cast<std::ptrdiff_t>(positionOf(l.order, current));
            if (at != l.order.end() && at->seq == current.seq) l.order.erase(at);
        }
        l.order.insert(l.order.begin() + static_cast<std::ptrdiff_t>(positionOf(l.order, e)), e);
        current = {e.score, e.seq};
    }
}

void Ranking::prepare(SqlPool& pool, const std::vector<std::int64_t>& sinces) {
    const Clock::time_point now = Clock::now();
    bool missing = false;
    {
        std::lock_guard lock(m_);
        for (std::int64_t s : sinces) {
            if (List* l = find(s))
                l->used = now;
            else
                missing = true;
        }
        if (!missing && valid_ && now - checked_ < kFresh) return;
    }
    std::unique_lock building(build_, std::defer_lock);
    if (!missing && valid_) {
        // Another thread is checking: the rankings it checks are at most a moment older.
        if (!building.try_lock()) return;
    } else {
        building.lock();
    }

    std::vector<std::int64_t> wanted;
    std::vector<Clock::time_point> usedAt;
    Fingerprint before;
    bool reuse = false;
    const Clock::time_point checkStarted = Clock::now();
    {
        std::lock_guard lock(m_);
        missing = false;
        for (std::int64_t s : sinces) missing = missing || !find(s);
        if (!missing && valid_ && checkStarted - checked_ < kFresh) return; // done meanwhile
        for (const List& l : lists_) {
            if (checkStarted - l.used < kForgotten) {
                wanted.push_back(l.since);
                usedAt.push_back(l.used);
            }
        }
        for (std::int64_t s : sinces) {
            if (std::find(wanted.begin(), wanted.end(), s) == wanted.end()) {
                wanted.push_back(s);
                usedAt.push_back(now);
            }
        }
        before = fingerprint_;
        reuse = valid_ && !missing;
        building_ = true;
        storedWhileBuilding_.clear();
    }

    Fingerprint found;
    std::vector<Row> rows, newer;
    bool unchanged = false;
    try {
        pool.read([&](SqlConnection& c) {
            // The counts first: a run stored between the two reads is then in the rows but
            // not in the counts, and the next check builds again (never the other way round).
            // One statement, so one snapshot, and every count through an index of its own
            // (the order's for the runs shown, the branches' for the branches): this runs
            // every second, and SQLite reads the table's pages afresh after each write.
            const SqlRows counts =
                c.query("SELECT (SELECT COUNT(*) FROM runs), (SELECT COUNT(*) FROM runs WHERE hidden = 0), "
                        "(SELECT COUNT(*) FROM runs WHERE branch_of IS NOT NULL), "
                        "(SELECT COALESCE(MAX(seq), 0) FROM runs)");
            found = {counts.at(0).integer(0), counts.at(0).integer(1), counts.at(0).integer(2),
                     counts.at(0).integer(3)};
            if (reuse && found == before) {
                unchanged = true;
                return;
            }
            // Runs only added since the last check, here or by another server, the usual
            // change: those runs are put in, and the rest is kept.
            if (reuse && found.newest > before.newest) {
                const SqlRows got = c.query("SELECT player, score, seq, submitted_at, hidden, "
                                            "CASE WHEN branch_of IS NULL THEN 0 ELSE 1 END FROM runs "
                                            "WHERE seq > $1 AND seq <= $2",
                                            {before.newest, found.newest});
                Fingerprint added = before;
                for (const SqlRow& r : got) {
                    const bool shown = r.integer(4) == 0, branch = r.integer(5) != 0;
                    ++added.all;
                    added.shown += shown;
                    added.branches += branch;
                    added.newest = std::max(added.newest, r.integer(2));
                    // Ranked: shown and not a branch (kRankedRuns).
                    if (shown && !branch)
                        newer.push_back({r.text(0), r.integer(1), r.integer(2), r.integer(3)});
                }
                if (added == found) {
                    unchanged = true;
                    return;
                }
                newer.clear();
            }
            const std::int64_t from = *std::min_element(wanted.begin(), wanted.end());
            const SqlRows got =
                c.query(std::string("SELECT player, score, seq, submitted_at FROM runs WHERE ") +
                            kRankedRuns + " AND submitted_at >= $1 ORDER BY score DESC, seq",
                        {from});
            rows.reserve(got.size());
            for (const SqlRow& r : got) rows.push_back({r.text(0), r.integer(1), r.integer(2), r.integer(3)});
        });
    } catch (...) {
        std::lock_guard lock(m_);
        building_ = false;
        storedWhileBuilding_.clear();
        throw;
    }

    std::unordered_map<std::string, std::uint32_t> ids;
    std::vector<List> lists(wanted.size());
    if (!unchanged) {
        for (std::size_t i = 0; i < wanted.size(); ++i) lists[i].since = wanted[i], lists[i].used = usedAt[i];
        for (const Row& row : rows) {
            const std::uint32_t id =
                ids.try_emplace(row.player, static_cast<std::uint32_t>(ids.size())).first->second;
            for (List& l : lists) {
                if (row.submittedAt < l.since) continue;
                if (id >= l.bestByPlayer.size())
                    l.bestByPlayer.resize(std::max<std::size_t>(id + 1, ids.size()));
                Key& best = l.bestByPlayer[id];
                if (best.seq != 0) continue; // rows come best first: the player's first is the best
                best = {row.score, row.seq};
                l.order.push_back({row.score, row.seq, id});
            }
        }
    }

    std::lock_guard lock(m_);
    building_ = false;
    checked_ = checkStarted;
    if (unchanged) {
        // Those stored here are in already; putting them in again changes nothing.
        for (const Row& row : newer) insert(row);
        fingerprint_ = found;
        storedWhileBuilding_.clear();
        return;
    }
    ids_ = std::move(ids);
    lists_ = std::move(lists);
    fingerprint_ = found;
    valid_ = true;
    // Runs stored here while the rows were read may be missing from them; they are
    // committed, so putting them in again is right either way.
    for (const Row& row : storedWhileBuilding_) insert(row);
    storedWhileBuilding_.clear();
}

std::int64_t Ranking::total(std::int64_t since) {
    std::lock_guard lock(m_);
    const List* l = find(since);
    return l ? static_cast<std::int64_t>(l->order.size()) : 0;
}

std::vector<Ranking::Place> Ranking::page(std::int64_t since, std::int64_t offset, std::int64_t limit) {
    std::lock_guard lock(m_);
    std::vector<Place> out;
    const List* l = find(since);
    if (!l || offset < 0 || limit <= 0) return out;
    const std::size_t from = static_cast<std::size_t>(offset);
    const std::size_t to = std::min(l->order.size(), from + static_cast<std::size_t>(limit));
    for (std::size_t i = from; i < to; ++i)
        out.push_back({l->order[i].seq, static_cast<std::int64_t>(i) + 1});
    return out;
}

std::int64_t Ranking::rank(std::int64_t since, const std::string& player, Key run) {
    std::lock_guard lock(m_);
    const List* l = find(since);
    if (!l) return 1;
    std::int64_t ahead = static_cast<std::int64_t>(positionOf(l->order, run));
    // The player's own best is among those ahead when it is better: it does not count.
    if (auto it = ids_.find(player); it != ids_.end() && it->second < l->bestByPlayer.size()) {
        const Key& own = l->bestByPlayer[it->second];
        if (own.seq != 0 && better(own, run)) --ahead;
    }
    return ahead + 1;
}

std::optional<Ranking::Place> Ranking::best(std::int64_t since, const std::string& player) {
    std::lock_guard lock(m_);
    const List* l = find(since);
    auto it = ids_.find(player);
    if (!l || it == ids_.end() || it->second >= l->bestByPlayer.size()) return std::nullopt;
    const Key& own = l->bestByPlayer[it->second];
    if (own.seq == 0) return std::nullopt;
    return Place{own.seq, static_cast<std::int64_t>(positionOf(l->order, own)) + 1};
}

void Ranking::stored(SqlConnection& c, std::int64_t seq) {
    // By the key alone: with the condition in the WHERE clause, SQLite may walk the
    // order's index over every ranked run instead.
    const SqlRows rows = c.query(std::string("SELECT player, score, seq, submitted_at, CASE WHEN ") +
                                     kRankedRuns + " THEN 1 ELSE 0 END FROM runs WHERE seq = $1",
                                 {seq});
    if (rows.empty() || rows[0].integer(4) == 0) return;
    const Row row{rows[0].text(0), rows[0].integer(1), rows[0].integer(2), rows[0].integer(3)};
    std::lock_guard lock(m_);
    insert(row);
    if (building_) storedWhileBuilding_.push_back(row);
}

void Ranking::invalidate() {
    std::lock_guard lock(m_);
    valid_ = false;
}

} // namespace tolvane::server
