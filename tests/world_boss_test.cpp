// The three bosses: their attack phases, the random pair, the lasers and how each
// one leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
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

// A boss run through updateWorld from its spawn until it frees its slot: the update
// on which each phase was entered, and the update on which it left.
struct Life {
    std::vector<std::pair<int, int>> phases; // (phase, entered after update n)
    int freedOn = 0;
    i16 penaltyWhileAlive = 0;
};
Life liveThrough(World& w, int slot, int limit) {
    const u8 kind = w.objKind[slot];
    Life life;
    life.phases.push_back({w.objPhase[slot], 0});
    life.penaltyWhileAlive = w.gaugePenalty;
    for (int n = 1; n <= limit; ++n) {
        updateWorld(w);
        if (w.objKind[slot] != kind) {
            life.freedOn = n;
            break;
        }
        if (w.objPhase[slot] != life.phases.back().first) life.phases.push_back({w.objPhase[slot], n});
    }
    return life;
}

// Puts the generator where its next two draws are `high` (0.99999994) or 0.
void rigDraws(World& w, bool high) {
    if (high) {
        // With bits 41..58 set and a rotation of 0 the output is 0xffffffff, and the
        // increment chosen brings the state back to the same value.
        const std::uint64_t s = ((std::uint64_t{1} << 18) - 1) << 41;
        w.rng.state = s;
        w.rng.inc = s - s * 6364136223846793005ULL;
    } else {
        w.rng.state = 0;
        w.rng.inc = 0;
    }
}

TEST(FirstBoss, OpeningBurstIsEightAimedFans) {
    auto w = freshWorld(250, 420);
    int boss = spawnAt(*w, kFirstBoss, 320, 129);
    EXPECT_TRUE(stepAndCollect(*w, boss, behaveFirstBoss).empty());
    ASSERT_EQ(w->objPhase[boss], 1);
    auto shots = stepAndCollect(*w, boss, behaveFirstBoss);
    EXPECT_EQ(w->objPhase[boss], 2);
    ASSERT_EQ(shots.size(), 84u);
    const int aim = w->aimAngle;

    std::map<double, int> bySpeed;
    size_t n = 0;
    for (int fan = 0; fan < 8; ++fan) {
        const double speed = 1 + fan / 8.0;
        const int width = fan % 2 == 0 ? 11 : 10;
        const int first = aim - 30 + 3 * (fan % 2);
        for (int j = 0; j < width; ++j, ++n) {
            const Shot& s = shots[n];
            EXPECT_EQ(s.kind, kRoundBullet);
            EXPECT_EQ(s.vx, velocityOf(first + 6 * j, speed).vx);
            EXPECT_EQ(s.vy, velocityOf(first + 6 * j, speed).vy);
            ++bySpeed[std::round(std::hypot(s.vx, s.vy) * 1000) / 1000];
        }
    }
    EXPECT_EQ(bySpeed, (std::map<double, int>{{1, 11}, {1.125, 10}, {1.25, 11}, {1.375, 10},
                                              {1.5, 11}, {1.625, 10}, {1.75, 11}, {1.875, 10}}));
    // The middle bullet of an even fan flies at the ship.
    EXPECT_LT(testing::angleOff(shots[5].vx, shots[5].vy, 320, 130, 250, 422), 1.0);
}

