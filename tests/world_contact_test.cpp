// Contact, scoring and misses: the barrier and the core box, the contact wait, the
// chain's pay, the gauge and level-ups with extends, and the miss.
#include <gtest/gtest.h>

#include "media/stools.h"
#include "world_test_support.h"

using namespace tolvane;
using tolvane::testing::freshWorld;

namespace {

// A still object (a laser enemy waiting in phase 1 never moves) with a hit box of the
// given half-size, placed at (x, y).
int placeTarget(World& w, float x, float y, int half = 1) {
    int s = tolvane::testing::spawnAt(w, kLaserEnemy, x, y);
    w.objPhase[s] = 1;
    w.objTimer[s] = -30000; // its phase-1 count never reaches 100 here
    w.objHitLeft[s] = static_cast<i16>(-half);
    w.objHitTop[s] = static_cast<i16>(-half);
    w.objHitRight[s] = static_cast<i16>(half);
    w.objHitBottom[s] = static_cast<i16>(half);
    return s;
}

std::unique_ptr<World> readyWorld() {
    auto w = freshWorld(320, 300);
    w->blinkTimer = 0;
    return w;
}

} // namespace

TEST(Contact, BarrierReachesWithBoostAndBombAndCoreIsSmall) {
    struct Case {
        int dx, dy, boost, bomb, burst;
        bool contact, miss;
    } cases[] = {
        // The barrier's half-size is 24, 36 with the speed boost; a 1-pixel hit box.
        {25, 0, 0, 0, 0, true, false},
        {26, 0, 0, 0, 0, false, false},
        {-25, 0, 0, 0, 0, true, false},
        {0, 26, 0, 0, 0, false, false},
        {37, 0, 1, 0, 0, true, false},
        {38, 0, 1, 0, 0, false, false},
        // A fresh bomb widens every hit box by 60 for the barrier, and saves the core.
        {85, 0, 0, 60, 0, true, false},
        {86, 0, 0, 60, 0, false, false},
        {0, 0, 0, 60, 0, true, false},
        // The core box: shipX - 2 .. shipX + 3 against the hit box -1..1 of the object.
        {0, 0, 0, 0, 0, true, true},
        {4, 0, 0, 0, 0, true, true},
        {5, 0, 0, 0, 0, true, false},
        {-3, 0, 0, 0, 0, true, true},
        {-4, 0, 0, 0, 0, true, false},
        {0, 4, 0, 0, 0, true, true},
        // During the level-up burst the core is safe, the barrier still collects.
        {0, 0, 0, 0, 100, true, false},
    };
    for (const Case& c : cases) {
        auto w = readyWorld();
        w->shakeBoost = static_cast<i16>(c.boost);
        w->bombTimer = static_cast<i16>(c.bomb);
        w->burstTimer = static_cast<i16>(c.burst);
        placeTarget(*w, 320.0f + c.dx, 300.0f + c.dy);
        updateWorld(*w);
        EXPECT_EQ(w->chain == 1 || w->totalContacts == 1, c.contact) << c.dx << "," << c.dy;
        EXPECT_EQ(w->entryTimer == 80, c.miss) << c.dx << "," << c.dy;
    }
}

TEST(Contact, WaitOfTwentyFramesBetweenContactsWithTheSameObject) {
    auto w = readyWorld();
    placeTarget(*w, 340, 300);
    std::vector<int> contactFrames;
    for (int f = 1; f <= 45; ++f) {
        i32 before = w->chain;
        updateWorld(*w);
        if (w->chain != before) contactFrames.push_back(f);
    }
    EXPECT_EQ(contactFrames, (std::vector<int>{1, 21, 41}));
}

TEST(Contact, ChainPaysItsLengthFromTheStageStart) {
    auto w = readyWorld();
    for (int k = 0; k < 3; ++k) placeTarget(*w, 330, 290 + 10 * k);
    updateWorld(*w);
    EXPECT_EQ(w->chain, 3);
    EXPECT_EQ(w->score, 1 + 2 + 3);
    EXPECT_EQ(w->chainPopupValue, 3);
    EXPECT_EQ(w->chainPopupX, 336);
    EXPECT_EQ(w->chainPopupTimer, 60);
    EXPECT_EQ(w->gauge, 60);

    auto s = readyWorld();
    s->chain = 50;
    tolvane::testing::spawnAt(*s, kStageBanner, 6, 0); // a stage starts: chainBase = 50
    placeTarget(*s, 330, 300);
    updateWorld(*s);
    EXPECT_EQ(s->chain, 51);
    EXPECT_EQ(s->score, 1);
}

