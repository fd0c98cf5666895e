// The server's parts without HTTP: names and signatures, verification against the
// golden replays, the rate limits and the periods, and the store against SQLite (and
// PostgreSQL when TOLVANE_TEST_POSTGRES names one, as the PostgreSQL test does).
#include <gtest/gtest.h>

#include <sodium.h>
#include <sqlite3.h>

#include <pqxx/pqxx>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "names/name_rule.h"
#include "server/app.h"
#include "server/identity.h"
#include "server/pages.h"
#include "server/verify.h"
#include "tests/name_cases.h"
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

namespace {

// A player's key pair and the runs it signs, as a client sends them.
struct Signer {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    std::string key;

    Signer() {
        crypto_sign_keypair(pk, sk);
        key = hexOf({reinterpret_cast<char*>(pk), sizeof pk});
    }
    // The body of POST /api/v1/runs; the name's bytes go in as they are, whatever they are.
    std::string run(const std::string& name, const std::string& replay) const {
        const std::string message = runMessage(key, name, replay);
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                             message.size(), sk);
        return R"({"player": ")" + key + R"(", "name": )" + jsonText(name) + R"(, "replay": ")" +
               toBase64(replay) + R"(", "signature": ")" + hexOf({reinterpret_cast<char*>(sig), sizeof sig}) +
               "\"}";
    }
    static std::string jsonText(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
        return out + "\"";
    }
};

Response ask(App& app, Request req) {
    req.address = req.addressGroup = "127.0.0.1";
    std::promise<Response> answer;
    app.handle(req, [&](Response r) { answer.set_value(std::move(r)); });
    return answer.get_future().get();
}

Response postRun(App& app, const std::string& body) {
    Request req;
    req.method = "POST";
    req.path = "/api/v1/runs";
    req.body = body;
    return ask(app, std::move(req));
}

std::string errorOf(const Response& r) {
    const auto body = nlohmann::json::parse(r.body, nullptr, false);
    return body.is_object() && body.contains("error") ? body["error"].get<std::string>() : "";
}

} // namespace

// Every name case (tests/name_cases.h, the menu's test has them too) sent as a run:
// refused with the rule's reason, or stored in its normal form and then held against
// every other accepted name sent by another key: a look-alike is refused (403), any
// other name passes (and the replay, which is no game, is what is refused).
TEST(Names, EveryRunSentFollowsTheOneRule) {
    ASSERT_TRUE(setUpIdentity());
    setUpHeadlessGames();
    char dir[] = "/tmp/tolvane-names-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    Settings settings;
    settings.workers = 1;
    settings.requestsPerSecond = settings.submitsPerMinute = settings.playerSubmitsPerMinute = 1e9;
    const Signer owner, other;
    const std::string game = readFile(fs::path(TOLVANE_TEST_DATA) / "zero.rep");
    const std::string notAGame = "\x01";
    const auto& cases = nameCases();
    int table = 0;
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        // A table of its own for each name: a run sent again changes nothing, the name
        // included, so the owner's name is the one its first run came with.
        auto app =
            std::make_unique<App>(std::make_unique<Store>(openDatabase(std::string(dir) + "/runs" +
                                                                       std::to_string(table++) + ".sqlite")),
                                  settings);
        const Response r = postRun(*app, owner.run(c.name, game));
        if (!c.accepted) {
            EXPECT_EQ(r.status, 400) << r.body;
            // Bytes that are not UTF-8 are not JSON, and go no further.
            const bool json = nlohmann::json::accept(Signer::jsonText(c.name));
            EXPECT_EQ(errorOf(r), json ? *names::problem(c.name) : "the body is not JSON");
            continue;
        }
        ASSERT_TRUE(r.status == 200 || r.status == 201) << r.body;
        EXPECT_EQ(nlohmann::json::parse(r.body)["name"], c.shown());
        for (const NameCase& d : cases) {
            if (!d.accepted || &d == &c) continue;
            SCOPED_TRACE(d.what);
            const Response t = postRun(*app, other.run(d.name, notAGame));
            if (c.group != 0 && d.group == c.group) {
                EXPECT_EQ(t.status, 403);
                std::string why = "the name \"" + d.shown() + "\" belongs to another player";
                if (d.shown() != c.shown()) why += ": it reads the same as their name \"" + c.shown() + "\"";
                EXPECT_EQ(errorOf(t), why);
            } else {
                EXPECT_EQ(t.status, 400);
                EXPECT_TRUE(errorOf(t).starts_with("the replay cannot be used")) << errorOf(t);
            }
        }
    }
    fs::remove_all(dir);
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
        n.nameFold = names::skeleton(n.name);
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
    copied.nameFold = names::skeleton("Bob");
    NewRun lookalike = runOf("bob", "Bob", 0, t); // another file, every figure the same
    lookalike.figures = first.figures;
    NewRun sameFiguresMine = runOf("ann", first.name, 0, t);
    sameFiguresMine.figures = first.figures;
    NewRun nameTaken = runOf("cy", "x", 700, t);
    nameTaken.name = "ANN";
    nameTaken.nameFold = names::skeleton(first.name);
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
    EXPECT_FALSE(store_->nameOwner(names::skeleton("Bob")));

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