TEST(FirstBoss, SpiralAndRainPhases) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kFirstBoss, 320, 130);
    w->objPhase[boss] = 3;
    w->objTimer[boss] = 350;
    auto spiral = stepAndCollect(*w, boss, behaveFirstBoss);
    ASSERT_EQ(spiral.size(), 10u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(spiral[k].picture, 350);
        EXPECT_EQ(spiral[k].vx, velocityOf(350, 3 + k / 8.0).vx);
        EXPECT_EQ(spiral[5 + k].picture, 355);
        EXPECT_EQ(spiral[5 + k].vy, velocityOf(355, 4 + k / 8.0).vy);
    }
    EXPECT_EQ(w->objTimer[boss], 360);

    // Phase 4: a ring every tenth frame, a falling bullet every frame.
    w->objPhase[boss] = 4;
    w->objTimer[boss] = 0;
    w->objParamA[boss] = 9;
    Pcg32 draws = w->rng;
    auto withRing = stepAndCollect(*w, boss, behaveFirstBoss);
    ASSERT_EQ(withRing.size(), 25u);
    for (int j = 0; j < 24; ++j) {
        EXPECT_EQ(withRing[j].picture, 15 * j);
        EXPECT_EQ(withRing[j].vx, velocityOf(15 * j, 2).vx);
    }
    const double u1 = randomDraw(draws), u2 = randomDraw(draws);
    const Shot& rain = withRing[24];
    EXPECT_EQ(rain.x, static_cast<float>(640 * u1));
    EXPECT_EQ(rain.y, -8);
    EXPECT_EQ(rain.vx, 0);
    EXPECT_EQ(rain.vy, static_cast<float>(1 + 2 * u2));
    EXPECT_EQ(w->objTimer[boss], 5);
    EXPECT_EQ(stepAndCollect(*w, boss, behaveFirstBoss).size(), 1u);
}

TEST(FirstBoss, RunsEveryPhaseAndLeaves) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kFirstBoss, 320, -240);
    const Life life = liveThrough(*w, boss, 5000);
    EXPECT_EQ(life.penaltyWhileAlive, 16);
    EXPECT_EQ(life.phases, (std::vector<std::pair<int, int>>{{0, 0}, {1, 370}, {2, 371}, {3, 551}, {4, 695}, {5, 1295}}));
    EXPECT_EQ(life.freedOn, 1295 + 271);
    EXPECT_EQ(w->gaugePenalty, 0);
}

TEST(SecondBoss, RandomPairSharesOneHeading) {
    struct Case {
        bool high;
        int firstHeading, secondHeading, picture;
    };
    // u 0.99999994 gives 2 + 80 - 1; u 0 gives -91, which the first spawn turns into 269.
    for (const Case c : {Case{true, 81, 81, 81}, Case{false, -91, 269, 269}}) {
        SCOPED_TRACE(c.firstHeading);
        auto w = freshWorld();
        int boss = spawnAt(*w, kSecondBoss, 320, 140);
        w->objPhase[boss] = 1;
        w->objParamA[boss] = 360; // 361 next: odd and past 360, no volley
        rigDraws(*w, c.high);
        auto shots = stepAndCollect(*w, boss, behaveSecondBoss);
        ASSERT_EQ(shots.size(), 2u);
        EXPECT_EQ(shots[0].x, 426);
        EXPECT_EQ(shots[1].x, 214);
        EXPECT_EQ(shots[0].y, 102);
        EXPECT_EQ(shots[0].picture, c.picture);
        EXPECT_EQ(shots[1].picture, c.picture);
        EXPECT_EQ(shots[0].vx, velocityOf(c.firstHeading, 2).vx);
        EXPECT_EQ(shots[0].vy, velocityOf(c.firstHeading, 2).vy);
        EXPECT_EQ(shots[1].vx, velocityOf(c.secondHeading, 2).vx);
        EXPECT_EQ(shots[1].vy, velocityOf(c.secondHeading, 2).vy);
    }
    // With the game's pi, 269 and -91 degrees are not quite the same direction.
    EXPECT_NE(velocityOf(269, 2).vx, velocityOf(-91, 2).vx);
}

TEST(SecondBoss, DoubleVolleysAlternateTheirShift) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kSecondBoss, 320, 140);
    w->objPhase[boss] = 1;
    w->objParamA[boss] = 59;
    for (int shift : {0, 10, 0}) {
        SCOPED_TRACE(shift);
        auto shots = stepAndCollect(*w, boss, behaveSecondBoss);
        ASSERT_EQ(shots.size(), 224u);
        for (int d = 0; d < 7; ++d) {
            for (int k = 0; k < 16; ++k) {
                const Shot& right = shots[d * 16 + k];
                const Shot& left = shots[112 + d * 16 + k];
                const int rightHeading = shift - 40 + 20 * d, leftHeading = shift + 40 - 20 * d;
                EXPECT_EQ(right.x, 426);
                EXPECT_EQ(left.x, 214);
                EXPECT_EQ(right.picture, (rightHeading + 360) % 360);
                EXPECT_EQ(left.picture, (leftHeading + 360) % 360);
                EXPECT_EQ(right.vx, velocityOf(rightHeading, 2 + k / 7.0).vx);
                EXPECT_EQ(left.vy, velocityOf(leftHeading, 2 + k / 7.0).vy);
            }
        }
        EXPECT_EQ(w->objTimer[boss], 10 - shift);
        for (int n = 0; n < 59; ++n) EXPECT_TRUE(stepAndCollect(*w, boss, behaveSecondBoss).empty());
    }
}

