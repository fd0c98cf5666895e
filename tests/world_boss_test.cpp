// The three bosses: their phases, the opening burst, the random pair, the lasers and
// how each one leaves.
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

using namespace tolvane::testing;

// Puts the generator where its next draws are all 0.99999994, or all 0.
void rigDraws(World& w, bool high) {
    // With bits 41..58 set and no rotation the output is 0xffffffff, and this
    // increment brings the state back to the same value.
    const std::uint64_t s = high ? ((std::uint64_t{1} << 18) - 1) << 41 : 0;
    w.rng.state = s;
    w.rng.inc = s - s * 6364136223846793005ULL;
}

std::vector<int> soundsPlayed(size_t from) {
    std::vector<int> slots;
    for (size_t k = from; k < media::soundLog().size(); ++k) slots.push_back(media::soundLog()[k].slot);
    return slots;
}

// Each boss from its stage-script spawn, one step at a time: phases, exit and fire.
TEST(Bosses, RunEveryPhaseAndLeave) {
    struct Case {
        int kind;
        void (*behave)(World&, int);
        std::vector<std::pair<int, int>> phases;
        int freedOn; // 0: some time in the last phase
        std::map<int, int> fired;
        i16 penaltyAfter;
    };
    const Case cases[] = {
        // Burst of 84; 144 spiral frames of 10; 600 frames of rain and 60 rings of 24.
        {kFirstBoss,
         behaveFirstBoss,
         {{0, 0}, {1, 370}, {2, 371}, {3, 551}, {4, 695}, {5, 1295}},
         1566,
         {{kRoundBullet, 84}, {kHeadingBullet, 3480}},
         0},
        // 12 double volleys and 180 random pairs; 47 rings and 5 lasers of 59 frames;
        // 30 volleys of 36 from each gun.
        {kSecondBoss,
         behaveSecondBoss,
         {{0, 0}, {1, 236}, {2, 956}, {3, 2386}, {4, 3286}},
         3406,
         {{kRoundBullet, 5310}, {kHeadingBullet, 4128}, {kLaserSegment, 4720}},
         0},
        // 91 rings of 60, 36 fans of 7, 24 strikes of 32 falling bullets; 781 corner
        // rings of 12 and 16 x 8 rings of 36; 23 lasers of 60 frames.
        {kLastBoss,
         behaveLastBoss,
         {{0, 0}, {1, 120}, {2, 1560}, {3, 1920}, {4, 2821}, {5, 2956}, {6, 7336}, {7, 7816}, {8, 8176}},
         0,
         {{kRoundBullet, 13980}, {kHeadingBullet, 6480}, {kLaserSegment, 22080}},
         19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        auto w = freshWorld(320, 400);
        int s = spawnAt(*w, c.kind, 320, c.kind == kFirstBoss ? -240 : -96);
        Life life = liveThrough(*w, s, c.behave, 20000);
        EXPECT_EQ(life.phases, c.phases);
        if (c.freedOn != 0) {
            EXPECT_EQ(life.freedOn, c.freedOn);
        } else {
            EXPECT_GT(life.freedOn, life.phases.back().second);
            EXPECT_LT(life.freedOn, life.phases.back().second + 1000);
            life.fired.erase(kLargeShot); // how many depends on where it last went
        }
        EXPECT_EQ(life.fired, c.fired);
        EXPECT_EQ(w->gaugePenalty, c.penaltyAfter);
    }
}

TEST(FirstBoss, OpeningBurstIsEightAimedFans) {
    auto w = freshWorld(250, 420);
    int boss = spawnAt(*w, kFirstBoss, 320, 130);
    w->objPhase[boss] = 1;
    auto shots = stepAndCollect(*w, boss, behaveFirstBoss);
    ASSERT_EQ(shots.size(), 84u);
    std::map<double, int> bySpeed;
    size_t n = 0;
    for (int fan = 0; fan < 8; ++fan) {
        const int first = w->aimAngle - 30 + 3 * (fan % 2);
        for (int j = 0; j < 11 - fan % 2; ++j, ++n) {
            EXPECT_EQ(shots[n].vx, velocityOf(first + 6 * j, 1 + fan / 8.0).vx);
            EXPECT_EQ(shots[n].vy, velocityOf(first + 6 * j, 1 + fan / 8.0).vy);
            ++bySpeed[std::round(std::hypot(shots[n].vx, shots[n].vy) * 1000) / 1000];
        }
    }
    EXPECT_EQ(
        bySpeed,
        (std::map<double, int>{
            {1, 11}, {1.125, 10}, {1.25, 11}, {1.375, 10}, {1.5, 11}, {1.625, 10}, {1.75, 11}, {1.875, 10}}));
    // The middle bullet of the first fan flies at the ship.
    EXPECT_LT(angleOff(shots[5].vx, shots[5].vy, 320, 130, 250, 422), 1.0);
}

TEST(SecondBoss, RandomPairSharesOneHeading) {
    // u 0.99999994 twice gives 2 + 80 - 1; u 0 twice gives -91, which the first spawn
    // turns into 269 for both pictures and for the second shot's velocity.
    struct Case {
        bool high;
        int firstHeading, secondHeading;
    };
    for (const Case c : {Case{true, 81, 81}, Case{false, -91, 269}}) {
        SCOPED_TRACE(c.firstHeading);
        auto w = freshWorld();
        int boss = spawnAt(*w, kSecondBoss, 320, 140);
        w->objPhase[boss] = 1;
        w->objParamA[boss] = 360; // 361 next: odd and past 360, no volley
        rigDraws(*w, c.high);
        auto shots = stepAndCollect(*w, boss, behaveSecondBoss);
        ASSERT_EQ(shots.size(), 2u);
        EXPECT_EQ(shots[0].x, 426); // right gun first
        EXPECT_EQ(shots[1].x, 214);
        EXPECT_EQ(shots[0].y, 102);
        EXPECT_EQ(shots[0].picture, c.secondHeading);
        EXPECT_EQ(shots[1].picture, c.secondHeading);
        EXPECT_EQ(shots[0].vx, velocityOf(c.firstHeading, 2).vx);
        EXPECT_EQ(shots[1].vx, velocityOf(c.secondHeading, 2).vx);
        EXPECT_EQ(shots[1].vy, velocityOf(c.secondHeading, 2).vy);
    }
    // With the game's pi, 269 and -91 degrees are not quite the same direction.
    EXPECT_NE(velocityOf(269, 2).vx, velocityOf(-91, 2).vx);
}

TEST(SecondBoss, AnnouncesFiveLasersWhereTheShipWas) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    int boss = spawnAt(*w, kSecondBoss, 320, 140);
    w->objPhase[boss] = 2;
    std::map<int, int> announced, columns; // objTimer -> x
    for (int n = 1; n < 1430; ++n) {
        w->shipX = static_cast<i16>(40 + (n * 7) % 560); // the ship keeps moving
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, boss, behaveSecondBoss);
        const int t = w->objTimer[boss];
        if (!soundsPlayed(sounds).empty()) {
            EXPECT_EQ(soundsPlayed(sounds), std::vector<int>{4});
            announced[t] = w->shipX;
        }
        std::vector<float> ys;
        for (const Shot& s : shots) {
            if (s.kind != kLaserSegment) continue;
            ys.push_back(s.y);
            columns[t] = static_cast<int>(s.x);
            EXPECT_EQ(s.x, shots.back().x);
        }
        if (!ys.empty()) {
            ASSERT_EQ(ys.size(), 16u);
            for (int k = 0; k < 16; ++k) EXPECT_EQ(ys[k], 32 * k);
        }
    }
    media::setSoundLogging(false);
    std::vector<int> times;
    for (const auto& [t, x] : announced) times.push_back(t);
    EXPECT_EQ(times, (std::vector<int>{540, 720, 900, 1080, 1260}));
    // Each laser stands for 59 frames from the 31st frame after its warning, at the
    // ship's x of the warning.
    std::map<int, int> expected;
    for (const auto& [t, x] : announced) {
        for (int f = t + 31; f <= t + 89; ++f) expected[f] = x;
    }
    EXPECT_EQ(columns, expected);
}

