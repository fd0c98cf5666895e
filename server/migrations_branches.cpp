// Schema version 3's rows: every stored replay rewritten as the game itself, in batches
// in the order of submission, inside the schema step's transaction.
#include "server/migrations.h"
#include "verdict/verdict.h"

namespace tolvane::server {

void migrateBranches(SqlConnection& c) {
    std::int64_t after = -1;
    for (;;) {
        SqlRows rows = c.query("SELECT r.seq, r.end_frame, rp.id, rp.bytes FROM runs r "
                               "JOIN replays rp ON rp.id = r.id WHERE r.seq > $1 ORDER BY r.seq LIMIT 200",
                               {after});
        if (rows.empty()) return;
        for (const SqlRow& row : rows) {
            const std::string& bytes = row.text(3);
            const std::string game = verdict::gameBytes(bytes, row.integer(1));
            if (game != bytes)
                c.query("UPDATE replays SET bytes = $1 WHERE id = $2", {SqlValue::bytes(game), row.text(2)});
        }
        after = rows.back().integer(0);
    }
}

} // namespace tolvane::server