TEST(SecondBoss, AnnouncesFiveLasersWhereTheShipWas) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    int boss = spawnAt(*w, kSecondBoss, 320, 140);
    w->objPhase[boss] = 2;
    std::map<int, int> announcedAt; // objTimer -> the laser's x
    std::map<int, int> columnAt;    // objTimer -> x of the column built then
    int rings = 0;
    for (int n = 1; n <= 2000 && w->objPhase[boss] == 2; ++n) {
        w->shipX = static_cast<i16>(40 + (n * 7) % 560); // the ship keeps moving
        const i16 shipX = w->shipX;
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, boss, behaveSecondBoss);
        const int t = w->objPhase[boss] == 2 ? w->objTimer[boss] : 1430;
        for (size_t k = sounds; k < media::soundLog().size(); ++k) {
            if (media::soundLog()[k].slot == 4) announcedAt[t] = shipX;
        }
        const int segments = countKind(shots, kLaserSegment);
        if (segments != 0) {
            ASSERT_EQ(segments, 16);
            int y = 0;
            for (const Shot& s : shots) {
                if (s.kind != kLaserSegment) continue;
                EXPECT_EQ(s.y, y);
                EXPECT_EQ(s.x, shots.back().x);
                y += 32;
            }
            columnAt[t] = static_cast<int>(shots.back().x);
        }
        const int round = countKind(shots, kRoundBullet);
        if (round != 0) {
            EXPECT_EQ(round, 90);
            EXPECT_EQ(t % 30, 0);
            ++rings;
        }
    }
    media::setSoundLogging(false);
    EXPECT_EQ(w->objPhase[boss], 3);
    EXPECT_EQ(w->objTimer[boss], 0);
    EXPECT_EQ(w->objParamC[boss], 0);
    EXPECT_EQ(rings, 1410 / 30); // at counts 30, 60, ... 1410

    std::vector<int> times;
    for (const auto& [t, x] : announcedAt) times.push_back(t);
    EXPECT_EQ(times, (std::vector<int>{540, 720, 900, 1080, 1260}));
    // Each laser stands for 59 frames from the 31st frame after its warning, at the
    // ship's x of the warning.
    std::map<int, int> expected;
    for (const auto& [t, x] : announcedAt) {
        for (int f = t + 31; f <= t + 89; ++f) expected[f] = x;
    }
    EXPECT_EQ(columnAt, expected);
}

TEST(SecondBoss, RunsEveryPhaseAndLeaves) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kSecondBoss, 320, -96);
    const Life life = liveThrough(*w, boss, 5000);
    EXPECT_EQ(life.penaltyWhileAlive, 16);
    EXPECT_EQ(life.phases,
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 236}, {2, 956}, {3, 2386}, {4, 3286}}));
    EXPECT_EQ(life.freedOn, 3286 + 120);
    EXPECT_EQ(w->objY[boss], -100);
    EXPECT_EQ(w->gaugePenalty, 0);
}

