// The ordinary enemies and their bullets: how they move, what they fire and when
// they leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "media/stools.h"
#include "world_test_support.h"

namespace tolvane {
namespace {

using testing::countKind;
using testing::freshWorld;
using testing::Shot;
using testing::spawnAt;
using testing::stepAndCollect;
using testing::velocityOf;

TEST(StraightMovers, LeaveOnlyBeyondTheScreenEdges) {
    struct Case {
        int kind;
        float x, y, vx, vy;
        bool survives;
    };
    const Case cases[] = {
        {kRoundBullet, -19, 200, -1, 0, true},       {kRoundBullet, -19, 200, -1.5f, 0, false},
        {kHeadingBullet, 300, 499, 0, 1, true},      {kHeadingBullet, 300, 499, 0, 1.5f, false},
        {kLargeShot, 659, 200, 1, 0, true},          {kLargeShot, 659, 200, 2, 0, false},
        {kHeadingBullet, 300, -19, 0, -1, true},     {kHeadingBullet, 300, -19, 0, -1.25f, false},
        {kRoundBullet, 100.25f, 50, 0.5f, 0.75f, true},
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

TEST(StraightMovers, OnlyTheRoundBulletSpins) {
    auto w = freshWorld();
    int round = spawnAt(*w, kRoundBullet, 100, 100, 0, 0.5f);
    int heading = spawnAt(*w, kHeadingBullet, 200, 100, 0, 0.5f);
    const float frameOfHeading = w->objFrameX[heading];
    std::vector<float> frames;
    for (int n = 0; n < 6; ++n) {
        updateWorld(*w);
        frames.push_back(w->objFrameX[round]);
        EXPECT_EQ(w->objFrameX[heading], frameOfHeading);
    }
    EXPECT_EQ(frames, (std::vector<float>{12, 24, 36, 0, 12, 24}));
}

TEST(LaserSegment, LastsExactlyOneUpdateWithoutMoving) {
    auto w = freshWorld();
    int s = spawnAt(*w, kLaserSegment, 100, 64);
    updateWorld(*w);
    EXPECT_EQ(w->objKind[s], kFree);
    EXPECT_EQ(w->objX[s], 100);
    EXPECT_EQ(w->objY[s], 64);
}

TEST(FanEnemy, FiresTwoAimedFansAndLeavesBelowTheScreen) {
    auto w = freshWorld(320, 400);
    int enemy = spawnAt(*w, kFanEnemy, 200, -96);
    std::map<int, std::vector<int>> firedAt; // update -> slots of the new bullets
    std::map<int, i16> aimAt;
    int freedOn = 0;
    for (int n = 1; n <= 700 && freedOn == 0; ++n) {
        // Bullets never touch objParamA: mark the old ones to tell the new ones apart.
        for (int s = 0; s < kObjectSlots; ++s) {
            if (w->objKind[s] == kRoundBullet) w->objParamA[s] = 1;
        }
        updateWorld(*w);
        for (int s = 0; s < kObjectSlots; ++s) {
            if (w->objKind[s] == kRoundBullet && w->objParamA[s] == 0) firedAt[n].push_back(s);
        }
        if (!firedAt[n].empty()) aimAt[n] = w->aimAngle;
        if (firedAt[n].empty()) firedAt.erase(n);
        if (w->objKind[enemy] == kFree) freedOn = n;
    }
    ASSERT_EQ(firedAt.size(), 2u);
    EXPECT_TRUE(firedAt.count(128));
    EXPECT_TRUE(firedAt.count(256));
    for (const auto& [n, slots] : firedAt) {
        SCOPED_TRACE(n);
        ASSERT_EQ(slots.size(), 5u);
        const double fireY = n == 128 ? 32 : 160;
        for (size_t k = 0; k < slots.size(); ++k) {
            const int s = slots[k];
            const testing::Velocity v = velocityOf(aimAt[n], 2 + k / 10.0);
            EXPECT_EQ(w->objVx[s], v.vx);
            EXPECT_EQ(w->objVy[s], v.vy);
            EXPECT_NEAR(std::hypot(w->objVx[s], w->objVy[s]), 2 + k / 10.0, 1e-5);
            // Aimed at the ship, give or take the rounding of the heading.
            EXPECT_LT(testing::angleOff(w->objVx[s], w->objVy[s], 200, fireY, 320, 402), 1.0);
        }
    }
    EXPECT_EQ(freedOn, 617);
    EXPECT_EQ(w->objY[enemy], 521);
}

TEST(TwinGunEnemy, GunsThenThreeAimedVolleysThenAway) {
    auto w = freshWorld(320, 400);
    int enemy = spawnAt(*w, kTwinGunEnemy, 320, -96);
    Pcg32 rngAtStart = w->rng;

    int steps = 0, straightPairs = 0, roundBullets = 0;
    std::vector<Shot> volleys;
    while (w->objKind[enemy] == kTwinGunEnemy && steps < 2000) {
        const int phase = w->objPhase[enemy];
        auto shots = stepAndCollect(*w, enemy, behaveTwinGunEnemy);
        ++steps;
        if (phase == 1) {
            for (const Shot& s : shots) {
                if (s.kind == kHeadingBullet) {
                    EXPECT_EQ(s.vx, 0);
                    EXPECT_EQ(s.vy, 4);
                    EXPECT_EQ(std::fabs(s.x - 320), 24);
                } else {
                    EXPECT_EQ(s.kind, kRoundBullet);
                    EXPECT_LE(std::fabs(s.vx), 1.0 / 32);
                    EXPECT_LE(std::fabs(s.vy - 2), 1.0 / 32);
                }
            }
            straightPairs += countKind(shots, kHeadingBullet) / 2;
            roundBullets += countKind(shots, kRoundBullet);
            if (w->objPhase[enemy] == 2) {
                EXPECT_EQ(steps, 98 + 48);
                // Two fresh random numbers for each of the 48 round bullets, nothing else.
                for (int d = 0; d < 96; ++d) randomDraw(rngAtStart);
                EXPECT_EQ(w->rng.state, rngAtStart.state);
            }
        } else if (phase == 2) {
            volleys.insert(volleys.end(), shots.begin(), shots.end());
        } else {
            EXPECT_TRUE(shots.empty());
        }
    }
    EXPECT_EQ(straightPairs, 12);
    EXPECT_EQ(roundBullets, 48);

    ASSERT_EQ(volleys.size(), 24u);
    const float fromX[3] = {320, 344, 296};
    for (int g = 0; g < 3; ++g) {
        for (int k = 0; k < 8; ++k) {
            const Shot& s = volleys[g * 8 + k];
            EXPECT_EQ(s.kind, kHeadingBullet);
            EXPECT_EQ(s.x, fromX[g]);
            EXPECT_EQ(s.y, 201);
            EXPECT_NEAR(std::hypot(s.vx, s.vy), 2 + k / 8.0, 1e-5);
            EXPECT_LT(testing::angleOff(s.vx, s.vy, s.x, s.y, 320, 402), 1.0);
        }
    }
    // It drifts outward from the middle while it leaves downward.
    EXPECT_EQ(w->objKind[enemy], kFree);
    EXPECT_GT(w->objY[enemy], 560);
    EXPECT_LE(w->objY[enemy], 562);
    EXPECT_EQ(w->objX[enemy], 320 + (w->objY[enemy] - 201) / 2);
}

TEST(RingEnemy, FiveRingsEveryOtherTurnedByFifteenDegrees) {
    auto w = freshWorld();
    int enemy = spawnAt(*w, kRingEnemy, 260, -128);
    std::vector<int> ringTimers;
    std::vector<std::vector<Shot>> rings;
    int steps = 0;
    float lastY = 0;
    while (w->objKind[enemy] == kRingEnemy && steps < 2000) {
        lastY = w->objY[enemy];
        auto shots = stepAndCollect(*w, enemy, behaveRingEnemy);
        ++steps;
        if (!shots.empty()) {
            ringTimers.push_back(w->objTimer[enemy]);
            rings.push_back(shots);
            EXPECT_EQ(w->aimAngle, rings.size() % 2 == 0 ? 345 : 330);
        }
    }
    EXPECT_EQ(ringTimers, (std::vector<int>{20, 40, 60, 80, 100}));
    for (size_t r = 0; r < rings.size(); ++r) {
        SCOPED_TRACE(r);
        ASSERT_EQ(rings[r].size(), 12u);
        const int turn = r % 2 == 1 ? 15 : 0;
        for (int j = 0; j < 12; ++j) {
            const Shot& s = rings[r][j];
            EXPECT_EQ(s.kind, kHeadingBullet);
            EXPECT_EQ(s.picture, 30 * j + turn);
            EXPECT_EQ(s.x, 260);
            EXPECT_EQ(s.y, 100);
            EXPECT_EQ(s.vx, velocityOf(30 * j + turn, 2).vx);
            EXPECT_EQ(s.vy, velocityOf(30 * j + turn, 2).vy);
        }
    }
    // 228 frames down to y 100, 100 frames of rings, 480 frames down to 580.
    EXPECT_EQ(steps, 228 + 100 + 480);
    EXPECT_EQ(lastY, 579);
    EXPECT_EQ(w->objY[enemy], 580);
}

// Runs a swooping enemy through updateWorld until it is gone, recording its path.
struct Swoop {
    std::vector<float> x, y;
    std::vector<int> phase;
    std::vector<int> bulletsOnUpdate;
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
        path.x.push_back(w->objX[s]);
        path.y.push_back(w->objY[s]);
        path.phase.push_back(w->objKind[s] == kSwoopEnemy ? w->objPhase[s] : -1);
        if (after > before) path.bulletsOnUpdate.push_back(n);
    }
    return path;
}

TEST(SwoopEnemy, TurnsAcrossTheScreenAndLeavesOnItsOwnSide) {
    const Swoop right = flySwoop(670);
    const Swoop left = flySwoop(-30);
    ASSERT_EQ(right.x.size(), left.x.size());
    ASSERT_GT(right.x.size(), 20u);
    const size_t n = right.x.size();

    // First it flies in toward the middle, slowing down.
    EXPECT_LT(right.x[0], 670);
    EXPECT_GT(right.x[0] - right.x[1], right.x[1] - right.x[2]);
    // The turn takes it upward at some point, then down and out to the right.
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
    ASSERT_EQ(right.bulletsOnUpdate.size(), 1u);
    EXPECT_EQ(right.bulletsOnUpdate, left.bulletsOnUpdate);
    const size_t turnedOut = right.bulletsOnUpdate[0];
    EXPECT_EQ(right.phase[turnedOut], 2);
    EXPECT_EQ(right.phase[turnedOut - 1], 1);
}

TEST(SwoopEnemy, AimedBulletIsJitteredByTwoFreshDraws) {
    auto w = freshWorld(100, 300);
    int s = spawnAt(*w, kSwoopEnemy, 670, 180);
    w->objPhase[s] = 1;
    w->objTimer[s] = 33; // the turn ends in this step
    Pcg32 before = w->rng;
    auto shots = stepAndCollect(*w, s, behaveSwoopEnemy);
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(w->objPhase[s], 2);
    const double u1 = randomDraw(before), u2 = randomDraw(before);
    EXPECT_EQ(w->rng.state, before.state);
    const testing::Velocity aimed = velocityOf(w->aimAngle, 2);
    EXPECT_NEAR(shots[0].vx, aimed.vx + (u1 - 0.5) / 10, 1e-6);
    EXPECT_NEAR(shots[0].vy, aimed.vy + (u2 - 0.5) / 10, 1e-6);
    EXPECT_EQ(shots[0].x, w->objX[s]);
}

TEST(TwinShotEnemy, StraightPairThenFiveAimedPairsThenBackUp) {
    auto w = freshWorld(200, 420);
    int enemy = spawnAt(*w, kTwinShotEnemy, 440, -96);
    std::vector<std::pair<int, std::vector<Shot>>> fired;
    int steps = 0;
    while (w->objKind[enemy] == kTwinShotEnemy && steps < 2000) {
        auto shots = stepAndCollect(*w, enemy, behaveTwinShotEnemy);
        ++steps;
        if (!shots.empty()) fired.push_back({steps, shots});
    }
    ASSERT_EQ(fired.size(), 6u);
    // Reaches y 122 (> 120) on step 109 and fires straight down on the next.
    EXPECT_EQ(fired[0].first, 110);
    ASSERT_EQ(fired[0].second.size(), 2u);
    EXPECT_EQ(fired[0].second[0].x, 450);
    EXPECT_EQ(fired[0].second[1].x, 430);
    for (const Shot& s : fired[0].second) {
        EXPECT_EQ(s.y, 122);
        EXPECT_EQ(s.vx, 0);
        EXPECT_EQ(s.vy, 3);
        EXPECT_EQ(s.picture, 0);
    }
    for (int p = 1; p <= 5; ++p) {
        SCOPED_TRACE(p);
        // Counts 80, 100, ... 160 after a 60-count pause.
        EXPECT_EQ(fired[p].first, 110 + 60 + 20 * p);
        ASSERT_EQ(fired[p].second.size(), 2u);
        const Shot& a = fired[p].second[0];
        const Shot& b = fired[p].second[1];
        EXPECT_NEAR((a.x + b.x) / 2, 440, 1e-4);
        EXPECT_NEAR((a.y + b.y) / 2, 122, 1e-4);
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y), 20, 1e-4);
        EXPECT_EQ(a.vx, b.vx);
        EXPECT_EQ(a.vy, b.vy);
        EXPECT_NEAR(std::hypot(a.vx, a.vy), 1, 1e-6);
        // Side by side: the pair's offset is across the path.
        EXPECT_NEAR((a.x - b.x) * a.vx + (a.y - b.y) * a.vy, 0, 0.05);
        EXPECT_LT(testing::angleOff(a.vx, a.vy, 440, 122, 200, 422), 1.0);
        EXPECT_EQ(a.picture, w->aimAngle);
    }
    EXPECT_EQ(w->objY[enemy], -98);
}

TEST(LaserEnemy, BrakesFiresItsLaserAndSinksAway) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    int enemy = spawnAt(*w, kLaserEnemy, 320, -160);
    int steps = 0, warnedOn = 0, segments = 0, laserSteps = 0, firstLaser = 0, lastLaser = 0;
    float yBeforeFree = 0;
    while (w->objKind[enemy] == kLaserEnemy && steps < 2000) {
        yBeforeFree = w->objY[enemy];
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, enemy, behaveLaserEnemy);
        ++steps;
        if (steps == 90) {
            // The braking descent covers (90 + 89 + ... + 1) / 16 pixels.
            EXPECT_EQ(w->objY[enemy], -160 + 255.9375f);
            EXPECT_EQ(w->objPhase[enemy], 1);
        }
        for (size_t k = sounds; k < media::soundLog().size(); ++k) {
            if (media::soundLog()[k].name == "STPlay" && media::soundLog()[k].slot == 4) {
                EXPECT_EQ(warnedOn, 0);
                warnedOn = steps;
            }
        }
        if (!shots.empty()) {
            // From 32 pixels above the enemy (rounded to 64) to the bottom of the screen.
            ASSERT_EQ(shots.size(), 14u);
            for (size_t k = 0; k < shots.size(); ++k) {
                EXPECT_EQ(shots[k].kind, kLaserSegment);
                EXPECT_EQ(shots[k].x, 320);
                EXPECT_EQ(shots[k].y, 64 + 32 * static_cast<int>(k));
                EXPECT_EQ(shots[k].vx, 0);
                EXPECT_EQ(shots[k].vy, 0);
            }
            segments += static_cast<int>(shots.size());
            if (firstLaser == 0) firstLaser = steps;
            lastLaser = steps;
            ++laserSteps;
        }
    }
    media::setSoundLogging(false);
    EXPECT_EQ(warnedOn, 190);
    EXPECT_EQ(firstLaser, 191);
    EXPECT_EQ(lastLaser, 250);
    EXPECT_EQ(laserSteps, 60);
    EXPECT_EQ(segments, 60 * 14);
    // It leaves downward and gives its slot back once it is below y 560.
    EXPECT_EQ(w->objKind[enemy], kFree);
    EXPECT_GT(w->objY[enemy], 560);
    EXPECT_LE(yBeforeFree, 560);
    EXPECT_LT(steps, 250 + 200);
}