// The rankings in memory against the rule itself, over runs with many equal scores:
// pages of every period at several offsets, every run's rank, every player's best and
// listed runs; then runs stored by another server on the same database, and one hidden
// there, each seen here once a second has passed.
TEST_P(StoreTest, RanksAreTheRuleWhateverTheOffset) {
    using StoredRun = tolvane::server::Run; // the fixture has a Run of its own
    const std::int64_t now = ms(2026, 5, 20, 12);
    std::vector<std::int64_t> starts;
    for (Period p : kPeriods) starts.push_back(periodStart(p, now));
    std::vector<StoredRun> sent;
    std::set<std::string> hidden;
    std::uint32_t lcg = 12345;
    auto next = [&](std::uint32_t n) {
        lcg = lcg * 1103515245u + 12345u;
        return static_cast<std::int64_t>((lcg >> 16) % n);
    };
    for (int i = 0; i < 120; ++i) {
        const std::string who = "p" + std::to_string(next(25));
        const Submitted s = store_->submit(runOf(who, who, 100 * next(8), now - next(40) * 86400000LL));
        ASSERT_EQ(s.outcome, Outcome::Created);
        sent.push_back(*s.run);
    }
    auto better = [](const StoredRun& a, const StoredRun& b) {
        return a.figures.score > b.figures.score || (a.figures.score == b.figures.score && a.seq < b.seq);
    };
    auto counted = [&](const StoredRun& r, std::int64_t since) {
        return !hidden.count(r.id) && r.submittedAt >= since;
    };
    // One more than the number of other players with a better run.
    auto rankOf = [&](const StoredRun& r, std::int64_t since) {
        std::set<std::string> ahead;
        for (const StoredRun& o : sent)
            if (counted(o, since) && o.player != r.player && better(o, r)) ahead.insert(o.player);
        return static_cast<std::int64_t>(ahead.size()) + 1;
    };
    auto check = [&](Store& store) {
        for (std::int64_t since : starts) {
            SCOPED_TRACE(rfc3339(since));
            std::map<std::string, const StoredRun*> best;
            for (const StoredRun& r : sent) {
                if (!counted(r, since)) continue;
                const StoredRun*& b = best[r.player];
                if (!b || better(r, *b)) b = &r;
            }
            std::vector<const StoredRun*> expected;
            for (const auto& [player, r] : best) expected.push_back(r);
            std::sort(expected.begin(), expected.end(),
                      [&](const StoredRun* a, const StoredRun* b) { return better(*a, *b); });
            for (std::size_t offset : {0, 3, 7, 19, 40}) {
                const TablePage page = store.table(since, static_cast<std::int64_t>(offset), 5);
                EXPECT_EQ(page.total, static_cast<std::int64_t>(expected.size()));
                const std::size_t want =
                    offset >= expected.size() ? 0 : std::min<std::size_t>(5, expected.size() - offset);
                ASSERT_EQ(page.entries.size(), want) << offset;
                for (std::size_t i = 0; i < want; ++i) {
                    EXPECT_EQ(page.entries[i].id, expected[offset + i]->id) << offset + i;
                    EXPECT_EQ(page.entries[i].rank, static_cast<std::int64_t>(offset + i) + 1);
                    EXPECT_EQ(page.entries[i].rank, rankOf(*expected[offset + i], since));
                }
            }
            for (const StoredRun& r : sent) {
                const auto got = store.run(r.id, since);
                ASSERT_EQ(got.has_value(), !hidden.count(r.id));
                if (!got) continue;
                EXPECT_EQ(got->rank, r.submittedAt < since ? std::nullopt : std::optional(rankOf(r, since)))
                    << r.id;
            }
            for (const auto& [player, r] : best) {
                const auto page = store.player(player, {since}, 0, 100);
                ASSERT_TRUE(page && page->best.size() == 1 && page->best[0]);
                EXPECT_EQ(page->best[0]->id, r->id);
                EXPECT_EQ(page->best[0]->rank, rankOf(*r, since));
                for (const StoredRun& listed : page->runs)
                    EXPECT_EQ(listed.rank, rankOf(listed, 0)) << listed.id;
            }
        }
    };
    check(*store_);

    std::unique_ptr<Store> other;
    if (GetParam() == "sqlite")
        other = std::make_unique<Store>(openDatabase((dir_ / "runs.sqlite").string()));
    else
        other = std::make_unique<Store>(openDatabase(std::getenv("TOLVANE_TEST_POSTGRES")));
    // Runs only added there: taken in without building the rankings again.
    for (const auto& [who, score] : {std::pair{"p3", 650}, {"late", 50}, {"p7", 250}}) {
        const Submitted s = other->submit(runOf(who, who, score, now - 86400000LL));
        ASSERT_EQ(s.outcome, Outcome::Created);
        sent.push_back(*s.run);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    check(*store_);
    // A run hidden there: built again.
    const StoredRun leader = store_->table(0, 0, 1).entries.at(0);
    const Submitted top = other->submit(runOf("newcomer", "newcomer", 5000, now));
    ASSERT_EQ(top.outcome, Outcome::Created);
    ASSERT_TRUE(other->hide(leader.id));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    sent.push_back(*top.run);
    hidden.insert(leader.id);
    check(*store_);
    EXPECT_EQ(store_->table(0, 0, 1).entries.at(0).id, top.run->id);
}

// ---- Branches in the store: a copy is kept as a branch of its original, off the table ----

namespace {

NewRun playedRun(const std::string& key, const std::string& name, const std::string& bytes, std::int64_t at) {
    auto p = tolvane::server::branches::play(bytes);
    EXPECT_TRUE(p.verdict.ok) << p.verdict.reason;
    NewRun n{p.verdict.id, key, name, names::skeleton(name), p.verdict.game, p.verdict.figures, at, nullptr};
    n.play = std::make_shared<const tolvane::server::branches::Play>(std::move(p.play));
    return n;
}

} // namespace

// Runs stored in one batch are judged as if sent one after another: a run already in the
// batch is taken, its name is taken, and a copy of it is its branch; a refusal keeps the
// runs beside it.
TEST_P(StoreTest, ABatchIsRunsStoredOneAfterAnother) {
    setUpHeadlessGames();
    const std::int64_t t = ms(2026, 6, 2);
    const NewRun lead =
        playedRun(keyOf("ann"), "Ann", readFile(fs::path(TOLVANE_TEST_DATA) / "autoplay.rep"), t);
    NewRun same = lead;
    same.player = keyOf("bob");
    same.name = "Bob";
    same.nameFold = names::skeleton("Bob");
    const NewRun copy = playedRun(keyOf("cy"), "Cy", testsupport::cheats(lead.replay)[0].bytes, t + 1);
    const NewRun nameOfAnn = playedRun(keyOf("dee"), "Ann", testsupport::humanGame(5), t + 2);
    const NewRun honest = playedRun(keyOf("eve"), "Eve", testsupport::humanGame(6), t + 3);
    std::vector<ReadyRun> batch;
    for (const NewRun& n : {lead, same, copy, nameOfAnn, honest}) batch.push_back(store_->ready(n));
    const std::vector<Submitted> got = store_->store(batch);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].outcome, Outcome::Created);
    EXPECT_EQ(got[1].outcome, Outcome::TakenByOther);
    ASSERT_EQ(got[2].outcome, Outcome::Created);
    ASSERT_TRUE(got[2].run->branchOf) << "a copy of a run stored just before it, in the same batch";
    EXPECT_EQ(got[2].run->branchOf->id, lead.id);
    EXPECT_EQ(got[3].outcome, Outcome::NameTaken);
    ASSERT_EQ(got[4].outcome, Outcome::Created);
    EXPECT_EQ(got[4].run->rank, 2);
    const TablePage table = store_->table(0, 0, 10);
    ASSERT_EQ(table.total, 2);
    EXPECT_EQ(table.entries[0].id, lead.id);
    EXPECT_EQ(table.entries[1].id, honest.id);

    // A run another server stored between the look and the write is found in the index.
    const NewRun theirs =
        playedRun(keyOf("fay"), "Fay", readFile(fs::path(TOLVANE_TEST_DATA) / "hunter.rep"), t + 4);
    const NewRun copyOfTheirs =
        playedRun(keyOf("gus"), "Gus", testsupport::cheats(theirs.replay)[1].bytes, t + 5);
    const ReadyRun looked = store_->ready(copyOfTheirs);
    std::unique_ptr<Store> other = std::make_unique<Store>(openDatabase(
        GetParam() == "sqlite" ? (dir_ / "runs.sqlite").string() : std::getenv("TOLVANE_TEST_POSTGRES")));
    ASSERT_EQ(other->submit(theirs).outcome, Outcome::Created);
    const Submitted late = store_->store({looked}).at(0);
    ASSERT_EQ(late.outcome, Outcome::Created);
    ASSERT_TRUE(late.run->branchOf);
    EXPECT_EQ(late.run->branchOf->id, theirs.id);
}

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
    EXPECT_FALSE(store_->nameOwner(names::skeleton("Robert")));
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