TEST(LastBoss, JumpsBetweenTheCorners) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kLastBoss, 320, 240);
    w->objPhase[boss] = 3;
    const std::pair<float, float> corners[] = {{0, 480}, {640, 0}, {640, 480}, {0, 0}};
    for (int n = 1; n <= 120; ++n) {
        EXPECT_TRUE(stepAndCollect(*w, boss, behaveLastBoss).empty());
        const auto [x, y] = corners[(n - 1) % 4];
        EXPECT_EQ(w->objX[boss], x) << n;
        EXPECT_EQ(w->objY[boss], y) << n;
    }
    auto ring = stepAndCollect(*w, boss, behaveLastBoss);
    ASSERT_EQ(ring.size(), 12u);
    for (int j = 0; j < 12; ++j) {
        EXPECT_EQ(ring[j].kind, kRoundBullet);
        EXPECT_EQ(ring[j].x, 0);
        EXPECT_EQ(ring[j].y, 480);
        EXPECT_EQ(ring[j].vx, velocityOf(1210 + 30 * j, 2).vx);
        EXPECT_EQ(ring[j].vy, velocityOf(1210 + 30 * j, 2).vy);
    }
}

TEST(LastBoss, LaserStrikesComeSoonerEachTime) {
    media::setSoundLogging(true);
    auto w = freshWorld(300, 400);
    int boss = spawnAt(*w, kLastBoss, 100, -81);
    w->objPhase[boss] = 5;
    w->objParamA[boss] = 120;
    std::vector<int> strikes;
    std::map<int, int> laserX; // step -> column x
    std::vector<int> strikeX;
    int step = 0;
    while (w->objPhase[boss] == 5 && step < 6000) {
        ++step;
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        const int lines = countKind(shots, kHeadingBullet);
        if (lines != 0) {
            ASSERT_EQ(lines, 32);
            ASSERT_EQ(media::soundLog().size(), sounds + 1);
            EXPECT_EQ(media::soundLog().back().slot, 4);
            // Two falling lines of 16 flanking the laser's x, fastest last.
            const float left = shots[0].x;
            for (int k = 0; k < 16; ++k) {
                EXPECT_EQ(shots[2 * k].x, left);
                EXPECT_EQ(shots[2 * k + 1].x, left + 32);
                EXPECT_EQ(shots[2 * k].y, -4);
                EXPECT_EQ(shots[2 * k].vx, 0);
                EXPECT_EQ(shots[2 * k + 1].vy, k + 1);
                EXPECT_EQ(shots[2 * k].picture, 0);
            }
            EXPECT_GE(left + 16, 300 - 160);
            EXPECT_LT(left + 16, 300 + 160);
            strikes.push_back(step);
            strikeX.push_back(static_cast<int>(left) + 16);
        }
        const int segments = countKind(shots, kLaserSegment);
        if (segments != 0) {
            EXPECT_EQ(segments, 16);
            for (const Shot& s : shots) {
                if (s.kind == kLaserSegment) laserX[step] = static_cast<int>(s.x);
            }
        }
    }
    media::setSoundLogging(false);
    ASSERT_EQ(strikes.size(), 24u);
    std::vector<int> gaps{strikes[0]};
    for (size_t k = 1; k < strikes.size(); ++k) gaps.push_back(strikes[k] - strikes[k - 1]);
    std::vector<int> expectedGaps;
    for (int g = 240; g >= 125; g -= 5) expectedGaps.push_back(g);
    EXPECT_EQ(gaps, expectedGaps);

    // A laser for 60 frames after each of the first 23 strikes, none after the 24th,
    // in whose frame the next phase begins.
    std::map<int, int> expected;
    for (size_t k = 0; k + 1 < strikes.size(); ++k) {
        for (int f = strikes[k] + 60; f <= strikes[k] + 119; ++f) expected[f] = strikeX[k];
    }
    EXPECT_EQ(laserX, expected);
    EXPECT_EQ(step, strikes.back());
    EXPECT_EQ(w->objPhase[boss], 6);
    EXPECT_EQ(w->objX[boss], 320);
    EXPECT_EQ(w->objY[boss], -80);
    EXPECT_EQ(w->objParamA[boss], 7);
    EXPECT_EQ(w->objParamB[boss], 0);
}