TEST(LastBoss, JumpsBetweenTheCornersThenFiresRings) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kLastBoss, 320, 240);
    w->objPhase[boss] = 3;
    const std::pair<float, float> corners[] = {{0, 480}, {640, 0}, {640, 480}, {0, 0}};
    for (int n = 1; n <= 121; ++n) {
        auto ring = stepAndCollect(*w, boss, behaveLastBoss);
        EXPECT_EQ(w->objX[boss], corners[(n - 1) % 4].first) << n;
        EXPECT_EQ(w->objY[boss], corners[(n - 1) % 4].second) << n;
        EXPECT_EQ(ring.size(), n > 120 ? 12u : 0u);
    }
}

TEST(LastBoss, LaserStrikesComeSoonerEachTime) {
    media::setSoundLogging(true);
    auto w = freshWorld(300, 400);
    int boss = spawnAt(*w, kLastBoss, 100, -81);
    w->objPhase[boss] = 5;
    w->objParamA[boss] = 120;
    std::vector<int> strikes, strikeX;
    std::map<int, int> laserX; // step -> column x
    for (int step = 1; w->objPhase[boss] == 5 && step < 6000; ++step) {
        const size_t sounds = media::soundLog().size();
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        if (countKind(shots, kHeadingBullet) != 0) {
            // Two falling lines of 16 flanking the laser's x, the fastest last.
            ASSERT_EQ(countKind(shots, kHeadingBullet), 32);
            EXPECT_EQ(soundsPlayed(sounds), std::vector<int>{4});
            for (int k = 0; k < 16; ++k) {
                EXPECT_EQ(shots[2 * k].x, shots[0].x);
                EXPECT_EQ(shots[2 * k + 1].x, shots[0].x + 32);
                EXPECT_EQ(shots[2 * k].y, -4);
                EXPECT_EQ(shots[2 * k + 1].vy, k + 1);
            }
            strikes.push_back(step);
            strikeX.push_back(static_cast<int>(shots[0].x) + 16);
            EXPECT_GE(strikeX.back(), 300 - 160);
            EXPECT_LE(strikeX.back(), 300 + 160);
        }
        for (const Shot& s : shots) {
            if (s.kind == kLaserSegment) laserX[step] = static_cast<int>(s.x);
        }
        EXPECT_EQ(countKind(shots, kLaserSegment) % 16, 0);
    }
    media::setSoundLogging(false);
    ASSERT_EQ(strikes.size(), 24u);
    std::vector<int> gaps{strikes[0]}, expectedGaps;
    for (size_t k = 1; k < strikes.size(); ++k) gaps.push_back(strikes[k] - strikes[k - 1]);
    for (int g = 240; g >= 125; g -= 5) expectedGaps.push_back(g);
    EXPECT_EQ(gaps, expectedGaps);
    // A laser for 60 frames after each of the first 23 strikes; the 24th starts the
    // next phase in its own frame, so it has none.
    std::map<int, int> expected;
    for (size_t k = 0; k + 1 < strikes.size(); ++k) {
        for (int f = strikes[k] + 60; f <= strikes[k] + 119; ++f) expected[f] = strikeX[k];
    }
    EXPECT_EQ(laserX, expected);
    EXPECT_EQ(w->objPhase[boss], 6);
    EXPECT_EQ(w->objX[boss], 320);
    EXPECT_EQ(w->objY[boss], -80);
}