// ---- Schema version 2: the stored players under the one name rule ----

namespace {

// The tables of a version 1 database, word for word as the servers of that version made
// them, SQLite's and then PostgreSQL's.
// clang-format off
const std::vector<const char*> kVersion1Sqlite = {
    "CREATE TABLE players (key TEXT PRIMARY KEY, name TEXT NOT NULL, name_fold TEXT NOT NULL UNIQUE,"
    "  created_at INTEGER NOT NULL)",
    "CREATE TABLE runs (seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE,"
    "  player TEXT NOT NULL REFERENCES players (key),"
    "  frames INTEGER NOT NULL, end_frame INTEGER NOT NULL, score INTEGER NOT NULL,"
    "  level INTEGER NOT NULL, max_chain INTEGER NOT NULL, total_contacts INTEGER NOT NULL,"
    "  time_bonus INTEGER NOT NULL, final_bonus INTEGER NOT NULL, time_left INTEGER NOT NULL,"
    "  submitted_at INTEGER NOT NULL, hidden INTEGER NOT NULL DEFAULT 0)",
    "CREATE UNIQUE INDEX runs_figures ON runs"
    "  (score, level, max_chain, total_contacts, end_frame, time_bonus, final_bonus, time_left)",
    "CREATE INDEX runs_order ON runs (hidden, score DESC, seq)",
    "CREATE INDEX runs_player ON runs (player, seq)",
    "CREATE TABLE replays (id TEXT PRIMARY KEY REFERENCES runs (id), bytes BLOB NOT NULL)",
    "CREATE TABLE schema_version (version INTEGER NOT NULL)",
};
const std::vector<const char*> kVersion1Postgres = {
    "CREATE TABLE players (key TEXT PRIMARY KEY, name TEXT NOT NULL, name_fold TEXT NOT NULL UNIQUE,"
    "  created_at BIGINT NOT NULL)",
    "CREATE TABLE runs (seq BIGSERIAL PRIMARY KEY, id TEXT NOT NULL UNIQUE,"
    "  player TEXT NOT NULL REFERENCES players (key),"
    "  frames BIGINT NOT NULL, end_frame BIGINT NOT NULL, score BIGINT NOT NULL,"
    "  level BIGINT NOT NULL, max_chain BIGINT NOT NULL, total_contacts BIGINT NOT NULL,"
    "  time_bonus BIGINT NOT NULL, final_bonus BIGINT NOT NULL, time_left BIGINT NOT NULL,"
    "  submitted_at BIGINT NOT NULL, hidden INTEGER NOT NULL DEFAULT 0)",
    "CREATE UNIQUE INDEX runs_figures ON runs"
    "  (score, level, max_chain, total_contacts, end_frame, time_bonus, final_bonus, time_left)",
    "CREATE INDEX runs_order ON runs (hidden, score DESC, seq)",
    "CREATE INDEX runs_player ON runs (player, seq)",
    "CREATE TABLE replays (id TEXT PRIMARY KEY REFERENCES runs (id), bytes BYTEA NOT NULL)",
    "CREATE TABLE schema_version (version INTEGER NOT NULL)",
};
// clang-format on
constexpr const char* kOldPlayer =
    "INSERT INTO players (key, name, name_fold, created_at) VALUES ($1, $2, $3, $4)";
constexpr const char* kOldRun =
    "INSERT INTO runs (id, player, frames, end_frame, score, level, max_chain, total_contacts, time_bonus, "
    "final_bonus, time_left, submitted_at) VALUES ($1, $2, 1, 0, 50, 1, 0, 0, 0, 0, 0, 0)";

struct OldPlayer {
    std::string key, name;
    std::int64_t createdAt;
};

// Version 1 folded names in ASCII case alone.
std::string asciiFold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void makeVersion1Sqlite(const std::string& path, const std::vector<OldPlayer>& players,
                        const std::string& run) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    auto exec = [&](std::string sql, const std::vector<std::string>& params) {
        for (char& c : sql)
            if (c == '$') c = '?';
        sqlite3_stmt* stmt = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        for (std::size_t i = 0; i < params.size(); ++i)
            sqlite3_bind_text(stmt, static_cast<int>(i) + 1, params[i].c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
    };
    for (const char* statement : kVersion1Sqlite) exec(statement, {});
    exec("INSERT INTO schema_version (version) VALUES (1)", {});
    for (const OldPlayer& p : players)
        exec(kOldPlayer, {p.key, p.name, asciiFold(p.name), std::to_string(p.createdAt)});
    exec(kOldRun, {sha256Hex("an old run"), run});
    sqlite3_close(db);
}

void makeVersion1Postgres(const std::string& url, const std::vector<OldPlayer>& players,
                          const std::string& run) {
    pqxx::connection c(url);
    pqxx::work w(c);
    w.exec0("DROP TABLE IF EXISTS run_keys, replays, runs, players, schema_version");
    for (const char* statement : kVersion1Postgres) w.exec0(statement);
    w.exec0("INSERT INTO schema_version (version) VALUES (1)");
    for (const OldPlayer& p : players)
        w.exec_params0(kOldPlayer, p.key, p.name, asciiFold(p.name), p.createdAt);
    w.exec_params0(kOldRun, sha256Hex("an old run"), run);
    w.commit();
}

} // namespace

