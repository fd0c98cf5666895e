// The runs and the players, kept in a SQL database (sql.h). Every question the API
// asks is one function here; the SQL below is written once for both databases.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/branches.h"
#include "server/ranking.h"
#include "server/sql.h"
#include "verdict/verdict.h"

namespace tolvane::server {

using verdict::Figures;

// The earlier run whose play a run shares (branches.h): its id, the frame where the
// shared play stops, and the share of the run's pressed frames that is shared.
struct BranchOf {
    std::string id;
    std::int64_t frame = 0;
    double shared = 0;
};

struct Run {
    std::string id, player, name;
    Figures figures;
    std::int64_t submittedAt = 0; // milliseconds since 1970, UTC
    std::int64_t seq = 0;         // the order of submission
    bool hidden = false;
    // The place the run holds, or would hold, among the players' best runs of a period:
    // one more than the number of other players with a better run in it. None when
    // the run is outside the period.
    std::optional<std::int64_t> rank;
    // Set for a branch of an earlier run: never ranked, nobody's best.
    std::optional<BranchOf> branchOf;
};

struct NewRun {
    std::string id, player, name, nameFold, replay;
    Figures figures;
    std::int64_t submittedAt = 0;
    // The run's play (branches::play): with it the run gets its index and, when it shares
    // play with an earlier run, is stored as that run's branch.
    std::shared_ptr<const branches::Play> play;
};

enum class Outcome {
    Created,      // stored now
    AlreadyYours, // the same game, sent before by the same player
    TakenByOther, // the same game (or one identical in every figure) from another player
    NameTaken,    // the name belongs to another key
    Hidden,       // the same game, hidden by the operators
};

struct Submitted {
    Outcome outcome;
    std::optional<Run> run; // the stored run (Created, AlreadyYours)
};

// A run made ready to be stored, with reads only: its index keys, and the earlier run it
// shares play with among those stored when it was looked up (`seen`, the newest seq then).
struct ReadyRun {
    NewRun run;
    std::vector<std::int64_t> keys;
    std::optional<BranchOf> branch;
    std::int64_t branchShared = 0, branchSeq = 0, seen = 0;
};

struct TablePage {
    std::int64_t total = 0;
    std::vector<Run> entries; // ranks filled
};

struct BranchPage {
    std::int64_t total = 0;
    std::vector<Run> entries; // best first
};

struct PlayerPage {
    std::string key, name;
    std::vector<std::optional<Run>> best; // one per period asked for, rank in that period
    std::int64_t runCount = 0;
    std::vector<Run> runs; // newest first, all-time ranks
};

class Store {
  public:
    explicit Store(std::unique_ptr<SqlDatabase> db) : pool_(std::move(db)) {}
    const char* kind() const { return pool_.kind(); }

    Submitted submit(const NewRun& run);
    // The two halves of submit: the look-up, on any thread and beside other writes, and
    // the write, which stores a batch of runs in one transaction, in order, each with its
    // own outcome, as one submit after another would.
    ReadyRun ready(NewRun run);
    std::vector<Submitted> store(const std::vector<ReadyRun>& runs);
    // The key that owns a name (by its folded form), if any.
    std::optional<std::string> nameOwner(const std::string& nameFold);
    // A run that is not hidden, its rank among the runs submitted since `since`.
    std::optional<Run> run(const std::string& id, std::int64_t since = 0);
    // The replay's bytes as submitted, for a run that is not hidden.
    std::optional<std::string> replay(const std::string& id);
    // Each player's best run among those submitted since `since`, best first.
    TablePage table(std::int64_t since, std::int64_t offset, std::int64_t limit);
    // A player, the best run in each period (given by its start), and a page of runs.
    std::optional<PlayerPage> player(const std::string& key, const std::vector<std::int64_t>& periodStarts,
                                     std::int64_t offset, std::int64_t limit);
    // Hides a run from the tables and pages; false when there is no such run.
    bool hide(const std::string& id);
    // Every stored run with its replay, hidden ones too, in the order of submission.
    void forEachRun(const std::function<void(const Run&, const std::string& replay)>& visit);

    // The branches of a run that is not hidden, best first; none for an unknown run.
    std::optional<BranchPage> branches(const std::string& id, std::int64_t offset, std::int64_t limit);
    // The earlier run (submitted before `beforeSeq`) that a play shares the most play
    // with, found by the index and confirmed by playing the candidates' replays.
    std::optional<BranchOf> originalOf(const branches::Play& play, const std::vector<std::int64_t>& keys,
                                       std::int64_t beforeSeq);
    // Replaces a stored run's index keys and branch verdict (reverify).
    void setIndex(std::int64_t seq, const std::vector<std::int64_t>& keys,
                  const std::optional<BranchOf>& branch);
    // Empties the index (reverify builds it again in the order of submission).
    void clearIndex();
    // A query that touches the database: false when it cannot be reached.
    bool healthy();

  private:
    // Fills r.rank from the ranking of the runs since `since` (none when r is outside it).
    void rankOf(Run& r, std::int64_t since);

    SqlPool pool_;
    Ranking ranking_;
};

} // namespace tolvane::server
