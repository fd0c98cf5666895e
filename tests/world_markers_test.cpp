// The stage banner, the speed-up marker, the results screen and the number drawing,
// and the star streaks.
#include <gtest/gtest.h>

#include "media/dtools.h"
#include "world_test_support.h"

using namespace tolvane;
using tolvane::testing::freshWorld;
using tolvane::testing::spawnAt;

namespace {

// The digit copies of the draw log as (x, digit), in order.
std::vector<std::pair<int, int>> digits(int y) {
    std::vector<std::pair<int, int>> out;
    for (const auto& c : media::drawLog()) {
        if (c.name == "DTBitBlt" && c.args[5] == 3 && c.args[7] == 0 && c.args[6] >= 80 && c.args[6] < 240 &&
            c.args[2] == y) {
            out.emplace_back(static_cast<int>(c.args[1]), static_cast<int>((c.args[6] - 80) / 16));
        }
    }
    return out;
}

} // namespace

TEST(Numbers, RightAlignedWithoutLeadingZeros) {
    struct Case {
        int value, places, x0;
        std::vector<std::pair<int, int>> drawn;
    } cases[] = {
        {12, 3, 360, {{373, 1}, {386, 2}}},
        {0, 9, 290, {{394, 0}}},
        {1234567, 8, 301, {{314, 1}, {327, 2}, {340, 3}, {353, 4}, {366, 5}, {379, 6}, {392, 7}}},
        {1234567890,
         9,
         290,
         {{290, 2}, {303, 3}, {316, 4}, {329, 5}, {342, 6}, {355, 7}, {368, 8}, {381, 9}, {394, 0}}},
        {105, 3, 100, {{100, 1}, {113, 0}, {126, 5}}},
    };
    for (const Case& c : cases) {
        media::setDrawLogging(true);
        drawNumber(c.value, c.places, c.x0, 50);
        EXPECT_EQ(digits(50), c.drawn) << c.value;
    }
}

TEST(Results, EveryLineInItsPlace) {
    auto w = freshWorld();
    w->replayMode = 1;
    w->level = 12;
    w->chain = 345;
    w->totalContacts = 1000;
    w->timeLeft = 0;
    int s = spawnAt(*w, kGameEnd, 6, 0);
    media::setDrawLogging(true);
    behaveGameEnd(*w, s);
    const auto& log = media::drawLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].args, (std::vector<std::int64_t>{0, 0, 0, 640, 480, 4, 0, 0, 1}));
    EXPECT_EQ(digits(140), (std::vector<std::pair<int, int>>{{373, 1}, {386, 2}}));
    EXPECT_EQ(digits(180), (std::vector<std::pair<int, int>>{{366, 3}, {379, 4}, {392, 5}}));
    EXPECT_EQ(digits(220), (std::vector<std::pair<int, int>>{{353, 1}, {366, 3}, {379, 4}, {392, 5}}));
    EXPECT_EQ(digits(260), (std::vector<std::pair<int, int>>{{392, 0}}));
    // finalBonus = 0 + 1345 + 12 * 345 = 5485
    EXPECT_EQ(digits(340), (std::vector<std::pair<int, int>>{{353, 5}, {366, 4}, {379, 8}, {392, 5}}));
    int labels = 0;
    for (const auto& c : log) labels += c.name == "DTBitBlt" && c.args[5] == 3 && c.args[6] >= 224;
    EXPECT_EQ(labels, 8); // MAX, ALL, two contact labels, TIME, BONUS twice, SCORE
    EXPECT_EQ(w->shipY, 540);
    EXPECT_EQ(w->blinkTimer, 120);
}

TEST(Banner, BrakesTheStarsShowsTheCardAndHoldsTheShipOnlyAtTheStart) {
    struct Case {
        float speed, after;
    } speeds[] = {{2400, 2390}, {15, 10}, {10, 10}};
    for (const Case& c : speeds) {
        auto w = freshWorld(100, 100);
        int s = spawnAt(*w, kStageBanner, 6, 0);
        w->starSpeed = c.speed;
        media::setDrawLogging(true);
        behaveStageBanner(*w, s);
        EXPECT_EQ(w->starSpeed, c.after);
        EXPECT_EQ(media::drawLog()[0].args, (std::vector<std::int64_t>{0, 160, 100, 320, 240, 6, 0, 0, 0}));
        EXPECT_EQ(w->shipX, 100); // a later stage's card leaves the ship alone
    }
    auto w = freshWorld(100, 100);
    int s = spawnAt(*w, kStageBanner, 5, 0);
    for (int f = 1; f <= 240; ++f) {
        behaveStageBanner(*w, s);
        EXPECT_EQ(w->objKind[s], f < 240 ? kStageBanner : kFree) << f;
    }
    EXPECT_EQ(w->shipY, 540);
    EXPECT_EQ(w->entryTimer, 80);
}

TEST(SpeedMarker, RaisesTheStarsTo2400ThenGoes) {
    auto w = freshWorld();
    w->starSpeed = 10;
    int s = spawnAt(*w, kSpeedMarker, 6, 0);
    int frames = 0;
    while (w->objKind[s] == kSpeedMarker && frames < 1000) {
        behaveSpeedMarker(*w, s);
        ++frames;
    }
    EXPECT_EQ(frames, 240); // 239 frames to reach 2400, freed in the next
    EXPECT_EQ(w->starSpeed, 2400);
    auto f = freshWorld();
    f->starSpeed = 2400;
    s = spawnAt(*f, kSpeedMarker, 6, 0);
    behaveSpeedMarker(*f, s);
    EXPECT_EQ(f->objKind[s], kFree);
    EXPECT_EQ(f->starSpeed, 2400);
}

TEST(Stars, SpawnAboveTheScreenAndNothingWhenFull) {
    auto w = freshWorld();
    w->starSpeed = 2400;
    Pcg32 before = w->rng;
    spawnStar(*w);
    EXPECT_EQ(w->starActive[0], 1);
    EXPECT_EQ(w->starY[0], -240);
    Pcg32 check = before;
    EXPECT_EQ(w->starX[0], static_cast<i16>(std::nearbyint(640.0 * randomDraw(check))));
    for (int i = 0; i < kStarSlots; ++i) w->starActive[i] = 1;
    before = w->rng;
    spawnStar(*w);
    EXPECT_EQ(w->rng.state, before.state); // no slot, no draw
}