class MigrationTest : public ::testing::TestWithParam<std::string> {
  protected:
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }
    fs::path dir_;
};

// Every player in the order they came: a name that reads the same as an earlier one's,
// or that the rule refuses, becomes one made from it and the key (more of the key when
// that is taken too); every other name is kept in its normal form. The runs stay.
TEST_P(MigrationTest, StoredNamesComeUnderTheOneRule) {
    const auto key = [](const char* who) { return sha256Hex(std::string("key ") + who); };
    const auto tagged = [](const std::string& name, const std::string& k, std::size_t digits) {
        return name + " (" + k.substr(0, digits) + ")";
    };
    // Two keys that came at the same moment: the smaller is the earlier.
    const std::string tieFirst = std::min(key("tie a"), key("tie b")),
                      tieSecond = std::max(key("tie a"), key("tie b"));
    struct Case {
        OldPlayer before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {{key("holder"), tagged("Leader", key("fullwidth"), 8), 10}, tagged("Leader", key("fullwidth"), 8)},
        {{key("latin"), "Leader", 11}, "Leader"},
        {{key("cyrillic"), "L\u0435ader", 12}, tagged("L\u0435ader", key("cyrillic"), 8)},
        {{key("fullwidth"), "\uFF2C\uFF45\uFF41\uFF44\uFF45\uFF52", 13},
         tagged("Leader", key("fullwidth"), 12)},
        {{key("joiner"), "Leader\u200D", 14}, tagged("Leader", key("joiner"), 8)},
        {{key("soft"), "soft\u00ADhyphen", 15}, tagged("softhyphen", key("soft"), 8)},
        {{tieSecond, "P-autoplay", 16}, tagged("P-autoplay", tieSecond, 8)},
        {{tieFirst, "\u0420-autoplay", 16}, "\u0420-autoplay"},
        {{key("capital"), "\u00C4B", 17}, "\u00C4B"},
        {{key("small"), "\u00E4b", 18}, tagged("\u00E4b", key("small"), 8)},
        {{key("long"), repeated("\u337F", 7), 19}, tagged("株式会社株式会社株式会社株", key("long"), 8)},
        {{key("invisible"), "\u2060", 20}, "(" + key("invisible").substr(0, 8) + ")"},
        {{key("decomposed"), "Zoe\u0308", 21}, "Zo\u00EB"},
        {{key("kanji"), "山田太郎", 22}, "山田太郎"},
    };
    std::vector<OldPlayer> players;
    for (const Case& c : cases) players.push_back(c.before);

    std::string where;
    if (GetParam() == "sqlite") {
        char tmpl[] = "/tmp/tolvane-migrate-XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        dir_ = tmpl;
        where = (dir_ / "runs.sqlite").string();
        makeVersion1Sqlite(where, players, key("cyrillic"));
    } else {
        const char* url = std::getenv("TOLVANE_TEST_POSTGRES");
        if (!url || !*url) GTEST_SKIP() << "TOLVANE_TEST_POSTGRES is not set (the PostgreSQL test sets it)";
        where = url;
        makeVersion1Postgres(where, players, key("cyrillic"));
    }
    if (HasFatalFailure()) return;

    Store store(openDatabase(where));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before.name);
        const auto page = store.player(c.before.key, {}, 0, 0);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->name, c.after);
        EXPECT_FALSE(names::problem(c.after)) << *names::problem(c.after);
        EXPECT_EQ(store.nameOwner(names::skeleton(c.after)), c.before.key);
    }
    const auto run = store.run(sha256Hex("an old run"));
    ASSERT_TRUE(run);
    EXPECT_EQ(run->name, tagged("L\u0435ader", key("cyrillic"), 8));
    EXPECT_EQ(store.nameOwner(names::skeleton("leader")), key("latin"));
}

