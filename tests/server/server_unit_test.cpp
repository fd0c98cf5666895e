// The server's parts without HTTP: names and signatures, verification against the
// golden replays, the rate limits and the periods, and the store against SQLite (and
// PostgreSQL when TOLVANE_TEST_POSTGRES names one, as the PostgreSQL test does).
#include <gtest/gtest.h>

#include <sodium.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "server/app.h"
#include "server/identity.h"
#include "server/pages.h"
#include "server/verify.h"
#include "tests/server/branches_support.h"

using namespace tolvane::server;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string countBytes(std::uint32_t n) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(n >> (8 * i));
    return s;
}

std::int64_t ms(int y, unsigned m, unsigned d, int h = 0) {
    using namespace std::chrono;
    return duration_cast<milliseconds>((sys_days(year(y) / month(m) / day(d)) + hours(h)).time_since_epoch())
        .count();
}

} // namespace

TEST(Names, Rules) {
    struct Case {
        std::string name;
        bool ok;
    };
    for (const Case& c : {
             Case{"a", true},
             Case{"Ölmez ジョン 🚀", true},
             Case{"<svg onload=alert(1)>", true},         // shown as text, so nothing to refuse
             Case{"<img src=x onerror=alert(1)>", false}, // 28 characters
             Case{std::string(24, 'x'), true},
             Case{std::string(25, 'x'), false},
             Case{"ジ" + std::string(23, 'x'), true}, // characters, not bytes
             Case{"", false},
             Case{" lead", false},
             Case{"trail ", false},
             Case{"tab\there", false},
             Case{"new\nline", false},
             Case{"del\x7f", false},
             Case{"c1\xc2\x85", false},
             Case{"rtl\xe2\x80\xaeoverride", false},
             Case{"bad\xff", false},
             Case{"overlong\xc0\xaf", false},
             Case{"surrogate\xed\xa0\x80", false},
             Case{"cut\xe3\x81", false},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(!nameProblem(c.name).has_value(), c.ok) << nameProblem(c.name).value_or("");
    }
    // Unique regardless of ASCII case, and of nothing else.
    EXPECT_EQ(foldName("MiXeD Case"), foldName("mixed CASE"));
    EXPECT_NE(foldName("ÄB"), foldName("äb"));
}

TEST(Signatures, OnlyTheKeysSignatureOfTheExactMessagePasses) {
    ASSERT_TRUE(setUpIdentity());
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    unsigned char otherPk[crypto_sign_PUBLICKEYBYTES], otherSk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(otherPk, otherSk);
    const std::string player = hexOf({reinterpret_cast<char*>(pk), sizeof pk});
    const std::string replay = "\x02\0\0\0\x01\x02\0"s;
    const std::string message = runMessage(player, "ann", replay);
    EXPECT_EQ(message, "tolvane run v1\n" + player + "\nann\n" + sha256Hex(replay));
    auto sign = [&](const unsigned char* key, const std::string& m) {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(m.data()), m.size(), key);
        return hexOf({reinterpret_cast<char*>(sig), sizeof sig});
    };
    const std::string good = sign(sk, message);
    std::string upper = good;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(signatureValid(player, good, message));
    EXPECT_TRUE(signatureValid(player, upper, message));
    EXPECT_FALSE(signatureValid(player, sign(otherSk, message), message));
    EXPECT_FALSE(signatureValid(player, sign(sk, runMessage(player, "Ann", replay)), message));
    EXPECT_FALSE(signatureValid(player, good, runMessage(player, "ann", replay + "x")));
    EXPECT_FALSE(signatureValid(player, good.substr(0, 126), message));
    EXPECT_FALSE(signatureValid(player.substr(2), good, message));
}

TEST(Base64, StandardAlphabetWithPaddingOnly) {
    EXPECT_EQ(fromBase64("AAEC/w=="), std::string("\x00\x01\x02\xff", 4));
    EXPECT_EQ(fromBase64(""), std::string());
    EXPECT_EQ(fromBase64(toBase64(std::string(300, '\x9c'))), std::string(300, '\x9c'));
    for (const char* bad : {"AAEC_w==", "AAEC/w", "AA EC", "A===", "****"})
        EXPECT_FALSE(fromBase64(bad)) << bad;
}

