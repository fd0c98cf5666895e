// The ordinary enemies and their bullets: how they move, what they fire and when
// they leave; and the phase helpers every enemy and boss runs on.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "media/stools.h"
#include "world/firing.h"
#include "world_test_support.h"

namespace tolvane {
namespace {

using namespace tolvane::testing;

TEST(StraightMovers, LeaveOnlyBeyondTheScreenEdges) {
    struct Case {
        int kind;
        float x, y, vx, vy;
        bool survives;
    };
    const Case cases[] = {
        {kRoundBullet, -19, 200, -1, 0, true},   {kRoundBullet, -19, 200, -1.5f, 0, false},
        {kHeadingBullet, 300, 499, 0, 1, true},  {kHeadingBullet, 300, 499, 0, 1.5f, false},
        {kLargeShot, 659, 200, 1, 0, true},      {kLargeShot, 659, 200, 2, 0, false},
        {kHeadingBullet, 300, -19, 0, -1, true}, {kHeadingBullet, 300, -19, 0, -1.25f, false},
    };
    for (const Case& c : cases) {
        auto w = freshWorld();
        int s = spawnAt(*w, c.kind, c.x, c.y, c.vx, c.vy);
        updateWorld(*w);
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " from (" << c.x << ", " << c.y << ")");
        EXPECT_EQ(w->objKind[s] != kFree, c.survives);
        EXPECT_EQ(w->objX[s], c.x + c.vx);
        EXPECT_EQ(w->objY[s], c.y + c.vy);
    }
}

TEST(StraightMovers, OnlyTheRoundBulletSpinsAndSegmentsLastOneUpdate) {
    auto w = freshWorld();
    int round = spawnAt(*w, kRoundBullet, 100, 100, 0, 0.5f);
    int heading = spawnAt(*w, kHeadingBullet, 200, 100, 0, 0.5f);
    int segment = spawnAt(*w, kLaserSegment, 300, 64);
    const float pictureOfHeading = w->objFrameX[heading];
    std::vector<float> frames;
    for (int n = 0; n < 5; ++n) {
        updateWorld(*w);
        frames.push_back(w->objFrameX[round]);
        EXPECT_EQ(w->objFrameX[heading], pictureOfHeading);
        if (n == 0) {
            EXPECT_EQ(w->objKind[segment], kFree);
        }
    }
    EXPECT_EQ(frames, (std::vector<float>{12, 24, 36, 0, 12}));
}

// Each enemy's phases, exit and fire, from the stage script's positions. Phase 0 at
// step 0; a step is one update of the enemy alone.
TEST(Enemies, RunTheirPhasesAndFreeTheirSlots) {
    struct Case {
        int kind;
        float x, y;
        void (*behave)(World&, int);
        std::vector<std::pair<int, int>> phases;
        int freedOn;
        std::map<int, int> fired;
    };
    const Case cases[] = {
        {kFanEnemy, 200, -96, behaveFanEnemy, {{0, 0}}, 617, {{kRoundBullet, 10}}},
        // Guns for 48 counts (12 straight pairs, 6 x 8 round bullets), then 3 x 8 aimed.
        {kTwinGunEnemy,
         320,
         -96,
         behaveTwinGunEnemy,
         {{0, 0}, {1, 98}, {2, 146}, {3, 247}},
         427,
         {{kRoundBullet, 48}, {kHeadingBullet, 48}}},
        {kRingEnemy, 260, -128, behaveRingEnemy, {{0, 0}, {1, 228}, {2, 328}}, 808, {{kHeadingBullet, 60}}},
        {kTwinShotEnemy,
         440,
         -96,
         behaveTwinShotEnemy,
         {{0, 0}, {1, 109}, {2, 110}, {3, 170}, {4, 270}},
         380,
         {{kHeadingBullet, 12}}},
        // 60 frames of a 14-segment laser; it then sinks below y 560 in 123 frames.
        {kLaserEnemy,
         320,
         -160,
         behaveLaserEnemy,
         {{0, 0}, {1, 90}, {2, 190}, {3, 250}},
         373,
         {{kLaserSegment, 840}}},
        // Two re-aims that fire five pairs each; the third only sends it down.
        {kGunship,
         -100,
         200,
         behaveGunship,
         {{0, 0}, {1, 90}, {2, 170}, {3, 250}, {4, 330}},
         541,
         {{kLargeShot, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        auto w = freshWorld(300, 420);
        int s = spawnAt(*w, c.kind, c.x, c.y);
        const Life life = liveThrough(*w, s, c.behave, 5000);
        EXPECT_EQ(life.phases, c.phases);
        EXPECT_EQ(life.freedOn, c.freedOn);
        EXPECT_EQ(life.fired, c.fired);
    }
}

TEST(FanEnemy, FiresTwoAimedFansAndLeavesBelowTheScreen) {
    auto w = freshWorld(320, 400);
    int enemy = spawnAt(*w, kFanEnemy, 200, -96);
    std::map<int, std::vector<int>> firedOn; // update -> slots of its new bullets
    std::map<int, i16> aimOn;
    for (int n = 1; n <= 617; ++n) {
        // Bullets never touch objParamA: mark the old ones to tell the new ones apart.
        for (int s = 0; s < kObjectSlots; ++s) {
            if (w->objKind[s] == kRoundBullet) w->objParamA[s] = 1;
        }
        updateWorld(*w);
        for (int s = 0; s < kObjectSlots; ++s) {
            if (w->objKind[s] == kRoundBullet && w->objParamA[s] == 0) firedOn[n].push_back(s);
        }
        if (firedOn.count(n)) aimOn[n] = w->aimAngle;
        EXPECT_EQ(w->objKind[enemy] == kFree, n == 617) << n;
    }
    EXPECT_EQ(w->objY[enemy], 521);
    ASSERT_EQ(firedOn.size(), 2u);
    for (const auto& [n, fireY] : {std::pair{128, 32}, std::pair{256, 160}}) {
        SCOPED_TRACE(n);
        ASSERT_EQ(firedOn[n].size(), 5u);
        for (int k = 0; k < 5; ++k) {
            const int s = firedOn[n][k];
            EXPECT_EQ(w->objVx[s], velocityOf(aimOn[n], 2 + k / 10.0).vx);
            EXPECT_EQ(w->objVy[s], velocityOf(aimOn[n], 2 + k / 10.0).vy);
            EXPECT_NEAR(std::hypot(w->objVx[s], w->objVy[s]), 2 + k / 10.0, 1e-5);
            // Aimed at the ship, give or take the rounding of the heading.
            EXPECT_LT(angleOff(w->objVx[s], w->objVy[s], 200, fireY, 320, 402), 1.0);
        }
    }
}

TEST(RingEnemy, FiveRingsEveryOtherTurnedByFifteenDegrees) {
    auto w = freshWorld();
    int enemy = spawnAt(*w, kRingEnemy, 260, -128);
    std::vector<int> ringTimers;
    for (int n = 0; n < 400; ++n) {
        auto ring = stepAndCollect(*w, enemy, behaveRingEnemy);
        if (ring.empty()) continue;
        ringTimers.push_back(w->objTimer[enemy]);
        ASSERT_EQ(ring.size(), 12u);
        const int turn = ringTimers.size() % 2 == 0 ? 15 : 0;
        for (int j = 0; j < 12; ++j) {
            EXPECT_EQ(ring[j].picture, 30 * j + turn);
            EXPECT_EQ(ring[j].vx, velocityOf(30 * j + turn, 2).vx);
            EXPECT_EQ(ring[j].vy, velocityOf(30 * j + turn, 2).vy);
            EXPECT_EQ(ring[j].y, 100);
        }
        // The ring's headings go through the shared aimAngle.
        EXPECT_EQ(w->aimAngle, 330 + turn);
    }
    EXPECT_EQ(ringTimers, (std::vector<int>{20, 40, 60, 80, 100}));
}

// A swooping enemy run through updateWorld until it is gone.
struct Swoop {
    std::vector<float> x, y;
    std::vector<int> phase;
    std::vector<int> bulletsOn;
};
Swoop flySwoop(float startX) {
    auto w = freshWorld(320, 400);
    int s = spawnAt(*w, kSwoopEnemy, startX, 180);
    Swoop path;
    for (int n = 0; n < 1000 && w->objKind[s] == kSwoopEnemy; ++n) {
        int before = 0, after = 0;
        for (int k = 0; k < kObjectSlots; ++k) before += w->objKind[k] == kRoundBullet;
        updateWorld(*w);
        for (int k = 0; k < kObjectSlots; ++k) after += w->objKind[k] == kRoundBullet;
        if (after > before) path.bulletsOn.push_back(n);
        path.x.push_back(w->objX[s]);
        path.y.push_back(w->objY[s]);
        path.phase.push_back(w->objKind[s] == kSwoopEnemy ? w->objPhase[s] : -1);
    }
    return path;
}

TEST(SwoopEnemy, TurnsAcrossTheScreenAndLeavesOnItsOwnSide) {
    const Swoop right = flySwoop(670);
    const Swoop left = flySwoop(-30);
    ASSERT_EQ(right.x.size(), left.x.size());
    const size_t n = right.x.size();
    ASSERT_GT(n, 20u);

    // In toward the middle, slowing down; up through the turn; out to the right.
    EXPECT_GT(right.x[0] - right.x[1], right.x[1] - right.x[2]);
    EXPECT_GT(right.x[1] - right.x[2], 0);
    bool climbed = false;
    for (size_t k = 1; k < n; ++k) climbed = climbed || (right.phase[k] == 1 && right.y[k] < right.y[k - 1]);
    EXPECT_TRUE(climbed);
    EXPECT_EQ(right.phase[n - 1], -1);
    EXPECT_GT(right.x[n - 1], 680);
    EXPECT_LE(right.x[n - 2], 680);
    EXPECT_LT(left.x[n - 1], -40);
    EXPECT_GE(left.x[n - 2], -40);
    // The left-hand one flies the mirror image.
    for (size_t k = 0; k < n; ++k) {
        EXPECT_EQ(right.y[k], left.y[k]);
        EXPECT_EQ(right.phase[k], left.phase[k]);
        EXPECT_NEAR(right.x[k] - 320, 320 - left.x[k], 1e-3);
    }
    // One bullet, as it comes out of the turn.
    ASSERT_EQ(right.bulletsOn.size(), 1u);
    EXPECT_EQ(right.bulletsOn, left.bulletsOn);
    EXPECT_EQ(right.phase[right.bulletsOn[0]], 2);
    EXPECT_EQ(right.phase[right.bulletsOn[0] - 1], 1);
}

TEST(Gunship, SlidesInAndStopsShortOfTheMiddle) {
    for (const auto& [startX, stopX] : {std::pair{-100.0f, 155.9375f}, std::pair{740.0f, 484.0625f}}) {
        SCOPED_TRACE(startX);
        auto w = freshWorld();
        int s = spawnAt(*w, kGunship, startX, 200);
        for (int n = 0; n < 90; ++n) {
            EXPECT_EQ(w->objPhase[s], 0);
            behaveGunship(*w, s);
        }
        EXPECT_EQ(w->objX[s], stopX);
        EXPECT_EQ(w->objPhase[s], 1);
    }
}

TEST(LaserEnemy, BrakesWarnsAndStandsItsLaserForSixtyFrames) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    int enemy = spawnAt(*w, kLaserEnemy, 320, -160);
    std::vector<int> warnings, laserSteps;
    int warnedOn = 0;
    for (int n = 1; n <= 260; ++n) {
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, enemy, behaveLaserEnemy);
        // The braking descent covers (90 + 89 + ... + 1) / 16 pixels.
        if (n == 90) {
            EXPECT_EQ(w->objY[enemy], -160 + 255.9375f);
        }
        for (size_t k = sounds; k < media::soundLog().size(); ++k) {
            warnings.push_back(media::soundLog()[k].slot);
            warnedOn = n;
        }
        if (shots.empty()) continue;
        laserSteps.push_back(n);
        // From 32 pixels above the enemy (64, rounded) to the bottom of the screen.
        ASSERT_EQ(shots.size(), 14u);
        for (int k = 0; k < 14; ++k) {
            EXPECT_EQ(shots[k].kind, kLaserSegment);
            EXPECT_EQ(shots[k].x, 320);
            EXPECT_EQ(shots[k].y, 64 + 32 * k);
        }
    }
    media::setSoundLogging(false);
    EXPECT_EQ(warnings, std::vector<int>{4});
    EXPECT_EQ(warnedOn, 190);
    ASSERT_EQ(laserSteps.size(), 60u);
    EXPECT_EQ(laserSteps.front(), 191);
    EXPECT_EQ(laserSteps.back(), 250);
}

TEST(Phases, EnteringAPhaseSetsOnlyTheCountersItNames) {
    struct Case {
        PhaseStart start;
        i16 timer, paramA, paramB, paramC; // afterwards, from 11, 22, 33, 44
    };
    const Case cases[] = {
        {{}, 11, 22, 33, 44},
        {{.timer = 0}, 0, 22, 33, 44},
        {{.timer = 0, .paramA = 120}, 0, 120, 33, 44},
        {{.paramB = -5}, 11, 22, -5, 44},
        {{.timer = 64, .paramA = 0, .paramB = 0, .paramC = 0}, 64, 0, 0, 0},
    };
    for (const Case& c : cases) {
        auto w = freshWorld();
        int s = spawnAt(*w, kLastBoss, 100, 200);
        w->objTimer[s] = 11, w->objParamA[s] = 22, w->objParamB[s] = 33, w->objParamC[s] = 44;
        enterPhase(*w, s, 6, c.start);
        EXPECT_EQ(w->objPhase[s], 6);
        EXPECT_EQ(w->objTimer[s], c.timer);
        EXPECT_EQ(w->objParamA[s], c.paramA);
        EXPECT_EQ(w->objParamB[s], c.paramB);
        EXPECT_EQ(w->objParamC[s], c.paramC);
        EXPECT_EQ(w->objX[s], 100);
        EXPECT_EQ(w->objY[s], 200);
        EXPECT_EQ(w->objKind[s], kLastBoss);
    }
}

TEST(Phases, OnlyAPhaseInTheListRuns) {
    static constexpr PhaseStep kSteps[] = {
        [](World& w, int i) { w.objParamA[i] = 100; },
        [](World& w, int i) { w.objParamA[i] = 101; },
    };
    for (const auto& [phase, after] : {std::pair{-1, 7}, {0, 100}, {1, 101}, {2, 7}, {300, 7}}) {
        SCOPED_TRACE(phase);
        auto w = freshWorld();
        int s = spawnAt(*w, kGunship, 100, 200);
        w->objPhase[s] = static_cast<i16>(phase);
        w->objParamA[s] = 7;
        runPhase(kSteps, *w, s);
        EXPECT_EQ(w->objParamA[s], after);
        EXPECT_EQ(w->objPhase[s], phase);
    }
}

} // namespace
} // namespace tolvane