INSTANTIATE_TEST_SUITE_P(Databases, MigrationTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });
// ---- The App over a database that can be made to wait ----

namespace {

// Gates on a database: while shut, queries on the runs (reads outside a transaction) or
// transactions (writes) wait until it opens again. The prober's look at schema_version
// always passes.
struct Gates {
    std::mutex m;
    std::condition_variable cv;
    bool readsShut = false, writesShut = false;
    int readsWaiting = 0, writesWaiting = 0;
    void pass(bool write) {
        std::unique_lock lock(m);
        int& waiting = write ? writesWaiting : readsWaiting;
        ++waiting;
        cv.notify_all();
        cv.wait(lock, [&] { return !(write ? writesShut : readsShut); });
        --waiting;
    }
    void set(bool reads, bool writes) {
        std::lock_guard lock(m);
        readsShut = reads;
        writesShut = writes;
        cv.notify_all();
    }
    bool waitFor(int& count, int n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(30), [&] { return count >= n; });
    }
};

class GatedConnection final : public SqlConnection {
  public:
    GatedConnection(std::unique_ptr<SqlConnection> inner, Gates& gates)
        : inner_(std::move(inner)), gates_(gates) {}
    SqlRows query(std::string_view sql, const SqlParams& params) override {
        if (!inTransaction_ && sql.find("runs") != std::string_view::npos) gates_.pass(false);
        return inner_->query(sql, params);
    }
    void begin() override {
        gates_.pass(true);
        inner_->begin();
        inTransaction_ = true;
    }
    void commit() override {
        inTransaction_ = false;
        inner_->commit();
    }
    void rollback() override {
        inTransaction_ = false;
        inner_->rollback();
    }

