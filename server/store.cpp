// The runs and the players in SQL that SQLite and PostgreSQL both accept.
#include "server/store.h"

#include <limits>
#include <map>

#include "server/store_branches.h"

namespace tolvane::server {

namespace {

constexpr const char* kRunColumns =
    "r.id, r.player, p.name, r.frames, r.end_frame, r.score, r.level, r.max_chain, "
    "r.total_contacts, r.time_bonus, r.final_bonus, r.time_left, "
    "r.submitted_at, r.seq, r.hidden, r.branch_of, r.branch_frame, r.branch_shared";
constexpr std::size_t kRunColumnCount = 18;

std::string runsJoined() {
    return std::string("SELECT ") + kRunColumns + " FROM runs r JOIN players p ON p.key = r.player ";
}

Run runOf(const SqlRow& row) {
    Run r;
    r.id = row.text(0);
    r.player = row.text(1);
    r.name = row.text(2);
    r.figures = {row.integer(3), row.integer(4), row.integer(5),  row.integer(6), row.integer(7),
                 row.integer(8), row.integer(9), row.integer(10), row.integer(11)};
    r.submittedAt = row.integer(12);
    r.seq = row.integer(13);
    r.hidden = row.integer(14) != 0;
    if (!row.isNull(15)) r.branchOf = BranchOf{row.text(15), row.integer(16), std::stod(row.text(17))};
    return r;
}

// The runs with these seqs that are not hidden, by seq. The list is padded to a power of
// two, so that a connection prepares a few statements, not one per length.
std::map<std::int64_t, Run> runsBySeq(SqlConnection& c, const std::vector<std::int64_t>& seqs) {
    std::map<std::int64_t, Run> out;
    if (seqs.empty()) return out;
    std::size_t n = 1;
    while (n < seqs.size()) n *= 2;
    std::string sql = runsJoined() + "WHERE r.hidden = 0 AND r.seq IN (";
    SqlParams params;
    for (std::size_t i = 0; i < n; ++i) {
        sql += (i ? ", $" : "$") + std::to_string(i + 1);
        params.emplace_back(seqs[std::min(i, seqs.size() - 1)]);
    }
    for (const SqlRow& row : c.query(sql + ")", params)) {
        Run r = runOf(row);
        out.emplace(r.seq, std::move(r));
    }
    return out;
}

std::optional<Run> runById(SqlConnection& c, const std::string& id) {
    SqlRows rows = c.query(runsJoined() + "WHERE r.id = $1", {id});
    if (rows.empty()) return std::nullopt;
    return runOf(rows[0]);
}

} // namespace

ReadyRun Store::ready(NewRun n) {
    ReadyRun r;
    r.keys = n.play ? branches::keys(*n.play) : std::vector<std::int64_t>();
    if (!r.keys.empty()) {
        pool_.read([&](SqlConnection& c) {
            if (!c.query("SELECT 1 FROM runs WHERE id = $1", {n.id}).empty()) return; // sent before
            r.seen = c.query("SELECT COALESCE(MAX(seq), 0) FROM runs").at(0).integer(0);
            index::confirm(c, *n.play, index::candidates(c, r.keys, 0, r.seen + 1, index::kCandidates),
                           r.branch, r.branchShared, r.branchSeq);
        });
    }
    r.run = std::move(n);
    return r;
}

namespace {

// One run's part of a write: its outcome, and what it wrote if it was stored. Every
// refusal comes before the run's first write, so that the runs beside it are kept.
Outcome storeOne(SqlConnection& c, ReadyRun& r) {
    const NewRun& n = r.run;
    SqlRows owner = c.query("SELECT key FROM players WHERE name_fold = $1", {n.nameFold});
    if (!owner.empty() && owner[0].text(0) != n.player) return Outcome::NameTaken;
    const Figures& f = n.figures;
    SqlRows same =
        c.query(runsJoined() + "WHERE r.id = $1 OR (r.score = $2 AND r.level = $3 AND "
                               "r.max_chain = $4 AND r.total_contacts = $5 AND r.end_frame = $6 "
                               "AND r.time_bonus = $7 AND r.final_bonus = $8 AND r.time_left = $9)",
                {n.id, f.score, f.level, f.maxChain, f.totalContacts, f.endFrame, f.timeBonus, f.finalBonus,
                 f.timeLeft});
    if (!same.empty()) {
        Run existing = runOf(same[0]);
        if (existing.hidden) return Outcome::Hidden;
        if (existing.player != n.player) return Outcome::TakenByOther;
        // Sent again, it changes nothing: an old signed body must not rename the player.
        return Outcome::AlreadyYours;
    }
    // The runs stored since the look before the write, this write's own earlier ones included.
    if (!r.keys.empty()) {
        const std::int64_t newest = c.query("SELECT COALESCE(MAX(seq), 0) FROM runs").at(0).integer(0);
        if (newest > r.seen) {
            index::confirm(c, *n.play,
                           index::candidates(c, r.keys, r.seen, std::numeric_limits<std::int64_t>::max(),
                                             index::kCandidates),
                           r.branch, r.branchShared, r.branchSeq);
            r.seen = newest;
        }
    }
    // The name goes with the key from now on; a name it had before is free again.
    c.query("INSERT INTO players (key, name, name_fold, created_at) VALUES ($1, $2, $3, $4) "
            "ON CONFLICT (key) DO UPDATE SET name = excluded.name, name_fold = excluded.name_fold",
            {n.player, n.name, n.nameFold, n.submittedAt});
    SqlRows inserted = c.query(
        "INSERT INTO runs (id, player, frames, end_frame, score, level, max_chain, total_contacts, "
        "time_bonus, final_bonus, time_left, submitted_at) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12) ON CONFLICT DO NOTHING RETURNING seq",
        {n.id, n.player, f.frames, f.endFrame, f.score, f.level, f.maxChain, f.totalContacts, f.timeBonus,
         f.finalBonus, f.timeLeft, n.submittedAt});
    // Another server stored the same game since the look above: run it again to see it.
    if (inserted.empty()) throw SqlRetry("the same run was stored meanwhile");
    c.query("INSERT INTO replays (id, bytes) VALUES ($1, $2)", {n.id, SqlValue::bytes(n.replay)});
    const std::int64_t seq = inserted[0].integer(0);
    index::writeKeys(c, seq, r.keys);
    if (r.branch) index::writeBranch(c, seq, r.branch);
    return Outcome::Created;
}

} // namespace

std::vector<Submitted> Store::store(const std::vector<ReadyRun>& runs) {
    std::vector<Submitted> out;
    pool_.write([&](SqlConnection& c) {
        // Tried again from the look before the write: what an attempt that was rolled back
        // found among its own runs is gone with them.
        std::vector<ReadyRun> attempt = runs;
        out.clear();
        for (ReadyRun& r : attempt) out.push_back({storeOne(c, r), std::nullopt});
        return true;
    });
    pool_.read([&](SqlConnection& c) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (out[i].outcome != Outcome::Created && out[i].outcome != Outcome::AlreadyYours) continue;
            const NewRun& n = runs[i].run;
            SqlRows same =
                c.query(runsJoined() + "WHERE r.id = $1 OR (r.player = $2 AND r.score = $3 AND "
                                       "r.level = $4 AND r.max_chain = $5 AND r.total_contacts = $6 "
                                       "AND r.end_frame = $7 AND r.time_bonus = $8 AND "
                                       "r.final_bonus = $9 AND r.time_left = $10)",
                        {n.id, n.player, n.figures.score, n.figures.level, n.figures.maxChain,
                         n.figures.totalContacts, n.figures.endFrame, n.figures.timeBonus,
                         n.figures.finalBonus, n.figures.timeLeft});
            if (same.empty()) throw SqlError("a stored run is missing");
            out[i].run = runOf(same[0]);
            if (out[i].outcome == Outcome::Created) ranking_.stored(c, out[i].run->seq);
        }
    });
    for (Submitted& s : out)
        if (s.run) rankOf(*s.run, 0);
    return out;
}