// The server's figures are exactly those of tolvane-replay verify, for every golden replay.
TEST(Verify, GoldenReplaysGiveTheirVerifyLine) {
    setUpHeadlessGames();
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(TOLVANE_TEST_DATA)) {
        if (entry.path().extension() != ".rep") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const auto expected =
            nlohmann::json::parse(readFile(fs::path(entry.path()).replace_extension(".verify.json")));
        const Verified v = verifyReplay(readFile(entry.path()));
        ASSERT_TRUE(v.ok) << v.reason;
        const Figures& f = v.figures;
        EXPECT_EQ(nlohmann::json({{"frames", f.frames},
                                  {"endFrame", f.endFrame},
                                  {"score", f.score},
                                  {"level", f.level},
                                  {"maxChain", f.maxChain},
                                  {"totalContacts", f.totalContacts},
                                  {"timeBonus", f.timeBonus},
                                  {"finalBonus", f.finalBonus},
                                  {"timeLeft", f.timeLeft}}),
                  expected);
        ++seen;
    }
    EXPECT_GE(seen, 5);
}

// A run is the game: what follows its last frame, and bits the game ignores, leave the
// id alone; a press before the end makes another game.
TEST(Verify, IdIsTheGameNotTheFile) {
    setUpHeadlessGames();
    const std::string file = readFile(fs::path(TOLVANE_TEST_DATA) / "zero.rep");
    const Verified base = verifyReplay(file);
    ASSERT_TRUE(base.ok) << base.reason;
    const std::size_t end = static_cast<std::size_t>(base.figures.endFrame);

    std::string longer = file.substr(4, end + 1) + std::string(300, '\x15');
    longer = countBytes(static_cast<std::uint32_t>(longer.size() - 1)) + longer;
    std::string highBits = file;
    for (std::size_t i = 4; i < highBits.size(); i += 7) highBits[i] = static_cast<char>(highBits[i] | 0xE0);
    std::string pressed = file;
    pressed[4 + end / 2] = static_cast<char>(pressed[4 + end / 2] ^ 0x04);
    std::string cut = countBytes(static_cast<std::uint32_t>(end)) + file.substr(4, end + 1);
    for (std::size_t i = 4; i < cut.size(); ++i) ASSERT_EQ(cut[i] & 0x1F, file[i] & 0x1F);

    for (const auto& [name, bytes] : {std::pair{"presses after the end", longer},
                                      std::pair{"high bits", highBits}, std::pair{"cut at the end", cut}}) {
        SCOPED_TRACE(name);
        const Verified v = verifyReplay(bytes);
        ASSERT_TRUE(v.ok) << v.reason;
        EXPECT_EQ(v.id, base.id);
        EXPECT_EQ(v.figures, base.figures);
    }
    const Verified other = verifyReplay(pressed);
    ASSERT_TRUE(other.ok);
    EXPECT_NE(other.id, base.id);
    EXPECT_EQ(base.id.size(), 64u);
}

// The workers play games side by side: each thread's game must be what it is alone.
TEST(Verify, GamesOnSeveralThreadsAtOnceAreTheGamesAlone) {
    setUpHeadlessGames();
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(TOLVANE_TEST_DATA))
        if (entry.path().extension() == ".rep") files.push_back(readFile(entry.path()));
    std::vector<Verified> alone;
    for (const auto& f : files) alone.push_back(verifyReplay(f));
    constexpr int kThreads = 4;
    std::vector<std::vector<Verified>> together(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts at another file, so different games overlap.
            for (std::size_t i = 0; i < files.size(); ++i)
                together[t].push_back(verifyReplay(files[(i + t) % files.size()]));
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Verified& a = alone[(i + t) % files.size()];
            EXPECT_EQ(together[t][i].figures, a.figures) << t << " " << i;
            EXPECT_EQ(together[t][i].id, a.id) << t << " " << i;
        }
    }
}

TEST(Verify, RefusedReplaysSayWhyInTheGamesWords) {
    setUpHeadlessGames();
    struct Case {
        std::string bytes;
        const char* reason;
    };
    // A game whose script never reaches its end is ended by the time-out, so the buffer
    // always suffices; only the loader's refusals are reachable from bytes.
    for (const Case& c :
         {Case{"", "the file is too short to be a replay (0 bytes)"},
          Case{countBytes(25001) + std::string(25002, '\0'), "its frame count 25001 is outside"},
          Case{countBytes(9), "the file ends before its 10 input bytes (0 found)"}}) {
        const Verified v = verifyReplay(c.bytes);
        EXPECT_FALSE(v.ok);
        EXPECT_TRUE(v.reason.starts_with(c.reason)) << v.reason;
    }
}

