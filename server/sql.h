// The server's one narrow interface to a SQL database: run a statement with numbered
// parameters ($1, $2, ...) and read its rows, inside transactions. One file per
// database (sql_sqlite.cpp, sql_postgres.cpp) holds that database's dialect: how to
// connect, its schema and its upgrades. Everything above speaks the SQL both accept.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::server {

// A parameter: a whole number, text, or bytes.
struct SqlValue {
    enum class Kind { Integer, Text, Bytes } kind;
    std::int64_t integer = 0;
    std::string text; // the text or the bytes

    SqlValue(std::int64_t v) : kind(Kind::Integer), integer(v) {}
    SqlValue(int v) : kind(Kind::Integer), integer(v) {}
    SqlValue(std::string v) : kind(Kind::Text), text(std::move(v)) {}
    SqlValue(const char* v) : kind(Kind::Text), text(v) {}
    static SqlValue bytes(std::string v) {
        SqlValue s{std::move(v)};
        s.kind = Kind::Bytes;
        return s;
    }
};
using SqlParams = std::vector<SqlValue>;

// One row: every column as text (bytes columns as their raw bytes), or nothing for NULL.
class SqlRow {
  public:
    explicit SqlRow(std::vector<std::optional<std::string>> cells) : cells_(std::move(cells)) {}
    bool isNull(std::size_t i) const { return !cells_.at(i).has_value(); }
    const std::string& text(std::size_t i) const;
    std::int64_t integer(std::size_t i) const;

  private:
    std::vector<std::optional<std::string>> cells_;
};
using SqlRows = std::vector<SqlRow>;

// The transaction met another one and should be run again from its start (a busy
// database, a serialization failure, a unique key taken by a transaction that
// committed meanwhile).
struct SqlRetry : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// Anything else the database refused or could not do.
struct SqlError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SqlConnection {
  public:
    virtual ~SqlConnection() = default;
    virtual SqlRows query(std::string_view sql, const SqlParams& params = {}) = 0;
    virtual void begin() = 0; // a transaction that will write
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

class SqlDatabase {
  public:
    virtual ~SqlDatabase() = default;
    // A new connection to the database; each is used by one thread at a time.
    virtual std::unique_ptr<SqlConnection> connect() = 0;
    // "sqlite" or "postgresql".
    virtual const char* kind() const = 0;
};

// Opens the database named by `where` (a file path, or a postgresql:// URL) and brings
// its schema up to the newest version. Throws SqlError with the reason.
std::unique_ptr<SqlDatabase> openDatabase(const std::string& where);
std::unique_ptr<SqlDatabase> openSqlite(const std::string& path);
std::unique_ptr<SqlDatabase> openPostgres(const std::string& url);

// The schema's versions, one list of statements each, applied in order by the backend
// that holds them; the version reached is kept in the table schema_version. A step may
// also change the rows in code (SQL both databases accept, see migrations.h), after its
// statements and in the same transaction.
struct SchemaStep {
    int version;
    std::vector<const char*> statements;
    void (*migrate)(SqlConnection&) = nullptr;
};
// Applies the steps newer than the database's version on `c`, inside a transaction.
void upgradeSchema(SqlConnection& c, const std::vector<SchemaStep>& steps);

// A few connections shared by the threads of the server; each borrows one for a while.
class SqlPool {
  public:
    explicit SqlPool(std::unique_ptr<SqlDatabase> db);
    ~SqlPool();
    const char* kind() const { return db_->kind(); }

    // Runs `work` on a connection of the pool, outside a transaction.
    void read(const std::function<void(SqlConnection&)>& work);
    // Runs `work` inside a transaction that is committed when it returns true and rolled
    // back when it returns false; run again from its start (a few times) when the
    // database asks for it.
    void write(const std::function<bool(SqlConnection&)>& work);

  private:
    std::unique_ptr<SqlConnection> take();
    void give(std::unique_ptr<SqlConnection> c);

    std::unique_ptr<SqlDatabase> db_;
    struct Idle;
    std::shared_ptr<Idle> idle_;
};

} // namespace tolvane::server
