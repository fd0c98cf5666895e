// What a copy of another run is (server/branches.h): every way of changing a leader's
// replay is a branch of it, stopping where the copy stops; honest runs, golden or made
// of random human-like input, are not; the index finds every copy and stays in budget.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "server/branches.h"
#include "server/verify.h"
#include "tests/server/branches_support.h"

using namespace tolvane::server;
namespace fs = std::filesystem;

namespace {

const branches::Played& leader() {
    static const branches::Played p = [] {
        setUpHeadlessGames();
        return branches::play(testsupport::readFile(fs::path(TOLVANE_TEST_DATA) / "autoplay.rep"));
    }();
    return p;
}

bool sharesKeys(const branches::Play& a, const branches::Play& b) {
    const auto ka = branches::keys(a), kb = branches::keys(b);
    for (auto k : ka)
        if (std::find(kb.begin(), kb.end(), k) != kb.end()) return true;
    return false;
}

} // namespace

// Each cheat made from the leader's game is a branch of it, found by the index, and its
// shared play stops within a second of where the copy stops.
TEST(Branches, EveryCheatIsABranchOfTheLeaderWhereItStops) {
    const branches::Played& lead = leader();
    ASSERT_TRUE(lead.verdict.ok) << lead.verdict.reason;
    const std::string& game = lead.verdict.game;
    const long frames = lead.play.frames();
    for (const testsupport::Cheat& cheat : testsupport::cheats(game)) {
        SCOPED_TRACE(cheat.what);
        const branches::Played copy = branches::play(cheat.bytes);
        ASSERT_TRUE(copy.verdict.ok) << copy.verdict.reason;
        ASSERT_NE(copy.verdict.id, lead.verdict.id);
        const branches::Sharing s = branches::compare(copy.play, lead.play);
        // The copy stops where its input leaves the leader's for good, or where either game ends.
        const long truth = std::min({cheat.stops, copy.play.frames(), frames});
        EXPECT_TRUE(s.branch);
        EXPECT_NEAR(s.frame, truth, 60) << "true frame " << truth;
        std::printf("%-45s branch frame %6ld, true %6ld, shared %.3f\n", cheat.what, s.frame, truth,
                    s.fraction());
        EXPECT_GT(s.fraction(), cheat.share) << s.runShared << " of " << s.runActive;
        EXPECT_LE(s.fraction(), 1.0);
        EXPECT_TRUE(sharesKeys(copy.play, lead.play)) << "the index finds it";
        // And the store does not pass it by as a chance meeting of keys.
        std::vector<std::int64_t> copyWorld, leadWorld;
        branches::keys(copy.play, &copyWorld);
        branches::keys(lead.play, &leadWorld);
        const bool sameWorld = std::any_of(copyWorld.begin(), copyWorld.end(), [&](std::int64_t k) {
            return std::find(leadWorld.begin(), leadWorld.end(), k) != leadWorld.end();
        });
        EXPECT_TRUE(branches::inputsCopy(copy.play, game) || sameWorld) << "played again to confirm it";
        if (cheat.worldsDiffer) {
            EXPECT_NE(copy.play.world.back(), lead.play.world[copy.play.world.size() - 1]);
        }
    }
}

// Honest runs share no 10 s of play: the golden games with each other, and games of
// random human-like input with each other and with the golden ones.
TEST(Branches, HonestRunsAreNotBranches) {
    setUpHeadlessGames();
    std::vector<std::pair<std::string, branches::Play>> runs;
    for (const auto& entry : fs::directory_iterator(TOLVANE_TEST_DATA)) {
        if (entry.path().extension() != ".rep") continue;
        auto p = branches::play(testsupport::readFile(entry.path()));
        ASSERT_TRUE(p.verdict.ok) << entry.path();
        runs.emplace_back(entry.path().filename().string(), std::move(p.play));
    }
    for (const auto& entry : fs::directory_iterator(fs::path(TOLVANE_TEST_DATA) / "branches")) {
        auto p = branches::play(testsupport::readFile(entry.path()));
        ASSERT_TRUE(p.verdict.ok) << entry.path();
        runs.emplace_back(entry.path().filename().string(), std::move(p.play));
    }
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        auto p = branches::play(testsupport::humanGame(seed));
        ASSERT_TRUE(p.verdict.ok) << seed;
        runs.emplace_back("human " + std::to_string(seed), std::move(p.play));
    }
    int sharedKeys = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        for (std::size_t j = 0; j < runs.size(); ++j) {
            if (i == j) continue;
            const branches::Sharing s = branches::compare(runs[i].second, runs[j].second);
            EXPECT_FALSE(s.branch) << runs[i].first << " against " << runs[j].first << ": " << s.shared
                                   << " frames shared until " << s.frame;
            sharedKeys += i < j && sharesKeys(runs[i].second, runs[j].second);
        }
    }
    std::printf("%d of %zu honest pairs share a key\n", sharedKeys, runs.size() * (runs.size() - 1) / 2);
    // The index seldom sends an honest pair to be played: a few in hundreds of pairs.
    EXPECT_LE(sharedKeys, 3) << "of " << runs.size() * (runs.size() - 1) / 2 << " pairs";
}

// The measure's edges: a run against itself shares all it pressed; an idle run shares
// nothing; every run's index stays in its budget, longest games included.
TEST(Branches, SelfIdleAndBudget) {
    const branches::Played& lead = leader();
    const branches::Sharing self = branches::compare(lead.play, lead.play);
    EXPECT_TRUE(self.branch);
    EXPECT_EQ(self.runShared, self.runActive);
    EXPECT_DOUBLE_EQ(self.fraction(), 1.0);
    EXPECT_EQ(self.frame, lead.play.frames());

    setUpHeadlessGames();
    const auto zero = branches::play(testsupport::readFile(fs::path(TOLVANE_TEST_DATA) / "zero.rep"));
    ASSERT_TRUE(zero.verdict.ok);
    EXPECT_FALSE(branches::compare(zero.play, zero.play).branch) << "idle play is nobody's";
    EXPECT_TRUE(branches::keys(zero.play).empty());

    for (const branches::Play* p : {&lead.play, &zero.play}) {
        const auto k = branches::keys(*p);
        EXPECT_LE(k.size() * branches::kKeyRowBytes, 8u * 1024);
        EXPECT_EQ(std::set<std::int64_t>(k.begin(), k.end()).size(), k.size());
        EXPECT_EQ(std::count(k.begin(), k.end(), 0), 0);
    }
    EXPECT_GE(branches::keys(lead.play).size(), 200u) << "a long game keeps a useful index";
}
