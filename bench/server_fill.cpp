// Fills a tolvane-server database with synthetic runs, made directly rather than played:
// players, runs with figures of their own, replays of human-like input of a game's length,
// and each run's index keys as the server makes them (worlds of their own, so that only
// the input's keys can meet). Prints the index's size per run and the database's growth.
//   tolvane_fill_runs DB COUNT [FIRST]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "server/branches.h"
#include "server/sql.h"
#include "server/store_branches.h"
#include "server/verify.h"
#include "tests/server/branches_support.h"

using namespace tolvane::server;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolvane_fill_runs DB COUNT [FIRST]\n");
        return 2;
    }
    const std::string path = argv[1];
    const long count = std::atol(argv[2]);
    const long first = argc > 3 ? std::atol(argv[3]) : 0;
    const auto started = std::chrono::steady_clock::now();
    auto db = openDatabase(path);
    auto c = db->connect();
    if (std::string(db->kind()) == "sqlite") {
        // A bench database: faster to fill, nothing to lose.
        c->query("PRAGMA synchronous = OFF");
        c->query("PRAGMA cache_size = -500000");
    }
    std::error_code ec;
    const auto sizeBefore = std::filesystem::file_size(path, ec);
    std::mt19937_64 rng(12345 + first);
    long keysMade = 0;
    const long perTransaction = 500;
    for (long i = first; i < first + count; i += perTransaction) {
        c->begin();
        for (long k = i; k < std::min(first + count, i + perTransaction); ++k) {
            const std::string player = sha256Hex("fill player " + std::to_string(k / 2));
            const std::string id = sha256Hex("fill run " + std::to_string(k));
            const std::int64_t at = 1767225600000 + k * 1000;
            if (k % 2 == 0) {
                c->query("INSERT INTO players (key, name, name_fold, created_at) VALUES ($1, $2, $2, $3) "
                         "ON CONFLICT DO NOTHING",
                         {player, "fill" + std::to_string(k / 2), at});
            }
            // A game ends when its time runs out: 7,500 to 11,000 frames.
            const auto frames = static_cast<std::size_t>(7500 + rng() % 3500);
            branches::Play play;
            play.input = testsupport::humanInput(static_cast<std::uint32_t>(1000000 + k), frames);
            play.world.resize(frames);
            for (auto& w : play.world) w = rng();
            const std::int64_t score = static_cast<std::int64_t>(rng() % 500000);
            SqlRows seq = c->query(
                "INSERT INTO runs (id, player, frames, end_frame, score, level, max_chain, total_contacts, "
                "time_bonus, final_bonus, time_left, submitted_at) "
                "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, 0, $9, $10, $11) RETURNING seq",
                {id, player, static_cast<std::int64_t>(frames), static_cast<std::int64_t>(frames - 1), score,
                 1 + score / 20000, static_cast<std::int64_t>(rng() % 400),
                 static_cast<std::int64_t>(rng() % 900), score / 50, -1 - k, at});
            c->query("INSERT INTO replays (id, bytes) VALUES ($1, $2)",
                     {id, SqlValue::bytes(testsupport::replayOf(play.input))});
            const auto keys = branches::keys(play);
            index::writeKeys(*c, seq.at(0).integer(0), keys);
            keysMade += static_cast<long>(keys.size());
        }
        c->commit();
        if ((i / perTransaction) % 20 == 0) std::fprintf(stderr, "%ld runs\r", i - first);
    }
    double indexBytes = -1;
    try {
        indexBytes = static_cast<double>(
            c->query("SELECT SUM(pgsize) FROM dbstat WHERE name = 'run_keys'").at(0).integer(0));
    } catch (const SqlError&) {
        // dbstat is not built into every SQLite
    }
    const double allRuns = static_cast<double>(c->query("SELECT COUNT(*) FROM runs").at(0).integer(0));
    c.reset();
    db.reset();
    const auto sizeAfter = std::filesystem::file_size(path, ec);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%ld runs in %.0f s; index: %.1f keys a run, %.0f bytes a run (%zu bytes a row)\n", count,
                seconds, static_cast<double>(keysMade) / count,
                static_cast<double>(keysMade) * branches::kKeyRowBytes / count, branches::kKeyRowBytes);
    if (indexBytes >= 0)
        std::printf("run_keys on disk: %.1f MB, %.0f bytes a run\n", indexBytes / 1e6, indexBytes / allRuns);
    if (!ec)
        std::printf("database: %.1f MB, %.0f bytes a run (replays included)\n", sizeAfter / 1e6,
                    static_cast<double>(sizeAfter - sizeBefore) / count);
    return 0;
}