Submitted Store::submit(const NewRun& run) { return store({ready(run)}).at(0); }

std::optional<std::string> Store::nameOwner(const std::string& nameFold) {
    std::optional<std::string> owner;
    pool_.read([&](SqlConnection& c) {
        SqlRows rows = c.query("SELECT key FROM players WHERE name_fold = $1", {nameFold});
        if (!rows.empty()) owner = rows[0].text(0);
    });
    return owner;
}

std::optional<Run> Store::run(const std::string& id, std::int64_t since) {
    std::optional<Run> r;
    pool_.read([&](SqlConnection& c) {
        r = runById(c, id);
        if (r && r->hidden) r.reset();
    });
    if (r) rankOf(*r, since);
    return r;
}

std::optional<std::string> Store::replay(const std::string& id) {
    std::optional<std::string> bytes;
    pool_.read([&](SqlConnection& c) {
        SqlRows rows = c.query("SELECT rp.bytes FROM replays rp JOIN runs r ON r.id = rp.id "
                               "WHERE rp.id = $1 AND r.hidden = 0",
                               {id});
        if (!rows.empty()) bytes = rows[0].text(0);
    });
    return bytes;
}

// Ranks from the ranking in memory (ranking.h); only the runs of the page are read.
void Store::rankOf(Run& r, std::int64_t since) {
    // A branch is not on the table: it holds no place there.
    if (r.hidden || r.branchOf || r.submittedAt < since) {
        r.rank.reset();
        return;
    }
    ranking_.prepare(pool_, {since});
    r.rank = ranking_.rank(since, r.player, {r.figures.score, r.seq});
}