TEST(LastBoss, SinksThenClimbsOutFiring) {
    auto w = freshWorld();
    int boss = spawnAt(*w, kLastBoss, 320, 240);
    w->objPhase[boss] = 8;
    w->objTimer[boss] = 64;
    std::vector<float> ys;
    int rings = 0;
    while (w->objKind[boss] == kLastBoss && ys.size() < 2000) {
        const int timer = w->objTimer[boss];
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        ys.push_back(w->objY[boss]);
        if (shots.empty()) continue;
        ++rings;
        ASSERT_EQ(shots.size(), 12u);
        EXPECT_EQ((timer - 1) % 10, 0);
        EXPECT_EQ(shots[3].vx, velocityOf(timer - 1 + 90, 3).vx);
    }
    // Down by 64/32, 63/32, ... to 240 + 65, then up ever faster until above -80.
    EXPECT_EQ(ys[0], 242);
    EXPECT_EQ(ys[1], 242 + 63 / 32.0f);
    EXPECT_EQ(std::max_element(ys.begin(), ys.end()) - ys.begin(), 63);
    EXPECT_EQ(ys[63], 305);
    EXPECT_LT(ys.back(), -80);
    EXPECT_GE(ys[ys.size() - 2], -80);
    EXPECT_GT(rings, 10);
}

TEST(LastBoss, ItsLastVolleyReadsTheSlotItGaveUp) {
    // In slot 0 the first shot takes the boss's own slot and the other eleven read that
    // shot's timer of 0; with twelve free slots below the boss all read its -10.
    for (const auto& [bossSlot, restBase] : {std::pair{0, 0}, std::pair{12, -10}}) {
        SCOPED_TRACE(bossSlot);
        auto w = freshWorld();
        for (int s = 0; s < bossSlot; ++s) spawnAt(*w, kRoundBullet, 10, 10);
        int boss = spawnAt(*w, kLastBoss, 320, -79.9f);
        ASSERT_EQ(boss, bossSlot);
        for (int s = 0; s < bossSlot; ++s) w->objKind[s] = kFree;
        w->objPhase[boss] = 8;
        w->objTimer[boss] = -9; // freed in this step, with the timer at -10
        auto shots = stepAndCollect(*w, boss, behaveLastBoss);
        ASSERT_EQ(shots.size(), 12u);
        EXPECT_EQ(shots[0].slot, 0);
        EXPECT_EQ(shots[0].vx, velocityOf(-10, 3).vx);
        for (int j = 1; j < 12; ++j) {
            EXPECT_EQ(shots[j].vx, velocityOf(restBase + 30 * j, 3).vx) << j;
            EXPECT_EQ(shots[j].vy, velocityOf(restBase + 30 * j, 3).vy) << j;
            EXPECT_EQ(shots[j].x, 320);
        }
    }
}

} // namespace
} // namespace tolvane