TEST(Contact, GaugeFillsToLevelUpsAndEveryEighthIsAnExtend) {
    struct Case {
        int gauge, penalty, level, shipCell;
        int newGauge, newLevel, score, time, bombs, burst, shipCellAfter;
    } cases[] = {
        {620, 0, 1, 0, 640, 1, 1, 1000, 1, 0, 0},            // 640 is not above 640
        {640, 0, 1, 0, 20, 2, 1 + 1000, 1060, 1, 120, 0},    // a level-up: a second and 1000
        {636, 16, 1, 0, 640, 1, 1, 1000, 1, 0, 0},           // bosses: 4 per contact
        {640, 19, 1, 0, 1, 2, 1001, 1060, 1, 120, 0},        // the last boss: 1 per contact
        {630, 0, 7, 0, 10, 8, 1 + 10000, 1300, 2, 180, 32},  // level 8: the extend
        {630, 0, 7, 608, 10, 8, 1 + 10000, 1300, 2, 180, 0}, // the ship pictures start again
        {630, 0, 15, 32, 10, 16, 1 + 20000, 1300, 2, 180, 64},
    };
    for (const Case& c : cases) {
        media::setSoundLogging(true);
        auto w = readyWorld();
        w->gauge = static_cast<i16>(c.gauge);
        w->gaugePenalty = static_cast<i16>(c.penalty);
        w->level = static_cast<i16>(c.level);
        w->shipCellX = static_cast<i16>(c.shipCell);
        w->timeLeft = 1000;
        placeTarget(*w, 330, 300);
        updateWorld(*w);
        EXPECT_EQ(w->gauge, c.newGauge) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->level, c.newLevel) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->score, c.score) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->timeLeft, c.time) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->bombStock, c.bombs) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->burstTimer, c.burst) << c.gauge << " level " << c.level;
        EXPECT_EQ(w->shipCellX, c.shipCellAfter) << c.gauge << " level " << c.level;
        int levelSounds = 0;
        for (const auto& call : media::soundLog())
            levelSounds += call.name == "STPlay" && (call.slot == 1 || call.slot == 5);
        EXPECT_EQ(levelSounds, c.newLevel != c.level ? 2 : 0);
    }
}

TEST(Contact, AMissCostsFiveSecondsFlooredAtZeroAndEndsTheChain) {
    struct Case {
        int timeLeft, after;
    } cases[] = {{1000, 700}, {300, 0}, {200, 0}};
    for (const Case& c : cases) {
        media::setSoundLogging(true);
        auto w = readyWorld();
        w->timeLeft = c.timeLeft;
        w->chain = 12;
        w->chainBase = 4;
        w->maxChain = 5;
        int s = placeTarget(*w, 320, 300);
        w->objContactWait[s] = 10; // touching without a contact
        updateWorld(*w);
        EXPECT_EQ(w->timeLeft, c.after);
        EXPECT_EQ(w->chain, 0);
        EXPECT_EQ(w->chainBase, 0);
        EXPECT_EQ(w->maxChain, 12);
        EXPECT_EQ(w->totalContacts, 12);
        EXPECT_EQ(w->shipX, 320);
        EXPECT_EQ(w->shipY, 540);
        EXPECT_EQ(w->entryTimer, 80);
        EXPECT_EQ(w->blinkTimer, 160);
        EXPECT_EQ(w->wreckX, 320);
        EXPECT_EQ(w->wreckY, 300);
        EXPECT_EQ(w->wreckTimer, 80);
        EXPECT_EQ(w->objKind[s], kLaserEnemy); // the object that hit stays
        ASSERT_FALSE(media::soundLog().empty());
        EXPECT_EQ(media::soundLog().back().slot, 2);
    }
}

TEST(Contact, BlinkingShipNeitherCollectsNorIsHit) {
    auto w = readyWorld();
    w->blinkTimer = 5;
    placeTarget(*w, 320, 300);
    updateWorld(*w);
    EXPECT_EQ(w->chain, 0);
    EXPECT_EQ(w->entryTimer, 0);
}

TEST(Contact, SparkStartsSixteenPixelsTowardTheObject) {
    auto w = readyWorld();
    placeTarget(*w, 340, 300); // straight to the right of the ship
    updateWorld(*w);
    ASSERT_EQ(w->sparkActive[0], 1);
    EXPECT_NEAR(w->sparkX[0], 320 + 16, 1);
    EXPECT_NEAR(w->sparkY[0], 298, 1); // the aim is at 84 degrees, toward 2 pixels below the ship
    EXPECT_NEAR(w->sparkVx[0], 8, 1);
    // A full spark table drops the spark.
    for (int i = 0; i < kSparkSlots; ++i) w->sparkActive[i] = 1;
    i16 ages[kSparkSlots];
    for (int i = 0; i < kSparkSlots; ++i) ages[i] = w->sparkAge[i];
    spawnSpark(*w, 1, 1);
    for (int i = 0; i < kSparkSlots; ++i) EXPECT_EQ(w->sparkAge[i], ages[i]);
}
