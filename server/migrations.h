// Schema steps that change stored rows in code rather than in SQL alone; each is named
// in the schema lists of both databases (sql_sqlite.cpp, sql_postgres.cpp) and speaks
// the SQL both accept.
#pragma once

#include "server/sql.h"

namespace tolvane::server {

// Version 3: the stored replays become the games themselves (verdict::gameBytes: the
// count set to the frames played, nothing after the end, the unused bits cleared). The
// index and the branch verdicts need the games played: `tolvane-server reverify`.
void migrateBranches(SqlConnection& c);

} // namespace tolvane::server