TEST(RateLimiter, BurstThenTheAverageRate) {
    RateLimiter limit(2, 3); // 2 a second, bursts of 3
    int retry = 0;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limit.take("a", 100.0, &retry)) << i;
    EXPECT_FALSE(limit.take("a", 100.0, &retry));
    EXPECT_EQ(retry, 1);
    EXPECT_TRUE(limit.take("b", 100.0, &retry)); // each key its own bucket
    EXPECT_TRUE(limit.take("a", 100.5, &retry)); // one token back after half a second
    EXPECT_FALSE(limit.take("a", 100.6, &retry));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(limit.take("a", 1000.0, &retry)) << i; // full again, not more
    EXPECT_FALSE(limit.take("a", 1000.0, &retry));
}

TEST(Periods, StartOfTheCalendarPeriodInUtc) {
    struct Case {
        Period p;
        std::int64_t now, start;
    };
    // 2026-03-01 is a Sunday; its ISO week began on Monday 2026-02-23.
    for (const Case& c : {Case{Period::All, ms(2026, 3, 1, 12), 0},
                          Case{Period::Day, ms(2026, 3, 1, 23) + 3599999, ms(2026, 3, 1)},
                          Case{Period::Day, ms(2026, 3, 1), ms(2026, 3, 1)},
                          Case{Period::Week, ms(2026, 3, 1, 12), ms(2026, 2, 23)},
                          Case{Period::Week, ms(2026, 3, 2), ms(2026, 3, 2)},
                          Case{Period::Month, ms(2026, 3, 1, 12), ms(2026, 3, 1)},
                          Case{Period::Month, ms(2024, 2, 29, 23), ms(2024, 2, 1)},
                          Case{Period::Month, ms(2026, 12, 31, 23), ms(2026, 12, 1)}}) {
        SCOPED_TRACE(std::string(periodName(c.p)) + " " + rfc3339(c.now));
        EXPECT_EQ(periodStart(c.p, c.now), c.start);
    }
    EXPECT_EQ(rfc3339(ms(2026, 1, 31, 23) + 3599123), "2026-01-31T23:59:59.123Z");
    for (Period p : kPeriods) EXPECT_EQ(periodNamed(periodName(p)), p);
    EXPECT_FALSE(periodNamed("year"));
}

// ---- The store, on each database ----

class StoreTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() == "sqlite") {
            char tmpl[] = "/tmp/tolvane-store-XXXXXX";
            ASSERT_TRUE(mkdtemp(tmpl));
            dir_ = tmpl;
            store_ = std::make_unique<Store>(openDatabase((dir_ / "runs.sqlite").string()));
            return;
        }
        const char* url = std::getenv("TOLVANE_TEST_POSTGRES");
        if (!url || !*url) GTEST_SKIP() << "TOLVANE_TEST_POSTGRES is not set (the PostgreSQL test sets it)";
        // Every test starts from an empty database, made anew by the server's own schema.
        openDatabase(url)->connect()->query(
            "DROP TABLE IF EXISTS run_keys, replays, runs, players, schema_version", {});
        store_ = std::make_unique<Store>(openDatabase(url));
    }
    void TearDown() override {
        store_.reset();
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // A run of `player` with a score; the other figures follow from a counter so that
    // no two runs made here are identical unless a test says so.
    NewRun runOf(const std::string& player, const std::string& name, std::int64_t score, std::int64_t at) {
        ++made_;
        NewRun n;
        n.id = sha256Hex("run " + std::to_string(made_));
        n.player = keyOf(player);
        n.name = name;
        n.nameFold = foldName(n.name);
        n.replay = std::string("\x01\0\0\0\0\0", 6);
        n.figures = {1000 + made_, 999 + made_, score, 1, 2, 3, 4, 5, made_};
        n.submittedAt = at;
        return n;
    }
    static std::string keyOf(const std::string& player) { return sha256Hex("key " + player); }

    fs::path dir_;
    std::unique_ptr<Store> store_;
    std::int64_t made_ = 0;
};