TEST(Gunship, SlidesInAndStopsShortOfTheMiddle) {
    struct Case {
        float startX, stopX;
    };
    for (const Case c : {Case{-100, 155.9375f}, Case{740, 484.0625f}}) {
        SCOPED_TRACE(c.startX);
        auto w = freshWorld();
        int s = spawnAt(*w, kGunship, c.startX, 200);
        for (int n = 0; n < 89; ++n) behaveGunship(*w, s);
        EXPECT_EQ(w->objPhase[s], 0);
        behaveGunship(*w, s);
        EXPECT_EQ(w->objX[s], c.stopX);
        EXPECT_EQ(w->objY[s], 200);
        EXPECT_EQ(w->objPhase[s], 1);
    }
}

TEST(Gunship, TwoAimedBurstsOfShotPairsThenDown) {
    auto w = freshWorld(320, 420);
    int s = spawnAt(*w, kGunship, -100, 200);
    std::vector<std::pair<int, std::vector<Shot>>> bursts;
    int steps = 0;
    while (w->objKind[s] == kGunship && steps < 2000) {
        auto shots = stepAndCollect(*w, s, behaveGunship);
        ++steps;
        if (!shots.empty()) bursts.push_back({steps, shots});
    }
    // Re-aims at counts 80 and 160 arm five pairs each, on the next 33 frames.
    std::vector<int> when;
    for (const auto& [n, shots] : bursts) {
        when.push_back(n);
        ASSERT_EQ(shots.size(), 2u);
        const Shot& a = shots[0];
        const Shot& b = shots[1];
        EXPECT_EQ(a.kind, kLargeShot);
        EXPECT_EQ(b.kind, kLargeShot);
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y), 32, 1e-3);
        EXPECT_EQ(a.vx, b.vx);
        EXPECT_EQ(a.vy, b.vy);
        EXPECT_NEAR(std::hypot(a.vx, a.vy), 5, 1e-5);
        EXPECT_LT(testing::angleOff(a.vx, a.vy, (a.x + b.x) / 2, (a.y + b.y) / 2, 320, 422), 5.0);
    }
    EXPECT_EQ(when, (std::vector<int>{171, 179, 187, 195, 203, 251, 259, 267, 275, 283}));
    // 120 counts of sinking by half a pixel, then straight down to below 530.
    EXPECT_EQ(steps, 90 + 240 + 211);
    EXPECT_EQ(w->objY[s], 531);
}

} // namespace
} // namespace tolvane