  private:
    std::unique_ptr<SqlConnection> inner_;
    Gates& gates_;
    bool inTransaction_ = false;
};

class GatedDatabase final : public SqlDatabase {
  public:
    GatedDatabase(std::unique_ptr<SqlDatabase> inner, Gates& gates)
        : inner_(std::move(inner)), gates_(gates) {}
    std::unique_ptr<SqlConnection> connect() override {
        return std::make_unique<GatedConnection>(inner_->connect(), gates_);
    }
    const char* kind() const override { return inner_->kind(); }

  private:
    std::unique_ptr<SqlDatabase> inner_;
    Gates& gates_;
};

struct Answer {
    std::mutex m;
    std::condition_variable cv;
    std::optional<Response> response;
    bool ready() {
        std::lock_guard lock(m);
        return response.has_value();
    }
    Response wait() {
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(30), [&] { return response.has_value(); });
        return response.value_or(Response{0, "", "no answer in 30 s", {}});
    }
};

std::shared_ptr<Answer> askLater(App& app, Request req) {
    auto a = std::make_shared<Answer>();
    app.handle(req, [a](Response r) {
        std::lock_guard lock(a->m);
        a->response = std::move(r);
        a->cv.notify_all();
    });
    return a;
}

Request get(const std::string& path, const std::map<std::string, std::string>& query = {}) {
    Request r;
    r.method = "GET";
    r.path = path;
    r.query = query;
    r.address = r.addressGroup = "192.0.2.1";
    return r;
}