TEST_P(StoreTest, SubmissionOutcomes) {
    const std::int64_t t = ms(2026, 5, 5);
    NewRun first = runOf("ann", "Ann", 500, t);
    const Submitted created = store_->submit(first);
    ASSERT_EQ(created.outcome, Outcome::Created);
    EXPECT_EQ(created.run->id, first.id);
    EXPECT_EQ(created.run->figures, first.figures);
    EXPECT_EQ(created.run->submittedAt, t);
    EXPECT_EQ(store_->replay(first.id), first.replay);

    struct Case {
        const char* what;
        NewRun run;
        Outcome expected;
    };
    NewRun again = first;
    again.submittedAt = t + 5000;
    NewRun copied = first; // another player sends the same game
    copied.player = keyOf("bob");
    copied.name = "Bob";
    copied.nameFold = foldName("Bob");
    NewRun lookalike = runOf("bob", "Bob", 0, t); // another file, every figure the same
    lookalike.figures = first.figures;
    NewRun sameFiguresMine = runOf("ann", first.name, 0, t);
    sameFiguresMine.figures = first.figures;
    NewRun nameTaken = runOf("cy", "x", 700, t);
    nameTaken.name = "ANN";
    nameTaken.nameFold = foldName(first.name);
    for (const Case& c : {Case{"the same game again", again, Outcome::AlreadyYours},
                          Case{"the same id from another key", copied, Outcome::TakenByOther},
                          Case{"identical figures from another key", lookalike, Outcome::TakenByOther},
                          Case{"identical figures from the same key", sameFiguresMine, Outcome::AlreadyYours},
                          Case{"a name another key has, in other case", nameTaken, Outcome::NameTaken}}) {
        SCOPED_TRACE(c.what);
        const Submitted s = store_->submit(c.run);
        EXPECT_EQ(s.outcome, c.expected);
        if (c.expected == Outcome::AlreadyYours) {
            EXPECT_EQ(s.run->id, first.id);
            EXPECT_EQ(s.run->submittedAt, t); // the first submission counts
        }
    }
    // Nothing of the refused ones was kept: one player, one run.
    const TablePage page = store_->table(0, 0, 100);
    ASSERT_EQ(page.total, 1);
    EXPECT_EQ(page.entries[0].id, first.id);
    EXPECT_FALSE(store_->nameOwner(foldName("Bob")));

    // A key moves to a free name; its old name is then free for another key.
    NewRun renamed = runOf("ann", "Annie", 400, t);
    ASSERT_EQ(store_->submit(renamed).outcome, Outcome::Created);
    EXPECT_EQ(store_->run(first.id)->name, renamed.name);
    NewRun takesOld = runOf("dee", "x", 300, t);
    takesOld.name = first.name;
    takesOld.nameFold = first.nameFold;
    EXPECT_EQ(store_->submit(takesOld).outcome, Outcome::Created);

    // Hidden: gone from every answer, and the same game cannot come back.
    EXPECT_TRUE(store_->hide(first.id));
    EXPECT_FALSE(store_->run(first.id));
    EXPECT_FALSE(store_->replay(first.id));
    again.name = renamed.name;
    again.nameFold = renamed.nameFold;
    EXPECT_EQ(store_->submit(again).outcome, Outcome::Hidden);
    EXPECT_FALSE(store_->hide(sha256Hex("no such run")));
}

