// A race against a rival: the gap as written, the split points, the rival's world
// stepped exactly as its own playback, and a live game driven by keys whose replay is
// byte for byte the same with and without a rival.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/dtools.h"
#include "media/platform.h"
#include "media/platform_null.h"
#include "records/records.h"
#include "session/harness.h"
#include "session/race.h"
#include "session/session.h"

using namespace tolvane;
namespace pn = platform::null;
namespace fs = std::filesystem;

namespace {

const fs::path kData = TOLVANE_TEST_DATA;

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<fs::path> screenshots() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(recordsDirectory()))
        if (e.path().extension() == ".png") out.push_back(e.path());
    return out;
}

} // namespace

TEST(Race, SignedFigures) {
    const std::pair<long long, const char*> cases[] = {
        {0, "\u00B10"},
        {7, "+7"},
        {999, "+999"},
        {1000, "+1,000"},
        {-12345, "\u221212,345"},
        {1234567, "+1,234,567"},
        {-407187198, "\u2212407,187,198"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(signedFigure(value), text) << value;
}

TEST(Race, SplitsAreTheLaterStageStartsAndTheBossEntries) {
    Session s;
    s.begin();
    std::vector<std::string> got;
    for (const SplitPoint& p : splitPoints(s.world()))
        got.push_back(std::to_string(p.frame) + " " + p.name());
    EXPECT_EQ(got, (std::vector<std::string>{"3700 boss 1", "5500 stage 2", "10600 boss 2", "14250 stage 3",
                                             "15700 boss 3"}));
}

TEST(Race, TheRivalRunsAsItsOwnPlaybackAndStopsAtItsEnd) {
    const std::string file = (kData / "boost.rep").string();
    Session alone;
    std::string why;
    ASSERT_TRUE(alone.startPlayback(file, &why)) << why;
    RivalRun rival;
    ASSERT_TRUE(rival.load(file, &why)) << why;
    rival.begin();
    long frames = 0;
    while (!alone.ended()) {
        alone.frame();
        rival.step();
        ASSERT_EQ(rival.score(), alone.world().score) << "frame " << frames;
        ASSERT_EQ(rival.world().shipX, alone.world().shipX) << "frame " << frames;
        ++frames;
    }
    EXPECT_TRUE(rival.ended());
    EXPECT_EQ(rival.finalScore(), alone.world().score);
    const i32 counter = rival.world().frameCounter;
    rival.step();
    EXPECT_EQ(rival.world().frameCounter, counter) << "an ended rival is not stepped";
    EXPECT_FALSE(RivalRun().load((kData / "missing.rep").string(), &why));
    EXPECT_NE(why.find("missing.rep"), std::string::npos) << why;
}

TEST(Race, SplitsMeasureTheGapAndItsChange) {
    // boost against zero: behind by 34957 at the first boss, ahead by 11822 at stage 2
    // (tolvane-replay compare gives the same figures).
    Session player;
    std::string why;
    ASSERT_TRUE(player.startPlayback((kData / "boost.rep").string(), &why));
    Race race(player, RaceLook{});
    ASSERT_TRUE(race.load((kData / "zero.rep").string(), &why)) << why;
    race.begin();
    std::vector<std::pair<long long, long long>> splits;
    while (player.nextFrame() <= 5500) {
        player.frame();
        race.afterFrame();
        if (race.split().until == player.nextFrame() - 1 + kSplitFrames - 1)
            splits.push_back({race.split().gap, race.split().change});
    }
    EXPECT_EQ(splits, (std::vector<std::pair<long long, long long>>{{-34957, -34957}, {11822, 46779}}));
}

TEST(Race, TheGhostIsDrawnUnderTheShipAndTheRivalDrawsNothingElse) {
    media::setDrawBackend(media::DrawBackend::Offscreen);
    Session player;
    std::string why;
    ASSERT_TRUE(player.startPlayback((kData / "boost.rep").string(), &why));
    DTInit(1, nullptr);
    Race race(player, RaceLook{});
    ASSERT_TRUE(race.load((kData / "zero.rep").string(), &why));
    race.begin();
    while (player.nextFrame() < 2000) {
        player.frame();
        race.afterFrame();
    }
    for (bool shown : {true, false}) {
        if (race.ghostShown() != shown) race.toggleGhost();
        media::setDrawLogging(true);
        player.frame();
        race.afterFrame();
        int clears = 0, ghost = -1, ship = -1, i = 0;
        for (const auto& c : media::drawLog()) {
            if (c.name == "DTClear") ++clears;
            if (c.name == "DTSilhouette") ghost = i;
            if (c.name == "DTBitBlt" && c.args[5] == 1 && ship < 0) ship = i;
            ++i;
        }
        media::setDrawLogging(false);
        EXPECT_EQ(clears, 1) << "the rival's frame draws nothing";
        EXPECT_EQ(ghost >= 0, shown);
        if (shown && ship >= 0) EXPECT_LT(ghost, ship) << "the ghost is under the ship";
    }
    media::setDrawBackend(media::DrawBackend::Null);
}

TEST(Race, ALiveGameByKeysWritesTheSameReplayWithAndWithoutARival) {
    // The real window loop on the null platform: keys held and let go at fixed clock
    // times, a screenshot on the way, Esc once the game has written its replay.
    auto play = [](const std::string& rival) {
        pn::reset();
        fs::remove(recordsDirectory() / "NewReplay.rep");
        for (const auto& p : screenshots()) fs::remove(p);
        pn::setTime(1000, 1);
        const int keys[] = {VK_RIGHT, VK_UP, VK_LEFT, VK_DOWN};
        for (int k = 0; k < 120; ++k) {
            const std::uint32_t at = 3000 + 1500 * k;
            pn::scheduleAt(at, [key = keys[k % 4]] { pn::setKey(key, true); });
            pn::scheduleAt(at + 700 + 37 * (k % 5), [key = keys[k % 4]] { pn::setKey(key, false); });
            if (k % 9 == 4) pn::scheduleAt(at + 100, [] { pn::tapKey(VK_Z); });
        }
        pn::pushEvent({platform::FormEvent::KeyDown, VK_F12}, 40000);
        for (std::uint32_t t = 100000; t < 600000; t += 5000) {
            pn::scheduleAt(t, [] {
                if (fs::exists(recordsDirectory() / "NewReplay.rep"))
                    pn::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE});
            });
        }
        EXPECT_EQ(runGame("", rival), 0);
        const auto shots = screenshots();
        return std::pair{bytesOf(recordsDirectory() / "NewReplay.rep"),
                         shots.size() == 1 ? bytesOf(shots[0]) : std::string()};
    };
    const auto [alone, aloneShot] = play("");
    const auto [raced, racedShot] = play((kData / "zero.rep").string());
    ASSERT_GT(alone.size(), 5000u);
    EXPECT_TRUE(alone == raced) << "the replay is the same with a rival";
    ASSERT_FALSE(aloneShot.empty());
    ASSERT_FALSE(racedShot.empty());
    EXPECT_NE(aloneShot, racedShot) << "the race was shown";
    pn::reset();
    pn::setTime(1000, 1);
    EXPECT_EQ(runGame("", "/nonexistent/rival.rep"), 2) << "a rival that cannot be used is refused";
    pn::reset();
}