std::string header(const Response& r, const std::string& name) {
    for (const auto& [n, v] : r.headers)
        if (n == name) return v;
    return "";
}

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(setUpIdentity());
        setUpHeadlessGames();
        char tmpl[] = "/tmp/tolvane-app-XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        dir_ = tmpl;
    }
    void TearDown() override {
        gates_.set(false, false);
        app_.reset();
        fs::remove_all(dir_);
    }
    void start(Settings s) {
        s.requestsPerSecond = s.submitsPerMinute = s.playerSubmitsPerMinute = 1e9;
        app_ = std::make_unique<App>(std::make_unique<Store>(std::make_unique<GatedDatabase>(
                                         openSqlite((dir_ / "runs.sqlite").string()), gates_)),
                                     s);
    }
    // A signed submission of zero.rep with a bomb at `frame` (another whole game), from a
    // player of its own, sent from `group`.
    Request submission(int frame, const std::string& group) {
        std::string replay = readFile(fs::path(TOLVANE_TEST_DATA) / "zero.rep");
        replay[4 + static_cast<std::size_t>(frame)] = static_cast<char>(replay[4 + frame] | 16);
        unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
        crypto_sign_keypair(pk, sk);
        const std::string player = hexOf({reinterpret_cast<char*>(pk), sizeof pk});
        const std::string name = "p" + std::to_string(frame);
        const std::string message = runMessage(player, name, replay);
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                             message.size(), sk);
        Request r;
        r.method = "POST";
        r.path = "/api/v1/runs";
        r.address = r.addressGroup = group;
        r.body = nlohmann::json{{"player", player},
                                {"name", name},
                                {"replay", toBase64(replay)},
                                {"signature", hexOf({reinterpret_cast<char*>(sig), sizeof sig})}}
                     .dump();
        return r;
    }

    fs::path dir_;
    Gates gates_;
    std::unique_ptr<App> app_;
};

} // namespace