TablePage Store::table(std::int64_t since, std::int64_t offset, std::int64_t limit) {
    TablePage page;
    ranking_.prepare(pool_, {since});
    page.total = ranking_.total(since);
    const std::vector<Ranking::Place> places = ranking_.page(since, offset, limit);
    if (places.empty()) return page;
    std::vector<std::int64_t> seqs;
    for (const Ranking::Place& p : places) seqs.push_back(p.seq);
    std::map<std::int64_t, Run> runs;
    pool_.read([&](SqlConnection& c) { runs = runsBySeq(c, seqs); });
    // A run hidden by another server a moment ago is left out until the ranking sees it.
    for (const Ranking::Place& p : places) {
        auto it = runs.find(p.seq);
        if (it == runs.end()) continue;
        it->second.rank = p.rank;
        page.entries.push_back(std::move(it->second));
    }
    return page;
}

std::optional<PlayerPage> Store::player(const std::string& key, const std::vector<std::int64_t>& periodStarts,
                                        std::int64_t offset, std::int64_t limit) {
    std::optional<PlayerPage> page;
    pool_.read([&](SqlConnection& c) {
        SqlRows who = c.query("SELECT key, name FROM players WHERE key = $1", {key});
        if (who.empty()) return;
        page.emplace();
        page->key = who[0].text(0);
        page->name = who[0].text(1);
        page->runCount =
            c.query("SELECT COUNT(*) FROM runs WHERE player = $1 AND hidden = 0", {key}).at(0).integer(0);
        SqlRows rows = c.query(runsJoined() + "WHERE r.player = $1 AND r.hidden = 0 ORDER BY r.seq DESC "
                                              "LIMIT $2 OFFSET $3",
                               {key, limit, offset});
        for (const SqlRow& row : rows) page->runs.push_back(runOf(row));
    });
    if (!page) return page;
    // The best runs and their ranks come from the rankings; the runs themselves are read
    // together, once.
    std::vector<std::int64_t> sinces = periodStarts;
    sinces.push_back(0); // the runs' own ranks are all-time
    ranking_.prepare(pool_, sinces);
    std::vector<std::optional<Ranking::Place>> best;
    std::vector<std::int64_t> seqs;
    for (std::int64_t since : periodStarts) {
        best.push_back(ranking_.best(since, key));
        if (best.back()) seqs.push_back(best.back()->seq);
    }
    std::map<std::int64_t, Run> bestRuns;
    if (!seqs.empty()) pool_.read([&](SqlConnection& c) { bestRuns = runsBySeq(c, seqs); });
    for (const auto& place : best) {
        std::optional<Run> r;
        if (place) {
            if (auto it = bestRuns.find(place->seq); it != bestRuns.end()) {
                r = it->second;
                r->rank = place->rank;
            }
        }
        page->best.push_back(std::move(r));
    }
    for (Run& r : page->runs) r.rank = ranking_.rank(0, r.player, {r.figures.score, r.seq});
    return page;
}

