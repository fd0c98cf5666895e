// The PostgreSQL database, for deployments that outgrow one machine: several server
// processes may share it. Unique keys decide every race between them; a transaction
// that loses one is run again from its start and then sees the winner's row.
#include <pqxx/pqxx>

#include "server/migrations.h"
#include "server/sql.h"

namespace tolvane::server {

namespace {

// clang-format off
const std::vector<SchemaStep> kPostgresSchema = {
    {1, {
        "CREATE TABLE players ("
        "  key TEXT PRIMARY KEY,"
        "  name TEXT NOT NULL,"
        "  name_fold TEXT NOT NULL UNIQUE,"
        "  created_at BIGINT NOT NULL)",
        "CREATE TABLE runs ("
        "  seq BIGSERIAL PRIMARY KEY,"
        "  id TEXT NOT NULL UNIQUE,"
        "  player TEXT NOT NULL REFERENCES players (key),"
        "  frames BIGINT NOT NULL, end_frame BIGINT NOT NULL, score BIGINT NOT NULL,"
        "  level BIGINT NOT NULL, max_chain BIGINT NOT NULL, total_contacts BIGINT NOT NULL,"
        "  time_bonus BIGINT NOT NULL, final_bonus BIGINT NOT NULL, time_left BIGINT NOT NULL,"
        "  submitted_at BIGINT NOT NULL,"
        "  hidden INTEGER NOT NULL DEFAULT 0)",
        "CREATE UNIQUE INDEX runs_figures ON runs"
        "  (score, level, max_chain, total_contacts, end_frame, time_bonus, final_bonus, time_left)",
        "CREATE INDEX runs_order ON runs (hidden, score DESC, seq)",
        "CREATE INDEX runs_player ON runs (player, seq)",
        "CREATE TABLE replays (id TEXT PRIMARY KEY REFERENCES runs (id), bytes BYTEA NOT NULL)",
    }},
    // Every player's name under the one name rule: name_fold becomes its skeleton.
    {2, {}, migrateNamesToOneRule},
    // Branches: the run whose play a run shares, where and how much, and the index
    // that finds it (migrations_branches.cpp).
    {3, {
        "ALTER TABLE runs ADD COLUMN branch_of TEXT REFERENCES runs (id)",
        "ALTER TABLE runs ADD COLUMN branch_frame BIGINT",
        "ALTER TABLE runs ADD COLUMN branch_shared DOUBLE PRECISION",
        "CREATE INDEX runs_branches ON runs (branch_of, score DESC, seq) WHERE branch_of IS NOT NULL",
        "CREATE TABLE run_keys ("
        "  key BIGINT NOT NULL,"
        "  seq BIGINT NOT NULL REFERENCES runs (seq),"
        "  PRIMARY KEY (key, seq))",
    }, migrateBranches},
    // The periods' rankings read the runs since a day, a week or a month.
    {4, {
        "CREATE INDEX runs_submitted ON runs (submitted_at)",
    }},
};
// clang-format on

constexpr pqxx::oid kByteaOid = 17;

std::string hexBytes(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out = "\\x";
    out.reserve(2 + bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

class PostgresConnection final : public SqlConnection {
  public:
    explicit PostgresConnection(const std::string& url) try : conn_(url) {
    } catch (const std::exception& e) {
        throw SqlError(std::string("cannot connect to the database: ") + e.what());
    }

    SqlRows query(std::string_view sql, const SqlParams& params) override {
        std::vector<std::string> texts;
        texts.reserve(params.size());
        for (const SqlValue& v : params) {
            switch (v.kind) {
            case SqlValue::Kind::Integer: texts.push_back(std::to_string(v.integer)); break;
            case SqlValue::Kind::Text: texts.push_back(v.text); break;
            case SqlValue::Kind::Bytes: texts.push_back(hexBytes(v.text)); break;
            }
        }
        try {
            pqxx::result r;
            const std::string text(sql);
            if (tx_) {
                r = tx_->exec_params(text, pqxx::prepare::make_dynamic_params(texts));
            } else {
                pqxx::nontransaction once(conn_);
                r = once.exec_params(text, pqxx::prepare::make_dynamic_params(texts));
            }
            SqlRows rows;
            rows.reserve(r.size());
            for (const auto& row : r) {
                std::vector<std::optional<std::string>> cells(row.size());
                for (pqxx::row::size_type i = 0; i < row.size(); ++i) {
                    if (row[i].is_null()) continue;
                    if (r.column_type(i) == kByteaOid)
                        cells[i] = pqxx::binarystring(row[i]).str();
                    else
                        cells[i] = std::string(row[i].c_str(), row[i].size());
                }
                rows.emplace_back(std::move(cells));
            }
            return rows;
        } catch (const pqxx::serialization_failure& e) {
            throw SqlRetry(e.what());
        } catch (const pqxx::deadlock_detected& e) {
            throw SqlRetry(e.what());
        } catch (const pqxx::unique_violation& e) {
            throw SqlRetry(e.what());
        } catch (const pqxx::broken_connection& e) {
            throw SqlError(std::string("lost the database: ") + e.what());
        } catch (const pqxx::sql_error& e) {
            throw SqlError(e.what());
        }
    }

    void begin() override { tx_ = std::make_unique<pqxx::work>(conn_); }
    void commit() override {
        try {
            tx_->commit();
        } catch (const pqxx::serialization_failure& e) {
            tx_.reset();
            throw SqlRetry(e.what());
        } catch (const pqxx::unique_violation& e) {
            tx_.reset();
            throw SqlRetry(e.what());
        }
        tx_.reset();
    }
    void rollback() override {
        if (!tx_) return;
        try {
            tx_->abort();
        } catch (...) {
        }
        tx_.reset();
    }

  private:
    pqxx::connection conn_;
    std::unique_ptr<pqxx::work> tx_;
};

class PostgresDatabase final : public SqlDatabase {
  public:
    explicit PostgresDatabase(std::string url) : url_(std::move(url)) {
        PostgresConnection c(url_);
        for (int attempt = 0;; ++attempt) {
            try {
                c.begin();
                // Servers starting together upgrade one after the other.
                c.query("SELECT pg_advisory_xact_lock(7265)", {});
                upgradeSchema(c, kPostgresSchema);
                c.commit();
                return;
            } catch (const SqlRetry&) {
                c.rollback();
                if (attempt == 20) throw;
            } catch (...) {
                c.rollback();
                throw;
            }
        }
    }
    std::unique_ptr<SqlConnection> connect() override { return std::make_unique<PostgresConnection>(url_); }
    const char* kind() const override { return "postgresql"; }

  private:
    std::string url_;
};

} // namespace

std::unique_ptr<SqlDatabase> openPostgres(const std::string& url) {
    return std::make_unique<PostgresDatabase>(url);
}

} // namespace tolvane::server