TEST_P(StoreTest, TableIsEachPlayersBestByPeriod) {
    const std::int64_t now = ms(2026, 5, 20, 12); // a Wednesday
    const std::int64_t lastMonth = ms(2026, 4, 30), thisMonth = ms(2026, 5, 2), thisWeek = ms(2026, 5, 18, 3),
                       today = ms(2026, 5, 20, 1);
    struct Sent {
        const char* player;
        std::int64_t score, at;
    };
    std::vector<NewRun> runs;
    for (const Sent& s : {Sent{"ann", 900, lastMonth}, Sent{"ann", 300, today}, Sent{"bob", 500, thisMonth},
                          Sent{"bob", 600, thisWeek}, Sent{"cy", 600, today}, Sent{"dee", 100, today}}) {
        runs.push_back(runOf(s.player, s.player, s.score, s.at));
        ASSERT_EQ(store_->submit(runs.back()).outcome, Outcome::Created);
    }
    struct Case {
        Period period;
        std::vector<std::pair<std::string, std::int64_t>> expected; // player, score, best first
    };
    for (const Case& c : {Case{Period::All, {{"ann", 900}, {"bob", 600}, {"cy", 600}, {"dee", 100}}},
                          Case{Period::Month, {{"bob", 600}, {"cy", 600}, {"ann", 300}, {"dee", 100}}},
                          Case{Period::Week, {{"bob", 600}, {"cy", 600}, {"ann", 300}, {"dee", 100}}},
                          Case{Period::Day, {{"cy", 600}, {"ann", 300}, {"dee", 100}}}}) {
        SCOPED_TRACE(periodName(c.period));
        const std::int64_t since = periodStart(c.period, now);
        const TablePage page = store_->table(since, 0, 100);
        EXPECT_EQ(page.total, static_cast<std::int64_t>(c.expected.size()));
        ASSERT_EQ(page.entries.size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(page.entries[i].player, keyOf(c.expected[i].first)) << i;
            EXPECT_EQ(page.entries[i].figures.score, c.expected[i].second) << i;
            EXPECT_EQ(page.entries[i].rank, static_cast<std::int64_t>(i) + 1);
            // The rank of a run read alone is the place it holds in the table.
            EXPECT_EQ(store_->run(page.entries[i].id, since)->rank, static_cast<std::int64_t>(i) + 1);
        }
        // A page further down carries its own ranks.
        const TablePage second = store_->table(since, 1, 2);
        ASSERT_EQ(second.entries.size(), std::min<std::size_t>(2, c.expected.size() - 1));
        EXPECT_EQ(second.entries[0].rank, 2);
        EXPECT_EQ(second.entries[0].id, page.entries[1].id);
    }
    // A run that is not its player's best: the place it would hold among the others.
    EXPECT_EQ(store_->run(runs[1].id)->rank, 3); // ann's 300: behind bob and cy; her own 900 does not count
    EXPECT_EQ(store_->run(runs[2].id)->rank, 3); // bob's 500: behind ann 900 and cy 600
    // Out of the period: no rank in it.
    EXPECT_FALSE(store_->run(runs[0].id, periodStart(Period::Month, now))->rank);

    std::vector<std::int64_t> starts;
    for (Period p : kPeriods) starts.push_back(periodStart(p, now));
    const auto ann = store_->player(keyOf("ann"), starts, 0, 10);
    ASSERT_TRUE(ann);
    ASSERT_EQ(ann->best.size(), 4u);
    EXPECT_EQ(ann->best[0]->figures.score, 900);
    EXPECT_EQ(ann->best[0]->rank, 1);
    EXPECT_EQ(ann->best[1]->figures.score, 300);
    EXPECT_EQ(ann->best[1]->rank, 3);
    EXPECT_EQ(ann->best[3]->rank, 2);
    EXPECT_EQ(ann->runCount, 2);
    ASSERT_EQ(ann->runs.size(), 2u);
    EXPECT_EQ(ann->runs[0].id, runs[1].id); // newest first
    EXPECT_FALSE(store_->player(keyOf("nobody"), starts, 0, 10));
}

// ---- Branches in the store: a copy is kept as a branch of its original, off the table ----

namespace {

NewRun playedRun(const std::string& key, const std::string& name, const std::string& bytes, std::int64_t at) {
    auto p = tolvane::server::branches::play(bytes);
    EXPECT_TRUE(p.verdict.ok) << p.verdict.reason;
    NewRun n{p.verdict.id, key, name, foldName(name), p.verdict.game, p.verdict.figures, at, nullptr};
    n.play = std::make_shared<const tolvane::server::branches::Play>(std::move(p.play));
    return n;
}

} // namespace

