// The SQLite database: one file in write-ahead-log mode, every commit synced to disk
// (synchronous=FULL) so that a run answered 201 survives a kill or a power cut. Many
// readers and one writer at a time; a writer waits for the other up to five seconds.
// The log is copied back into the file by a thread of the database's own, not by the
// commit that happens to fill it: with a large index that copy costs more than the
// commit itself.
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "server/migrations.h"
#include "server/sql.h"

namespace tolvane::server {

namespace {

// clang-format off
const std::vector<SchemaStep> kSqliteSchema = {
    {1, {
        "CREATE TABLE players ("
        "  key TEXT PRIMARY KEY,"
        "  name TEXT NOT NULL,"
        "  name_fold TEXT NOT NULL UNIQUE,"
        "  created_at INTEGER NOT NULL)",
        "CREATE TABLE runs ("
        "  seq INTEGER PRIMARY KEY AUTOINCREMENT,"
        "  id TEXT NOT NULL UNIQUE,"
        "  player TEXT NOT NULL REFERENCES players (key),"
        "  frames INTEGER NOT NULL, end_frame INTEGER NOT NULL, score INTEGER NOT NULL,"
        "  level INTEGER NOT NULL, max_chain INTEGER NOT NULL, total_contacts INTEGER NOT NULL,"
        "  time_bonus INTEGER NOT NULL, final_bonus INTEGER NOT NULL, time_left INTEGER NOT NULL,"
        "  submitted_at INTEGER NOT NULL,"
        "  hidden INTEGER NOT NULL DEFAULT 0)",
        "CREATE UNIQUE INDEX runs_figures ON runs"
        "  (score, level, max_chain, total_contacts, end_frame, time_bonus, final_bonus, time_left)",
        "CREATE INDEX runs_order ON runs (hidden, score DESC, seq)",
        "CREATE INDEX runs_player ON runs (player, seq)",
        "CREATE TABLE replays (id TEXT PRIMARY KEY REFERENCES runs (id), bytes BLOB NOT NULL)",
    }},
    // Every player's name under the one name rule: name_fold becomes its skeleton.
    {2, {}, migrateNamesToOneRule},
    // Branches: the run whose play a run shares, where and how much, and the index
    // that finds it (migrations_branches.cpp).
    {3, {
        "ALTER TABLE runs ADD COLUMN branch_of TEXT REFERENCES runs (id)",
        "ALTER TABLE runs ADD COLUMN branch_frame INTEGER",
        "ALTER TABLE runs ADD COLUMN branch_shared REAL",
        "CREATE INDEX runs_branches ON runs (branch_of, score DESC, seq) WHERE branch_of IS NOT NULL",
        "CREATE TABLE run_keys ("
        "  key INTEGER NOT NULL,"
        "  seq INTEGER NOT NULL REFERENCES runs (seq),"
        "  PRIMARY KEY (key, seq)) WITHOUT ROWID",
    }, migrateBranches},
    // The periods' rankings read the runs since a day, a week or a month.
    {4, {
        "CREATE INDEX runs_submitted ON runs (submitted_at)",
    }},
};
// clang-format on

// $N, as the other databases write it, becomes SQLite's ?N.
std::string numbered(std::string_view sql) {
    std::string out(sql);
    for (char& c : out)
        if (c == '$') c = '?';
    return out;
}

class SqliteConnection final : public SqlConnection {
  public:
    explicit SqliteConnection(const std::string& path) {
        const int rc = sqlite3_open_v2(
            path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            std::string why = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            throw SqlError("cannot open the database " + path + ": " + why);
        }
        sqlite3_busy_timeout(db_, 5000);
        query("PRAGMA journal_mode = WAL", {});
        query("PRAGMA synchronous = FULL", {});
        query("PRAGMA foreign_keys = ON", {});
        // The checkpoints are the checkpointer's; this is only the bound should it fall
        // behind, about 80 MB of log.
        query("PRAGMA wal_autocheckpoint = 20000", {});
        query("PRAGMA journal_size_limit = 67108864", {});
    }

