// The store's side of branches (branches.h): the index's rows in run_keys, the one
// query that finds candidates, and their confirmation by playing their stored replays.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "server/branches.h"
#include "server/sql.h"
#include "server/store.h"

namespace tolvane::server::index {

// Candidates stored with seq in (afterSeq, beforeSeq) that share keys with `keys`, the
// most shared keys first (ties: the earlier), at most `limit`.
std::vector<std::int64_t> candidates(SqlConnection& c, const std::vector<std::int64_t>& keys,
                                     std::int64_t afterSeq, std::int64_t beforeSeq, int limit);

// Plays each candidate's replay and keeps in `best` the one the play shares most with
// (ties: the earlier). `bestShared` is the shared frames of `best`.
void confirm(SqlConnection& c, const branches::Play& play, const std::vector<std::int64_t>& seqs,
             std::optional<BranchOf>& best, std::int64_t& bestShared, std::int64_t& bestSeq);

// Adds a run's keys (duplicates of stored rows are left alone).
void writeKeys(SqlConnection& c, std::int64_t seq, const std::vector<std::int64_t>& keys);
// Sets or clears a run's branch columns.
void writeBranch(SqlConnection& c, std::int64_t seq, const std::optional<BranchOf>& branch);

// How many candidates are played at most for one run.
constexpr int kCandidates = 4;

} // namespace tolvane::server::index