TEST_P(StoreTest, CopiesAreBranchesOffTheTable) {
    setUpHeadlessGames();
    const std::int64_t t = ms(2026, 6, 1);
    const std::string leaderFile = readFile(fs::path(TOLVANE_TEST_DATA) / "autoplay.rep");
    const NewRun lead = playedRun(keyOf("ann"), "Ann", leaderFile, t);
    const Submitted first = store_->submit(lead);
    ASSERT_EQ(first.outcome, Outcome::Created);
    EXPECT_FALSE(first.run->branchOf);
    const NewRun honest = playedRun(keyOf("cy"), "Cy", testsupport::humanGame(5), t + 1);
    ASSERT_EQ(store_->submit(honest).outcome, Outcome::Created);

    // Bob's copies of Ann's run, and Ann's own: branches of it, whoever sends them.
    const auto cheats = testsupport::cheats(lead.replay);
    struct Sent {
        std::string player, name;
        std::size_t cheat;
    };
    std::vector<Submitted> copies;
    for (const Sent& s : {Sent{"bob", "Bob", 0}, Sent{"ann", "Ann", 5}, Sent{"dee", "Dee", 3}}) {
        SCOPED_TRACE(cheats[s.cheat].what);
        const NewRun copy = playedRun(keyOf(s.player), s.name, cheats[s.cheat].bytes, t + 10 + s.cheat);
        copies.push_back(store_->submit(copy));
        ASSERT_EQ(copies.back().outcome, Outcome::Created);
        ASSERT_TRUE(copies.back().run->branchOf);
        EXPECT_EQ(copies.back().run->branchOf->id, lead.id);
        EXPECT_NEAR(copies.back().run->branchOf->frame, std::min(cheats[s.cheat].stops, copy.figures.frames),
                    60);
        EXPECT_GT(copies.back().run->branchOf->shared, 0.8);
        EXPECT_FALSE(copies.back().run->rank) << "a branch holds no place";
        EXPECT_EQ(store_->run(copy.id)->branchOf->id, lead.id);
    }
    // Off the table: Ann's first run and Cy's; Bob and Dee have no best, Ann's stays hers.
    const TablePage table = store_->table(0, 0, 100);
    ASSERT_EQ(table.total, 2);
    EXPECT_EQ(table.entries[0].id, lead.id);
    EXPECT_EQ(table.entries[1].id, honest.id);
    EXPECT_EQ(store_->run(honest.id)->rank, 2) << "branches take no place from others";
    const std::vector<std::int64_t> starts = {0};
    EXPECT_FALSE(store_->player(keyOf("bob"), starts, 0, 10)->best[0]);
    EXPECT_EQ(store_->player(keyOf("ann"), starts, 0, 10)->best[0]->id, lead.id);
    EXPECT_EQ(store_->player(keyOf("ann"), starts, 0, 10)->runCount, 2);

    // Listed under the original, best first, in pages; none under a run without any.
    const auto listed = store_->branches(lead.id, 0, 10);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->total, 3);
    for (std::size_t i = 1; i < listed->entries.size(); ++i)
        EXPECT_GE(listed->entries[i - 1].figures.score, listed->entries[i].figures.score);
    EXPECT_EQ(store_->branches(lead.id, 1, 1)->entries.at(0).id, listed->entries[1].id);
    EXPECT_EQ(store_->branches(honest.id, 0, 10)->total, 0);
    EXPECT_FALSE(store_->branches(sha256Hex("no such run"), 0, 10));

    // The same copy sent again changes nothing, its name included.
    NewRun resent = playedRun(keyOf("bob"), "Robert", cheats[0].bytes, t + 99);
    const Submitted again = store_->submit(resent);
    EXPECT_EQ(again.outcome, Outcome::AlreadyYours);
    EXPECT_EQ(again.run->name, "Bob");
    EXPECT_EQ(again.run->branchOf->id, lead.id);
    EXPECT_FALSE(store_->nameOwner(foldName("Robert")));
    EXPECT_EQ(store_->branches(lead.id, 0, 10)->total, 3);
}