    // Copies what it can of the log into the file without waiting for readers or the
    // writer (a passive checkpoint); false with the reason when SQLite refuses.
    bool checkpoint(std::string* why) {
        const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        if (rc == SQLITE_OK || (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED) return true;
        *why = sqlite3_errmsg(db_);
        return false;
    }
    ~SqliteConnection() override {
        for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
        sqlite3_close(db_);
    }

    SqlRows query(std::string_view sql, const SqlParams& params) override {
        sqlite3_stmt* stmt = prepared(sql);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const SqlValue& v = params[i];
            const int at = static_cast<int>(i) + 1;
            int rc = SQLITE_OK;
            switch (v.kind) {
            case SqlValue::Kind::Integer: rc = sqlite3_bind_int64(stmt, at, v.integer); break;
            case SqlValue::Kind::Text:
                rc = sqlite3_bind_text(stmt, at, v.text.data(), static_cast<int>(v.text.size()),
                                       SQLITE_STATIC);
                break;
            case SqlValue::Kind::Bytes:
                rc = sqlite3_bind_blob(stmt, at, v.text.data(), static_cast<int>(v.text.size()),
                                       SQLITE_STATIC);
                break;
            }
            if (rc != SQLITE_OK) fail(rc);
        }
        SqlRows rows;
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) {
                sqlite3_reset(stmt);
                fail(rc);
            }
            const int n = sqlite3_column_count(stmt);
            std::vector<std::optional<std::string>> cells(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i) {
                if (sqlite3_column_type(stmt, i) == SQLITE_NULL) continue;
                const void* data = sqlite3_column_blob(stmt, i);
                const int size = sqlite3_column_bytes(stmt, i);
                cells[static_cast<std::size_t>(i)] =
                    data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                         : std::string();
            }
            rows.emplace_back(std::move(cells));
        }
        sqlite3_reset(stmt);
        return rows;
    }

    // IMMEDIATE: the write lock is taken now, so two writers never deadlock halfway.
    void begin() override { query("BEGIN IMMEDIATE", {}); }
    void commit() override { query("COMMIT", {}); }
    void rollback() override {
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

  private:
    sqlite3_stmt* prepared(std::string_view sql) {
        auto it = statements_.find(std::string(sql));
        if (it != statements_.end()) return it->second;
        sqlite3_stmt* stmt = nullptr;
        const std::string text = numbered(sql);
        const int rc = sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) fail(rc);
        statements_.emplace(std::string(sql), stmt);
        return stmt;
    }

    [[noreturn]] void fail(int rc) {
        const std::string why = sqlite3_errmsg(db_);
        if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED) throw SqlRetry(why);
        throw SqlError(why);
    }

    sqlite3* db_ = nullptr;
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

class SqliteDatabase final : public SqlDatabase {
  public:
    explicit SqliteDatabase(std::string path) : path_(std::move(path)) {
        SqliteConnection c(path_);
        for (int attempt = 0;; ++attempt) {
            try {
                c.begin();
                upgradeSchema(c, kSqliteSchema);
                c.commit();
                return;
            } catch (const SqlRetry&) {
                c.rollback();
                if (attempt == 50) throw;
            } catch (...) {
                c.rollback();
                throw;
            }
        }
    }
    ~SqliteDatabase() override {
        {
            std::lock_guard lock(m_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (checkpointer_.joinable()) checkpointer_.join();
    }
    std::unique_ptr<SqlConnection> connect() override {
        startCheckpoints();
        return std::make_unique<SqliteConnection>(path_);
    }
    const char* kind() const override { return "sqlite"; }

  private:
    // Started with the first connection asked for, so that a database opened only to be
    // upgraded starts no thread.
    void startCheckpoints() {
        std::lock_guard lock(m_);
        if (checkpointer_.joinable() || stopping_) return;
        checkpointer_ = std::thread([this] {
            std::unique_lock lock(m_);
            std::string lastProblem;
            for (;;) {
                const bool stop = wake_.wait_for(lock, kCheckpointEvery, [this] { return stopping_; });
                lock.unlock();
                try {
                    if (!connection_) connection_ = std::make_unique<SqliteConnection>(path_);
                    std::string why;
                    if (!connection_->checkpoint(&why) && why != lastProblem)
                        std::fprintf(stderr, "tolvane-server: a checkpoint of %s failed: %s\n", path_.c_str(),
                                     why.c_str());
                    lastProblem = why;
                } catch (const std::exception& e) {
                    connection_.reset(); // opened again next time
                    if (lastProblem != e.what()) std::fprintf(stderr, "tolvane-server: %s\n", e.what());
                    lastProblem = e.what();
                }
                lock.lock();
                if (stop) break;
            }
            connection_.reset();
        });
    }

    static constexpr auto kCheckpointEvery = std::chrono::milliseconds(250);
    std::string path_;
    std::mutex m_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::unique_ptr<SqliteConnection> connection_; // the checkpointer's
    std::thread checkpointer_;
};

} // namespace

std::unique_ptr<SqlDatabase> openSqlite(const std::string& path) {
    return std::make_unique<SqliteDatabase>(path);
}

} // namespace tolvane::server
