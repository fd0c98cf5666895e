// The index of runs (run_keys) and the confirmation of a branch, in SQL that SQLite and
// PostgreSQL both accept.
#include "server/store_branches.h"

#include <cstdio>
#include <string>

namespace tolvane::server::index {

namespace {

// The lookup's statement for `n` keys: n is one of a few sizes, so only those few
// statements are ever prepared; the list is filled up with its first key.
std::string lookupSql(std::size_t n) {
    std::string sql = "SELECT seq, COUNT(*) FROM run_keys WHERE key IN (";
    for (std::size_t i = 0; i < n; ++i) sql += (i ? ", $" : "$") + std::to_string(i + 1);
    sql += ") AND seq > $" + std::to_string(n + 1) + " AND seq < $" + std::to_string(n + 2) +
           " GROUP BY seq ORDER BY COUNT(*) DESC, seq LIMIT $" + std::to_string(n + 3);
    return sql;
}

std::size_t listSize(std::size_t n) {
    std::size_t size = 16;
    while (size < n) size *= 2;
    return size;
}

// Whether the run `seq` has one of `keys` (through the index's own order, key first).
bool sharesKey(SqlConnection& c, std::int64_t seq, const std::vector<std::int64_t>& keys) {
    for (std::size_t at = 0; at < keys.size(); at += 16) {
        std::string sql = "SELECT 1 FROM run_keys WHERE seq = $1 AND key IN (";
        SqlParams params{seq};
        for (std::size_t i = 0; i < 16; ++i) {
            sql += (i ? ", $" : "$") + std::to_string(i + 2);
            params.emplace_back(keys[at + i < keys.size() ? at + i : at]);
        }
        if (!c.query(sql + ") LIMIT 1", params).empty()) return true;
    }
    return false;
}

constexpr std::size_t kInsertRows = 64;

std::string insertSql() {
    std::string sql = "INSERT INTO run_keys (key, seq) VALUES ";
    for (std::size_t i = 0; i < kInsertRows; ++i)
        sql += (i ? ", ($" : "($") + std::to_string(2 * i + 1) + ", $" + std::to_string(2 * i + 2) + ")";
    return sql + " ON CONFLICT DO NOTHING";
}

std::string shareText(double shared) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", shared);
    return buf;
}

} // namespace

std::vector<std::int64_t> candidates(SqlConnection& c, const std::vector<std::int64_t>& keys,
                                     std::int64_t afterSeq, std::int64_t beforeSeq, int limit) {
    std::vector<std::int64_t> out;
    if (keys.empty()) return out;
    const std::size_t n = listSize(keys.size());
    SqlParams params;
    params.reserve(n + 3);
    for (std::size_t i = 0; i < n; ++i) params.emplace_back(keys[i < keys.size() ? i : 0]);
    params.emplace_back(afterSeq);
    params.emplace_back(beforeSeq);
    params.emplace_back(limit);
    static const std::string sizes[] = {lookupSql(16),  lookupSql(32),  lookupSql(64),
                                        lookupSql(128), lookupSql(256), lookupSql(512)};
    std::size_t which = 0;
    while ((std::size_t{16} << which) < n) ++which;
    for (const SqlRow& row : c.query(which < std::size(sizes) ? sizes[which] : lookupSql(n), params))
        out.push_back(row.integer(0));
    return out;
}

void confirm(SqlConnection& c, const branches::Play& play, const std::vector<std::int64_t>& seqs,
             std::optional<BranchOf>& best, std::int64_t& bestShared, std::int64_t& bestSeq) {
    std::vector<std::int64_t> world;
    if (!seqs.empty()) branches::keys(play, &world);
    for (std::int64_t seq : seqs) {
        SqlRows rows = c.query(
            "SELECT r.id, rp.bytes FROM runs r JOIN replays rp ON rp.id = r.id WHERE r.seq = $1", {seq});
        if (rows.empty()) continue;
        // A game is played again only for a run that may really share play: one whose
        // inputs are a copy, or that was once in the same world at the end of a block.
        // Keys met by chance (with many runs stored, a few always are) cost no game.
        if (!branches::inputsCopy(play, rows[0].text(1)) && !sharesKey(c, seq, world)) continue;
        const branches::Played original = branches::play(rows[0].text(1));
        if (!original.verdict.ok) continue; // refused by the game as it is now: reverify names it
        const branches::Sharing s = branches::compare(play, original.play);
        if (!s.branch) continue;
        if (!best || s.shared > bestShared || (s.shared == bestShared && seq < bestSeq)) {
            best = BranchOf{rows[0].text(0), s.frame, s.fraction()};
            bestShared = s.shared;
            bestSeq = seq;
        }
    }
}

void writeKeys(SqlConnection& c, std::int64_t seq, const std::vector<std::int64_t>& keys) {
    static const std::string sql = insertSql();
    for (std::size_t at = 0; at < keys.size(); at += kInsertRows) {
        SqlParams params;
        params.reserve(2 * kInsertRows);
        for (std::size_t i = 0; i < kInsertRows; ++i) {
            // A short last batch repeats its first row, which the conflict clause drops.
            params.emplace_back(keys[at + i < keys.size() ? at + i : at]);
            params.emplace_back(seq);
        }
        c.query(sql, params);
    }
}

void writeBranch(SqlConnection& c, std::int64_t seq, const std::optional<BranchOf>& branch) {
    if (branch) {
        c.query("UPDATE runs SET branch_of = $1, branch_frame = $2, branch_shared = $3 WHERE seq = $4",
                {branch->id, branch->frame, shareText(branch->shared), seq});
    } else {
        c.query("UPDATE runs SET branch_of = NULL, branch_frame = NULL, branch_shared = NULL WHERE seq = $1",
                {seq});
    }
}

} // namespace tolvane::server::index