// What is stored is the game: the count of frames played, nothing after the end, the
// bits the game never reads cleared; played again it gives the figures of the file sent.
TEST_P(StoreTest, StoredBytesAreTheGame) {
    setUpHeadlessGames();
    const std::string file = testsupport::humanGame(9);
    std::string padded = file + std::string(37 * 1024, '\x1f');
    std::string highBits = file;
    for (std::size_t i = 4; i < highBits.size(); i += 3) highBits[i] = static_cast<char>(highBits[i] | 0xE0);
    // Another game whose count stops before its end: the input after the count is not played.
    std::string shortCount = testsupport::humanGame(10);
    const Verified full = verifyReplay(shortCount);
    ASSERT_TRUE(full.ok);
    const auto cut = static_cast<std::uint32_t>(full.figures.endFrame / 2);
    for (int i = 0; i < 4; ++i) shortCount[static_cast<std::size_t>(i)] = static_cast<char>(cut >> (8 * i));
    int player = 0;
    for (const auto& [what, bytes] :
         {std::pair{"padded with 37 KiB", padded}, std::pair{"high bits", highBits},
          std::pair{"a short count", shortCount}}) {
        SCOPED_TRACE(what);
        const Verified sent = verifyReplay(bytes);
        ASSERT_TRUE(sent.ok) << sent.reason;
        ++player;
        const NewRun n = playedRun(keyOf("p" + std::to_string(player)), "P" + std::to_string(player), bytes,
                                   ms(2026, 6, 2) + player);
        const Submitted s = store_->submit(n);
        ASSERT_EQ(s.outcome, what == std::string("high bits") ? Outcome::TakenByOther : Outcome::Created);
        const auto stored = store_->replay(n.id);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->size(), static_cast<std::size_t>(sent.figures.frames + 5));
        EXPECT_EQ(*stored, gameBytes(bytes, sent.figures.endFrame));
        for (std::size_t i = 4; i < stored->size(); ++i) ASSERT_EQ((*stored)[i] & 0xE0, 0) << i;
        const Verified again = verifyReplay(*stored);
        ASSERT_TRUE(again.ok) << again.reason;
        EXPECT_EQ(again.figures, sent.figures);
        EXPECT_EQ(again.id, sent.id);
        EXPECT_EQ(again.game, *stored);
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, StoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(PlayerFiles, AllAreReadOrTheRefusalNamesTheFile) {
    const fs::path dir = fs::temp_directory_path() / ("tolvane-player-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<std::string> names = {
        "tolvane-web.js", "tolvane-web.wasm", "wave101.wav", "wave102.wav", "wave103.wav",
        "wave104.wav",    "wave105.wav",      "wave106.wav", "stage1.opus", "stage2.opus",
        "boss.opus",      "lastboss.opus",    "CLEAR.opus"};
    for (const auto& n : names) std::ofstream(dir / n, std::ios::binary) << "bytes of " << n;
    std::ofstream(dir / "other.txt") << "not served";
    std::string why;
    auto files = loadPlayerFiles(dir, &why);
    ASSERT_TRUE(files) << why;
    EXPECT_EQ(files->size(), names.size()) << "only the player's own files";
    EXPECT_EQ(files->at("boss.opus"), "bytes of boss.opus");

    struct Case {
        const char* file;
        std::function<void(const fs::path&)> spoil;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"tolvane-web.wasm", [](const fs::path& p) { fs::remove(p); }, "has no"},
        {"CLEAR.opus", [](const fs::path& p) { fs::remove(p), fs::create_directory(p); }, "has no"},
        {"stage1.opus", [](const fs::path& p) { fs::resize_file(p, 33u << 20); }, "larger than 32 MiB"},
    };
    for (const Case& c : cases) {
        const fs::path p = dir / c.file;
        const std::string kept = readFile(p);
        c.spoil(p);
        why.clear();
        EXPECT_FALSE(loadPlayerFiles(dir, &why)) << c.file;
        EXPECT_NE(why.find(p.string()), std::string::npos) << why;
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
        fs::remove_all(p);
        std::ofstream(p, std::ios::binary) << kept;
    }
    EXPECT_TRUE(loadPlayerFiles(dir, &why)) << "put back, every file is read again";
    fs::remove_all(dir);
}