bool Store::hide(const std::string& id) {
    bool found = false;
    pool_.write([&](SqlConnection& c) {
        found = !c.query("UPDATE runs SET hidden = 1 WHERE id = $1 RETURNING id", {id}).empty();
        return true;
    });
    ranking_.invalidate();
    return found;
}

void Store::forEachRun(const std::function<void(const Run&, const std::string& replay)>& visit) {
    std::int64_t after = -1;
    for (;;) {
        std::vector<std::pair<Run, std::string>> batch;
        pool_.read([&](SqlConnection& c) {
            SqlRows rows =
                c.query(std::string("SELECT ") + kRunColumns +
                            ", rp.bytes FROM runs r JOIN players p ON p.key = r.player "
                            "JOIN replays rp ON rp.id = r.id WHERE r.seq > $1 ORDER BY r.seq LIMIT 200",
                        {after});
            for (const SqlRow& row : rows) batch.emplace_back(runOf(row), row.text(kRunColumnCount));
        });
        if (batch.empty()) return;
        for (const auto& [run, bytes] : batch) visit(run, bytes);
        after = batch.back().first.seq;
    }
}

bool Store::healthy() {
    try {
        // A read of the file itself: SQLite answers SELECT 1 without opening it.
        pool_.read([](SqlConnection& c) { c.query("SELECT COUNT(*) FROM schema_version"); });
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<BranchPage> Store::branches(const std::string& id, std::int64_t offset, std::int64_t limit) {
    std::optional<BranchPage> page;
    pool_.read([&](SqlConnection& c) {
        auto original = runById(c, id);
        if (!original || original->hidden) return;
        page.emplace();
        page->total =
            c.query("SELECT COUNT(*) FROM runs WHERE branch_of = $1 AND hidden = 0", {id}).at(0).integer(0);
        SqlRows rows = c.query(runsJoined() + "WHERE r.branch_of = $1 AND r.hidden = 0 "
                                              "ORDER BY r.score DESC, r.seq LIMIT $2 OFFSET $3",
                               {id, limit, offset});
        for (const SqlRow& row : rows) page->entries.push_back(runOf(row));
    });
    return page;
}

std::optional<BranchOf> Store::originalOf(const branches::Play& play, const std::vector<std::int64_t>& keys,
                                          std::int64_t beforeSeq) {
    std::optional<BranchOf> best;
    std::int64_t shared = 0, seq = 0;
    pool_.read([&](SqlConnection& c) {
        index::confirm(c, play, index::candidates(c, keys, 0, beforeSeq, index::kCandidates), best, shared,
                       seq);
    });
    return best;
}

void Store::setIndex(std::int64_t seq, const std::vector<std::int64_t>& keys,
                     const std::optional<BranchOf>& branch) {
    pool_.write([&](SqlConnection& c) {
        index::writeKeys(c, seq, keys);
        index::writeBranch(c, seq, branch);
        return true;
    });
    // A run that became a branch leaves the table.
    ranking_.invalidate();
}

void Store::clearIndex() {
    pool_.write([](SqlConnection& c) {
        c.query("DELETE FROM run_keys");
        return true;
    });
}

} // namespace tolvane::server
