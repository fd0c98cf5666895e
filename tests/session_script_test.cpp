// The stage script: its entries, the exchange sort and the cursor that fires them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "session/harness.h"
#include "session/session.h"

using namespace tolvane;

namespace {

std::unique_ptr<World> scriptedWorld() {
    auto w = std::make_unique<World>();
    buildStageScript(*w);
    return w;
}

} // namespace

TEST(StageScript, HasNinetyFourEntriesInTimeOrder) {
    auto w = scriptedWorld();
    ASSERT_EQ(w->scriptCount, 94);
    for (int i = 1; i < w->scriptCount; ++i) EXPECT_LE(w->scriptTime[i - 1], w->scriptTime[i]) << i;
    EXPECT_EQ(w->scriptTime[94], 0); // the slot after the last entry ends the script
    // First and last entries: the stage-1 banner and the end of the game.
    EXPECT_EQ(w->scriptTime[0], 1);
    EXPECT_EQ(w->scriptKind[0], kStageBanner);
    EXPECT_EQ(w->scriptX[0], 5);
    EXPECT_EQ(w->scriptTime[93], 24400);
    EXPECT_EQ(w->scriptKind[93], kGameEnd);
}

TEST(StageScript, SortInterleavesTheTwoSidesOfTheSwoopWave) {
    auto w = scriptedWorld();
    // Entries 49..58 (0-based 48..57) fire one from each side every 10 frames.
    const int times[] = {7900, 7900, 7910, 7910, 7920, 7920, 7930, 7930, 7940, 7940};
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(w->scriptTime[48 + k], times[k]) << k;
        EXPECT_EQ(w->scriptKind[48 + k], kSwoopEnemy);
        EXPECT_EQ(w->scriptX[48 + k], k % 2 == 0 ? -30 : 670) << k;
    }
    // Equal times keep their append order: the four ring enemies of frame 400.
    const int ringX[] = {260, 380, 140, 500};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(w->scriptX[2 + k], ringX[k]);
}

TEST(StageScript, SortLeavesAnOrderedScriptUnchangedAndSortsReversedOne) {
    auto w = std::make_unique<World>();
    for (int t = 1; t <= 50; ++t)
        addScriptEntry(*w, t * 10, static_cast<i16>(t % 17 + 1), static_cast<i16>(t), 0);
    sortStageScript(*w);
    for (int t = 1; t <= 50; ++t) EXPECT_EQ(w->scriptX[t - 1], t);

    auto r = std::make_unique<World>();
    for (int t = 50; t >= 1; --t) addScriptEntry(*r, t, 1, static_cast<i16>(t), 0);
    sortStageScript(*r);
    for (int t = 1; t <= 50; ++t) EXPECT_EQ(r->scriptTime[t - 1], t);
}

TEST(StageScript, DropsEntriesBeyondTheTable) {
    auto w = std::make_unique<World>();
    for (int i = 0; i < 10005; ++i) addScriptEntry(*w, 5, 1, static_cast<i16>(i % 1000), 0);
    EXPECT_EQ(w->scriptCount, 10001);
}

TEST(StageScript, EntriesFireOnTheirFramesAndAFullScriptStopsTheCursor) {
    Session game;
    World& w = game.world();
    for (int i = 0; i < kScriptSlots; ++i) addScriptEntry(w, 1, kSpeedMarker, 6, 0);
    game.preparePlayback();
    game.begin(false);
    game.frame(); // frameCounter 0 during the first frame: nothing fires
    EXPECT_EQ(w.scriptCursor, 0);
    game.frame(); // all entries at frame 1 fire in the second frame
    EXPECT_EQ(w.scriptCursor, kScriptSlots);
    game.frame();
    EXPECT_EQ(w.scriptCursor, kScriptSlots);
}

TEST(StageScript, FramesOfTheStagesAndBosses) {
    auto w = scriptedWorld();
    struct Expect {
        int kind, x, time;
    };
    const std::vector<Expect> firsts = {{kStageBanner, 5, 1},     {kFirstBoss, 320, 3700},
                                        {kStageBanner, 6, 5500},  {kSecondBoss, 320, 10600},
                                        {kStageBanner, 7, 14250}, {kLastBoss, 320, 15700}};
    for (const Expect& e : firsts) {
        bool found = false;
        for (int i = 0; i < w->scriptCount && !found; ++i) {
            found = w->scriptKind[i] == e.kind && w->scriptX[i] == e.x && w->scriptTime[i] == e.time;
        }
        EXPECT_TRUE(found) << "kind " << e.kind << " at " << e.time;
    }
}