// A database of schema version 1, as the server before branches left it: the upgrade
// makes every stored replay the game itself, and reverify's steps (play, keys, the
// earlier run shared with, the index written) then find the copy stored back then.
TEST(Migration, VersionOneReplaysBecomeGamesAndCopiesAreFoundAgain) {
    setUpHeadlessGames();
    char tmpl[] = "/tmp/tolvane-migrate-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const fs::path dir = tmpl;
    const std::string path = (dir / "runs.sqlite").string();
    const std::string leader = readFile(fs::path(TOLVANE_TEST_DATA) / "autoplay.rep");
    const std::string copy = testsupport::cheats(leader)[0].bytes;
    const Verified lv = verifyReplay(leader), cv = verifyReplay(copy);
    ASSERT_TRUE(lv.ok && cv.ok);
    std::string sentLeader = leader + std::string(5000, '\x7f'); // as version 1 kept it: the file sent
    for (std::size_t i = 4; i < leader.size(); i += 2)
        sentLeader[i] = static_cast<char>(sentLeader[i] | 0x80);
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        auto exec = [&](const std::string& sql) {
            ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
                << sqlite3_errmsg(db);
        };
        exec("CREATE TABLE schema_version (version INTEGER NOT NULL); INSERT INTO schema_version VALUES (1);"
             "CREATE TABLE players (key TEXT PRIMARY KEY, name TEXT NOT NULL, name_fold TEXT NOT NULL UNIQUE,"
             " created_at INTEGER NOT NULL);"
             "CREATE TABLE runs (seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE,"
             " player TEXT NOT NULL REFERENCES players (key), frames INTEGER NOT NULL, end_frame INTEGER NOT "
             "NULL,"
             " score INTEGER NOT NULL, level INTEGER NOT NULL, max_chain INTEGER NOT NULL,"
             " total_contacts INTEGER NOT NULL, time_bonus INTEGER NOT NULL, final_bonus INTEGER NOT NULL,"
             " time_left INTEGER NOT NULL, submitted_at INTEGER NOT NULL, hidden INTEGER NOT NULL DEFAULT 0);"
             "CREATE UNIQUE INDEX runs_figures ON runs (score, level, max_chain, total_contacts, end_frame,"
             " time_bonus, final_bonus, time_left);"
             "CREATE INDEX runs_order ON runs (hidden, score DESC, seq);"
             "CREATE INDEX runs_player ON runs (player, seq);"
             "CREATE TABLE replays (id TEXT PRIMARY KEY REFERENCES runs (id), bytes BLOB NOT NULL);"
             "INSERT INTO players VALUES ('a', 'Ann', 'ann', 1), ('b', 'Bob', 'bob', 2);");
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db,
                               "INSERT INTO runs (id, player, frames, end_frame, score, level, max_chain,"
                               " total_contacts, time_bonus, final_bonus, time_left, submitted_at)"
                               " VALUES (?, ?, ?, ?, ?, 1, 1, 1, 1, 1, 1, ?)",
                               -1, &st, nullptr),
            SQLITE_OK);
        sqlite3_stmt* rp = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO replays VALUES (?, ?)", -1, &rp, nullptr), SQLITE_OK);
        int at = 0;
        for (const auto& [v, bytes, who] : {std::tuple{lv, sentLeader, "a"}, std::tuple{cv, copy, "b"}}) {
            sqlite3_bind_text(st, 1, v.id.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, who, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(st, 3, v.figures.frames);
            sqlite3_bind_int64(st, 4, v.figures.endFrame);
            sqlite3_bind_int64(st, 5, v.figures.score);
            sqlite3_bind_int64(st, 6, ++at);
            ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
            sqlite3_reset(st);
            sqlite3_bind_text(rp, 1, v.id.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_blob(rp, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
            ASSERT_EQ(sqlite3_step(rp), SQLITE_DONE);
            sqlite3_reset(rp);
        }
        sqlite3_finalize(st);
        sqlite3_finalize(rp);
        sqlite3_close(db);
    }
    Store store(openDatabase(path));
    EXPECT_EQ(store.replay(lv.id), lv.game) << "the game, not the file sent";
    EXPECT_EQ(store.replay(cv.id), cv.game);
    EXPECT_FALSE(store.run(cv.id)->branchOf) << "no verdict before reverify";
    std::vector<std::pair<tolvane::server::Run, std::string>> runs;
    store.forEachRun(
        [&](const tolvane::server::Run& r, const std::string& bytes) { runs.emplace_back(r, bytes); });
    ASSERT_EQ(runs.size(), 2u);
    for (const auto& [r, bytes] : runs) {
        const auto p = tolvane::server::branches::play(bytes);
        const auto keys = tolvane::server::branches::keys(p.play);
        store.setIndex(r.seq, keys, store.originalOf(p.play, keys, r.seq));
    }
    ASSERT_TRUE(store.run(cv.id)->branchOf);
    EXPECT_EQ(store.run(cv.id)->branchOf->id, lv.id);
    EXPECT_FALSE(store.run(lv.id)->branchOf);
    EXPECT_EQ(store.table(0, 0, 10).total, 1);
    fs::remove_all(dir);
}
