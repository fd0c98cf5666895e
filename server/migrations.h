// Schema steps that change stored rows in code rather than in SQL alone; each is named
// in the schema lists of both databases (sql_sqlite.cpp, sql_postgres.cpp) and speaks
// the SQL both accept.
#pragma once

#include "server/sql.h"

namespace tolvane::server {} // namespace tolvane::server
