// What the databases share: rows, the pool of connections, the schema's upgrades.
#include "server/sql.h"

#include <charconv>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

namespace tolvane::server {

const std::string& SqlRow::text(std::size_t i) const {
    static const std::string empty;
    const auto& c = cells_.at(i);
    return c ? *c : empty;
}

std::int64_t SqlRow::integer(std::size_t i) const {
    const std::string& s = text(i);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) throw SqlError("not a whole number: " + s);
    return v;
}

std::unique_ptr<SqlDatabase> openDatabase(const std::string& where) {
    if (where.starts_with("postgresql://") || where.starts_with("postgres://")) return openPostgres(where);
    return openSqlite(where);
}

void upgradeSchema(SqlConnection& c, const std::vector<SchemaStep>& steps) {
    c.query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    // Every step not yet recorded is applied, not only those above the newest: versions
    // made on separate branches may arrive in another order than their numbers.
    std::set<std::int64_t> applied;
    for (const SqlRow& row : c.query("SELECT version FROM schema_version")) applied.insert(row.integer(0));
    const std::int64_t have = applied.empty() ? 0 : *applied.rbegin();
    const int newest = steps.empty() ? 0 : steps.back().version;
    if (have > newest) {
        throw SqlError("the database's schema is version " + std::to_string(have) +
                       ", newer than this server knows (" + std::to_string(newest) + ")");
    }
    for (const SchemaStep& step : steps) {
        if (applied.count(step.version)) continue;
        for (const char* statement : step.statements) c.query(statement);
        if (step.migrate) step.migrate(c);
        c.query("INSERT INTO schema_version (version) VALUES ($1)", {step.version});
    }
}

struct SqlPool::Idle {
    std::mutex m;
    std::vector<std::unique_ptr<SqlConnection>> connections;
};

SqlPool::SqlPool(std::unique_ptr<SqlDatabase> db) : db_(std::move(db)), idle_(std::make_shared<Idle>()) {}

SqlPool::~SqlPool() = default;

std::unique_ptr<SqlConnection> SqlPool::take() {
    {
        std::lock_guard lock(idle_->m);
        if (!idle_->connections.empty()) {
            auto c = std::move(idle_->connections.back());
            idle_->connections.pop_back();
            return c;
        }
    }
    return db_->connect();
}

void SqlPool::give(std::unique_ptr<SqlConnection> c) {
    std::lock_guard lock(idle_->m);
    idle_->connections.push_back(std::move(c));
}

void SqlPool::read(const std::function<void(SqlConnection&)>& work) {
    std::unique_ptr<SqlConnection> c = take();
    work(*c); // on an exception the connection is dropped: the next one is new
    give(std::move(c));
}

void SqlPool::write(const std::function<bool(SqlConnection&)>& work) {
    std::unique_ptr<SqlConnection> c = take();
    constexpr int kTries = 20;
    for (int attempt = 1;; ++attempt) {
        try {
            c->begin();
            if (work(*c))
                c->commit();
            else
                c->rollback();
            give(std::move(c));
            return;
        } catch (const SqlRetry&) {
            c->rollback();
            if (attempt == kTries) {
                give(std::move(c));
                throw SqlError("the database stayed busy");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(attempt * 5));
        } catch (...) {
            // A connection in an unknown state is not given back: the next one is new.
            try {
                c->rollback();
            } catch (...) {
            }
            throw;
        }
    }
}

} // namespace tolvane::server
