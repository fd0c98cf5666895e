// Schema steps that change stored rows in code rather than in SQL alone; each is named
// in the schema lists of both databases (sql_sqlite.cpp, sql_postgres.cpp) and speaks
// the SQL both accept.
#pragma once

#include "server/sql.h"

namespace tolvane::server {

// Version 2: every player's name under the one name rule (names/name_rule.h). The name
// becomes its NFKC form and name_fold its skeleton, player by player in the order they
// came (created_at, then key). A name that reads the same as an earlier player's, or
// that the rule refuses, becomes one made from it and the key: "Lеader (1a2b3c4d)",
// more of the key only when that too is taken.
void migrateNamesToOneRule(SqlConnection& c);

// Version 3: the stored replays become the games themselves (verdict::gameBytes: the
// count set to the frames played, nothing after the end, the unused bits cleared). The
// index and the branch verdicts need the games played: `tolvane-server reverify`.
void migrateBranches(SqlConnection& c);

} // namespace tolvane::server
