// The object table: spawning with the presets of each kind, the marker kinds' side
// effects (music, chain base, the end-of-game accounting) and aiming.
#include <gtest/gtest.h>

#include <string>

#include "media/stools.h"
#include "world_test_support.h"

using namespace tolvane;
using tolvane::testing::freshWorld;
using tolvane::testing::spawnAt;

namespace {

std::vector<std::string> soundCalls() {
    std::vector<std::string> out;
    for (const auto& c : media::soundLog()) {
        std::string s = c.name;
        if (c.slot >= 0) s += " " + std::to_string(c.slot);
        if (!c.path.empty()) s += " " + c.path.substr(c.path.rfind('/') + 1);
        out.push_back(s);
    }
    return out;
}

} // namespace

TEST(Spawn, PresetsOfEveryKind) {
    struct Case {
        int kind;
        float cellX, cellY, width, height;
        int left, right, top, bottom;
    } cases[] = {
        {1, 0, 12, 48, 48, -18, 18, -18, 18},      {2, 0, 0, 12, 12, -1, 2, -1, 2},
        {3, 48, 0, 160, 96, -70, 70, -40, 40},     {4, 0, 96, 16, 16, -1, 2, -1, 2},
        {5, 0, 240, 80, 160, -30, 30, -75, 75},    {6, 0, 12, 48, 48, -18, 18, -18, 18},
        {7, 208, 0, 48, 64, -12, 12, -28, 28},     {11, 80, 240, 160, 240, -70, 70, -120, 120},
        {12, 240, 240, 80, 160, -30, 30, -70, 70}, {13, 240, 400, 32, 32, -16, 16, -16, 16},
        {14, 272, 400, 160, 80, -80, 80, -40, 40}, {15, 240, 432, 32, 32, -8, 8, -8, 8},
        {16, 256, 0, 240, 96, -100, 100, -40, 40}, {17, 0, 400, 80, 80, -30, 30, -30, 30},
    };
    for (const Case& c : cases) {
        auto w = freshWorld();
        int s = spawnAt(*w, c.kind, 100, 50, 1.5f, -2.5f);
        ASSERT_EQ(s, 0) << c.kind;
        EXPECT_EQ(w->objX[s], 100);
        EXPECT_EQ(w->objVy[s], -2.5f);
        EXPECT_EQ(w->objCellX[s], c.cellX) << c.kind;
        EXPECT_EQ(w->objCellY[s], c.cellY) << c.kind;
        EXPECT_EQ(w->objWidth[s], c.width) << c.kind;
        EXPECT_EQ(w->objHeight[s], c.height) << c.kind;
        EXPECT_EQ(w->objHitLeft[s], c.left) << c.kind;
        EXPECT_EQ(w->objHitRight[s], c.right) << c.kind;
        EXPECT_EQ(w->objHitTop[s], c.top) << c.kind;
        EXPECT_EQ(w->objHitBottom[s], c.bottom) << c.kind;
    }
}

TEST(Spawn, SideDependentPresets) {
    struct Case {
        int kind;
        float x;
        int timer, paramA, paramC;
    } cases[] = {{6, 670, 280, 80, 1}, {6, -30, 280, 80, 0}, {6, 320, 280, 80, 0},
                 {14, 320, 90, -1, 0}, {14, 319, 90, 1, 0},  {12, 320, 90, 0, 0}};
    for (const Case& c : cases) {
        auto w = freshWorld();
        int s = spawnAt(*w, c.kind, c.x, 180);
        EXPECT_EQ(w->objTimer[s], c.timer) << c.kind << " at " << c.x;
        EXPECT_EQ(w->objParamA[s], c.paramA) << c.kind << " at " << c.x;
        EXPECT_EQ(w->objParamC[s], c.paramC) << c.kind << " at " << c.x;
    }
}

TEST(Spawn, HeadingBulletCorrectsTheCallersHeadingAndPicksItsPicture) {
    struct Case {
        int heading, stored, frameX, frameY;
    } cases[] = {
        {-91, 269, 464, 96}, {1435, 1435, 560, 128}, {0, 0, 0, 0}, {359, 359, 624, 128}, {40, 40, 0, 16}};
    for (const Case& c : cases) {
        auto w = freshWorld();
        i16 heading = static_cast<i16>(c.heading);
        spawnObject(*w, kHeadingBullet, 10, 10, 0, 0, heading);
        EXPECT_EQ(heading, c.stored) << c.heading;
        EXPECT_EQ(w->objFrameX[0], c.frameX) << c.heading;
        EXPECT_EQ(w->objFrameY[0], c.frameY) << c.heading;
    }
    // Other kinds leave the heading alone.
    auto w = freshWorld();
    i16 heading = -91;
    spawnObject(*w, kRoundBullet, 10, 10, 0, 0, heading);
    EXPECT_EQ(heading, -91);
}