// Readers held up by the database: requests wait for them without holding an event
// thread, one more than the queue holds is refused at once, and /healthz answers.
TEST_F(AppTest, HealthAnswersWhileTheReadersWait) {
    Settings s;
    s.readers = 1;
    s.readQueue = 1;
    start(s);
    gates_.set(true, false);
    auto first = askLater(*app_, get("/api/v1/table", {{"offset", "5"}}));
    ASSERT_TRUE(gates_.waitFor(gates_.readsWaiting, 1)); // the reader is in the database
    auto second = askLater(*app_, get("/api/v1/runs/" + std::string(64, 'a')));
    auto third = askLater(*app_, get("/api/v1/players/" + std::string(64, 'b')));
    ASSERT_TRUE(third->ready()) << "refused at once";
    const Response busy = third->wait();
    EXPECT_EQ(busy.status, 503);
    EXPECT_GE(std::stoi(header(busy, "Retry-After").empty() ? "0" : header(busy, "Retry-After")), 1);
    auto health = askLater(*app_, get("/healthz"));
    ASSERT_TRUE(health->ready()) << "answered without a reader";
    EXPECT_EQ(health->wait().status, 200);
    EXPECT_FALSE(first->ready());
    EXPECT_FALSE(second->ready());
    gates_.set(false, false);
    EXPECT_EQ(first->wait().status, 200);
    EXPECT_EQ(second->wait().status, 404);
}

// One address group holds at most a quarter of the queue, waiting or played: its next
// run is refused with 429 while another group's is taken, and its place comes back
// with the answer.
TEST_F(AppTest, AnAddressGroupHoldsAQuarterOfTheQueue) {
    Settings s;
    s.workers = 1;
    s.queue = 4; // one place per group
    start(s);
    gates_.set(false, true);
    auto held = askLater(*app_, submission(600, "198.51.100.7"));
    ASSERT_TRUE(gates_.waitFor(gates_.writesWaiting, 1)); // played, and waiting to be stored
    const Response refused = askLater(*app_, submission(601, "198.51.100.7"))->wait();
    EXPECT_EQ(refused.status, 429) << refused.body;
    EXPECT_GE(std::stoi(header(refused, "Retry-After").empty() ? "0" : header(refused, "Retry-After")), 1);
    EXPECT_NE(refused.body.find("waiting to be verified"), std::string::npos) << refused.body;
    auto other = askLater(*app_, submission(602, "2001:db8::/64"));
    gates_.set(false, false);
    EXPECT_EQ(held->wait().status, 201);
    EXPECT_EQ(other->wait().status, 201);
    EXPECT_EQ(askLater(*app_, submission(603, "198.51.100.7"))->wait().status, 201);
}

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