TEST(LastBoss, SinksThenClimbsOutFiring) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kLastBoss, 320, 240);
    w->objPhase[boss] = 8;
    w->objTimer[boss] = 64;
    std::vector<float> ys;
    int rings = 0, steps = 0;
    while (w->objKind[boss] == kLastBoss && steps < 2000) {
        const float y = w->objY[boss];
        const int timer = w->objTimer[boss];
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        ++steps;
        EXPECT_EQ(w->objY[boss], static_cast<float>(y + timer / 32.0));
        ys.push_back(w->objY[boss]);
        if (!shots.empty()) {
            ASSERT_EQ(shots.size(), 12u);
            EXPECT_EQ((timer - 1) % 10, 0);
            EXPECT_EQ(shots[0].kind, kLargeShot);
            if (w->objKind[boss] == kLastBoss) {
                EXPECT_EQ(shots[3].vx, velocityOf(timer - 1 + 90, 3).vx);
            }
            ++rings;
        }
    }
    EXPECT_EQ(ys[0], 242);
    EXPECT_EQ(ys[1], 242 + 63 / 32.0f);
    EXPECT_EQ(*std::max_element(ys.begin(), ys.end()), 240 + 65);
    EXPECT_LT(ys.back(), -80);
    EXPECT_GE(ys[ys.size() - 2], -80);
    EXPECT_GT(rings, 10);
}

TEST(LastBoss, ItsLastVolleyReadsTheSlotItGaveUp) {
    struct Case {
        int bossSlot;
        int restBase; // the heading base of the shots after the first
    };
    // In slot 0 the first shot takes the boss's own slot and the rest read that shot's
    // timer of 0; with twelve free slots below the boss every shot reads its -10.
    for (const Case c : {Case{0, 0}, Case{12, -10}}) {
        SCOPED_TRACE(c.bossSlot);
        auto w = freshWorld();
        for (int s = 0; s < c.bossSlot; ++s) spawnAt(*w, kRoundBullet, 10, 10);
        int boss = spawnAt(*w, kLastBoss, 320, -79.9f);
        ASSERT_EQ(boss, c.bossSlot);
        for (int s = 0; s < c.bossSlot; ++s) w->objKind[s] = kFree;
        w->objPhase[boss] = 8;
        w->objTimer[boss] = -9;
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        ASSERT_EQ(shots.size(), 12u);
        EXPECT_EQ(shots[0].slot, 0);
        EXPECT_EQ(shots[0].vx, velocityOf(-10, 3).vx);
        EXPECT_EQ(shots[0].vy, velocityOf(-10, 3).vy);
        for (int j = 1; j < 12; ++j) {
            EXPECT_EQ(shots[j].vx, velocityOf(c.restBase + 30 * j, 3).vx) << j;
            EXPECT_EQ(shots[j].vy, velocityOf(c.restBase + 30 * j, 3).vy) << j;
            EXPECT_EQ(shots[j].x, 320);
        }
    }
}

TEST(LastBoss, RunsEveryPhaseAndLeaves) {
    auto w = freshWorld(320, 400);
    int boss = spawnAt(*w, kLastBoss, 320, -96);
    const Life life = liveThrough(*w, boss, 20000);
    EXPECT_EQ(life.penaltyWhileAlive, 19);
    ASSERT_EQ(life.phases.size(), 9u);
    for (int p = 0; p <= 8; ++p) EXPECT_EQ(life.phases[p].first, p);
    auto lasted = [&](int p) { return life.phases[p + 1].second - life.phases[p].second; };
    EXPECT_EQ(lasted(0), 120);
    EXPECT_EQ(lasted(1), 4 * 360);
    EXPECT_EQ(lasted(2), 360);
    EXPECT_EQ(lasted(3), 901);
    EXPECT_GT(lasted(4), 100);
    EXPECT_LT(lasted(4), 200);
    EXPECT_EQ(lasted(5), 4380); // 240 + 235 + ... + 125
    EXPECT_EQ(lasted(6), 16 * 30);
    EXPECT_EQ(lasted(7), 360);
    EXPECT_GT(life.freedOn, life.phases[8].second);
    EXPECT_LT(life.freedOn, life.phases[8].second + 1000);
    EXPECT_EQ(w->gaugePenalty, 19);
}

} // namespace
} // namespace tolvane