TEST(Spawn, AFullTableDropsTheSpawnAndCorrectsNothing) {
    auto w = freshWorld();
    for (int i = 0; i < kObjectSlots; ++i) w->objKind[i] = kRoundBullet;
    w->objX[7] = 123;
    i16 heading = -10;
    spawnObject(*w, kHeadingBullet, 1, 1, 0, 0, heading);
    EXPECT_EQ(heading, -10);
    EXPECT_EQ(w->objX[7], 123);
    // A freed slot is the next one used, the lowest first.
    w->objKind[900] = kFree;
    w->objKind[50] = kFree;
    spawnObject(*w, kHeadingBullet, 1, 1, 0, 0, heading);
    EXPECT_EQ(w->objKind[50], kHeadingBullet);
    EXPECT_EQ(w->objKind[900], kFree);
}

TEST(Spawn, NothingAfterTheTimeOut) {
    auto w = freshWorld();
    w->timeUpDone = 1;
    spawnAt(*w, kFanEnemy, 100, 100);
    EXPECT_EQ(w->objKind[0], kFree);
}

TEST(Spawn, StageStartChangesTheMusicAndTheChainBase) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    w->chain = 50;
    int s = spawnAt(*w, kStageBanner, 5, 0);
    EXPECT_EQ(w->objParamC[s], 5);
    EXPECT_EQ(w->objX[s], -10);
    EXPECT_EQ(w->objY[s], -10);
    EXPECT_EQ(w->chainBase, 50);
    EXPECT_EQ(soundCalls(), (std::vector<std::string>{"MTStop", "MTReadFile stage1.mid", "MTPlay"}));

    media::setSoundLogging(true);
    spawnAt(*w, kStageBanner, 7, 0); // the final stage starts silent
    EXPECT_EQ(soundCalls(), (std::vector<std::string>{"MTStop"}));

    struct Boss {
        int kind;
        const char* song;
        int penalty;
    } bosses[] = {{11, "boss.mid", 16}, {16, "boss.mid", 16}, {17, "lastboss.mid", 19}};
    for (const Boss& b : bosses) {
        media::setSoundLogging(true);
        spawnAt(*w, b.kind, 320, -96);
        EXPECT_EQ(soundCalls(),
                  (std::vector<std::string>{"MTStop", std::string("MTReadFile ") + b.song, "MTPlay"}));
        EXPECT_EQ(w->gaugePenalty, b.penalty);
    }
}

TEST(Spawn, EndOfGameFreesEverythingAndAddsTheFinalBonuses) {
    media::setSoundLogging(true);
    auto w = freshWorld();
    w->replayMode = 1; // playback: no records written
    for (int i = 0; i < 30; ++i) spawnAt(*w, kRoundBullet, 100, 100);
    w->timeLeft = 3600; // one minute
    w->chain = 40;
    w->maxChain = 25;
    w->totalContacts = 100;
    w->level = 5;
    w->score = 1000;
    int s = spawnAt(*w, kGameEnd, 6, 0);
    int live = 0;
    for (int i = 0; i < kObjectSlots; ++i) live += w->objKind[i] != kFree;
    EXPECT_EQ(live, 1);
    EXPECT_EQ(w->objKind[s], kGameEnd);
    EXPECT_EQ(w->maxChain, 40);
    EXPECT_EQ(w->totalContacts, 140);
    EXPECT_EQ(w->timeBonus, 6000000);
    EXPECT_EQ(w->finalBonus, 6000000 + 140 + 5 * 40);
    EXPECT_EQ(w->score, 1000 + w->finalBonus);
    EXPECT_EQ(w->chain, 40); // not reset
    EXPECT_EQ(w->gameEnded, 1);
    EXPECT_EQ(soundCalls(), (std::vector<std::string>{"MTStop", "MTReadFile CLEAR.mid", "MTPlay"}));
}

TEST(Aim, HeadingTowardAPointTwoPixelsBelowTheShip) {
    struct Case {
        int shipX, shipY, aim;
    } cases[] = {{320, 400, 0},   {100, 98, 90}, {540, 98, 270},  {320, 20, 180}, {100, 100, 89},
                 {320, 100, 180}, {320, 101, 0}, {620, 400, 315}, {20, 400, 45}};
    for (const Case& c : cases) {
        auto w = freshWorld(static_cast<i16>(c.shipX), static_cast<i16>(c.shipY));
        aimAtPlayer(*w, 320, 100);
        EXPECT_EQ(w->aimAngle, c.aim) << c.shipX << "," << c.shipY;
    }
}
