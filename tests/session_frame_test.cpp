// A new game and the steps of one frame: time, pacing, input decoding, the tap
// windows and the speed boost, the ship, the bomb and the time-out.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "media/dtools.h"
#include "media/platform_null.h"
#include "media/stools.h"
#include "session/harness.h"

using namespace tolvane;

namespace {

struct Game {
    Session session;
    World& w = session.world();

    // A playback game (input from the replay buffer), without a stage script unless asked.
    explicit Game(bool script = false) {
        session.preparePlayback();
        session.begin(script);
    }
    void frame() { session.frame(); }
    void frames(int n) {
        for (int i = 0; i < n; ++i) frame();
    }
};

} // namespace

TEST(NewGame, SetsTheStartValues) {
    Game g;
    EXPECT_EQ(g.w.shipX, 320);
    EXPECT_EQ(g.w.shipY, 540);
    EXPECT_EQ(g.w.level, 1);
    EXPECT_EQ(g.w.entryTimer, 80);
    EXPECT_EQ(g.w.blinkTimer, 120);
    EXPECT_EQ(g.w.starSpeed, 2400.0f);
    EXPECT_EQ(g.w.timeLeft, 10800);
    EXPECT_EQ(g.w.bombStock, 1);
    EXPECT_EQ(g.w.frameCounter, 0);
    EXPECT_EQ(g.w.hiscoreRank, -1);
    EXPECT_EQ(g.w.score, 0);
    for (int i = 0; i < kObjectSlots; ++i) ASSERT_EQ(g.w.objKind[i], 0);
}

TEST(NewGame, BurstPatternIsRoundedSineModuloThree) {
    Game g;
    for (int i = 0; i <= 7; ++i) {
        for (int j = 0; j <= 3; ++j) {
            for (int k = 0; k <= 16; ++k) {
                double v = std::nearbyint(k + j + i + 3 * std::sin(double(k * j * i)));
                EXPECT_EQ(g.w.burstPattern[k][j][i], static_cast<int>(v) % 3) << k << j << i;
                EXPECT_LE(g.w.burstPattern[k][j][i], 2);
            }
        }
    }
    // A few values worked out by hand: sin(0) = 0, sin(1) = 0.84, sin(6) = -0.28.
    EXPECT_EQ(g.w.burstPattern[0][0][0], 0);
    EXPECT_EQ(g.w.burstPattern[1][1][1], 0); // 3 + 2.52 = 5.52 -> 6 -> 0
    EXPECT_EQ(g.w.burstPattern[1][2][3], 2); // 6 - 0.84 = 5.16 -> 5 -> 2
}

TEST(TimeText, SecondsWithoutTrailingZeros) {
    struct Case {
        int timeLeft;
        const char* text;
    } cases[] = {{10800, "Time 180"}, {10799, "Time 179.98"}, {10790, "Time 179.83"}, {60, "Time 1"},
                 {1, "Time 0.01"},    {0, "Time 0"},          {30, "Time 0.5"}};
    for (const Case& c : cases) EXPECT_EQ(timeText(c.timeLeft), c.text) << c.timeLeft;
}

TEST(TimeText, FirstFrameShowsTheTimeAlreadyDecreased) {
    Game g;
    g.frame();
    EXPECT_EQ(g.w.timeLeft, 10799);
    EXPECT_EQ(timeText(g.w.timeLeft), "Time 179.98");
}

TEST(Pacing, FrameIsDueAfterTheSpeedsPeriod) {
    struct Case {
        int speed;
        std::uint32_t notYet, due; // elapsed milliseconds
    } cases[] = {{0, 16, 17}, {1, 8, 9}, {15, 1, 2}, {255, 0, 1}};
    for (const Case& c : cases) {
        EXPECT_FALSE(frameDue(1000 + c.notYet, 1000, static_cast<u8>(c.speed))) << c.speed;
        EXPECT_TRUE(frameDue(1000 + c.due, 1000, static_cast<u8>(c.speed))) << c.speed;
    }
    // The clock may wrap round between two frames.
    EXPECT_TRUE(frameDue(5, static_cast<i32>(0xFFFFFFF0u), 0));
}

TEST(Pacing, TheWaitSleepsToJustBeforeTheDueTickThenPolls) {
    // Every poll of the null clock takes a millisecond; a sleep that ends early ends on
    // the millisecond before its tick.
    for (int speed = 0; speed <= 255; speed = speed == 15 ? 255 : speed + 1) {
        const auto s = static_cast<u8>(speed);
        std::uint32_t due = 1000;
        while (!frameDue(due, 1000, s)) ++due; // the first tick the frame may start on
        platform::null::reset();
        platform::null::setTime(1000, 1);
        Game g;
        g.w.running = 1;
        g.w.playbackSpeed = s;
        g.w.lastFrameTime = 1000;
        std::uint32_t now = 0;
        ASSERT_TRUE(waitForFrame(g.w, now)) << speed;
        EXPECT_EQ(now, due) << speed << ": the frame starts on its tick, not later";
        // Polled at 1000, slept to the millisecond before the tick, polled twice more.
        EXPECT_EQ(platform::null::sleptMs(), due - 1000 > 1 ? due - 1000 - 2 : 0) << speed;
    }
    platform::null::reset();
    Game g;
    g.w.running = 0;
    std::uint32_t now = 0;
    EXPECT_FALSE(waitForFrame(g.w, now)) << "a game that is not running waits for nothing";
    EXPECT_EQ(platform::null::sleptMs(), 0u);
}

TEST(Pacing, OnlyPresentedFramesAreComposed) {
    media::setDrawBackend(media::DrawBackend::Offscreen);
    Game g;
    for (u8 skip : {1, 0, 7, 0}) {
        g.w.frameSkip = skip;
        g.frame();
        EXPECT_EQ(media::drawsPixels(), skip == 0) << int(skip);
    }
    media::setDrawBackend(media::DrawBackend::Null);
}

TEST(Pacing, OneFrameInSpeedPlusOneIsPresented) {
    for (int speed : {0, 1, 15, 255}) {
        u8 skip = 0;
        int presented = 0;
        for (int f = 0; f < 256 * 4; ++f) {
            skip = nextFrameSkip(skip, static_cast<u8>(speed));
            presented += skip == 0;
        }
        EXPECT_EQ(presented, 256 * 4 / (speed + 1)) << speed;
    }
    EXPECT_EQ(nextFrameSkip(255, 255), 0); // the byte wraps at speed 255
}

TEST(Pacing, SpeedKeysActOnlyInPlayback) {
    Game g;
    g.w.replayMode = 0;
    changePlaybackSpeed(g.w, 112);
    EXPECT_EQ(g.w.playbackSpeed, 0);
    g.w.replayMode = 1;
    for (int i = 0; i < 20; ++i) changePlaybackSpeed(g.w, 112);
    EXPECT_EQ(g.w.playbackSpeed, 15);
    changePlaybackSpeed(g.w, 113);
    EXPECT_EQ(g.w.playbackSpeed, 14);
    changePlaybackSpeed(g.w, 114);
    EXPECT_EQ(g.w.playbackSpeed, 255);
    changePlaybackSpeed(g.w, 114);
    EXPECT_EQ(g.w.playbackSpeed, 0);
    changePlaybackSpeed(g.w, 113);
    EXPECT_EQ(g.w.playbackSpeed, 0);
}

TEST(PlaybackInput, UpperBitsAreIgnored) {
    for (int b = 0; b < 32; ++b) {
        Game plain, noisy;
        plain.w.replayInput[0] = static_cast<u8>(b);
        noisy.w.replayInput[0] = static_cast<u8>(b | 0xE0);
        plain.frame();
        noisy.frame();
        EXPECT_EQ(plain.w.inUp, noisy.w.inUp);
        EXPECT_EQ(plain.w.inDown, noisy.w.inDown);
        EXPECT_EQ(plain.w.inLeft, noisy.w.inLeft);
        EXPECT_EQ(plain.w.inRight, noisy.w.inRight);
        EXPECT_EQ(plain.w.inBombPressed, noisy.w.inBombPressed);
        EXPECT_EQ(noisy.w.inUp, (b & 1) ? -1 : 0);
        EXPECT_EQ(noisy.w.inBombPressed, (b & 16) ? -1 : 0);
    }
}

TEST(PlaybackInput, NewlyPressedComesFromThePreviousFrame) {
    Game g;
    g.w.replayInput[0] = 1;
    g.w.replayInput[1] = 1;
    g.w.replayInput[2] = 0;
    g.w.replayInput[3] = 1;
    const int pressed[] = {-1, 0, 0, -1};
    for (int f = 0; f < 4; ++f) {
        g.frame();
        EXPECT_EQ(g.w.inUpPressed, pressed[f]) << f;
    }
    EXPECT_EQ(g.w.replayFrame, 4);
}

TEST(PlaybackInput, PastTheBufferEveryFrameIsEmpty) {
    Game g;
    g.w.replayInput[kLastReplayIndex] = 8;
    g.w.replayFrame = kLastReplayIndex;
    g.frame();
    EXPECT_EQ(g.w.inRight, -1);
    g.frame();
    EXPECT_EQ(g.w.inRight, 0);
    EXPECT_EQ(g.w.replayFrame, kLastReplayIndex + 2);
}

TEST(ShakeBoost, TheTapWindowsCombineBitwise) {
    // Up and down newly pressed in the same frame: a boost in that frame and the 28 after it.
    Game g;
    g.w.replayInput[0] = 1 | 2;
    int boosted = 0;
    for (int f = 0; f < 40; ++f) {
        g.frame();
        if (f < 29) {
            EXPECT_EQ(g.w.shakeBoost, 1) << f;
        }
        boosted += g.w.shakeBoost;
    }
    EXPECT_EQ(boosted, 29);

    // Up, then down 27 frames later: windows 2 and 29, and 2 AND 29 is 0.
    Game h;
    h.w.replayInput[0] = 1;
    h.w.replayInput[27] = 2;
    h.frames(28);
    EXPECT_EQ(h.w.tapWindowUp, 2);
    EXPECT_EQ(h.w.tapWindowDown, 29);
    EXPECT_EQ(h.w.shakeBoost, 0);
}

TEST(Ship, FliesInThenMovesWithoutClampAndOppositesCancel) {
    Game g;
    for (int f = 0; f < 80; ++f) g.w.replayInput[f] = 1; // held during the fly-in: no effect
    g.frames(80);
    EXPECT_EQ(g.w.shipY, 380);
    EXPECT_EQ(g.w.entryTimer, 0);
    g.w.replayInput[80] = 1 | 2 | 4 | 8;
    g.frame();
    EXPECT_EQ(g.w.shipX, 320);
    EXPECT_EQ(g.w.shipY, 380);
    for (int f = 81; f < 81 + 200; ++f) g.w.replayInput[f] = 4;
    g.frames(200);
    // No clamp: the ship leaves the screen. The four directions newly pressed together
    // opened every tap window, so the 28 frames after that one moved with the boost.
    EXPECT_EQ(g.w.shipX, 320 - (28 * 4 + 172 * 3));
}

TEST(Bomb, FiresOncePerPressAndPaysPerLiveObject) {
    Game g;
    for (int i = 0; i < 10; ++i) { // ten occupied slots: later stage banners, which stay 240 frames
        g.w.objKind[100 + i] = kStageBanner;
        g.w.objParamC[100 + i] = 6;
    }
    g.w.replayInput[10] = 16; // during the fly-in: nothing
    g.frames(81);
    EXPECT_EQ(g.w.bombStock, 1);
    media::setSoundLogging(true);
    g.w.replayInput[81] = 16;
    g.w.replayInput[82] = 16; // pressed again while the bomb runs: nothing
    g.frames(2);
    EXPECT_EQ(g.w.bombStock, 0);
    EXPECT_EQ(g.w.bombTimer, 59);
    EXPECT_EQ(g.w.bombBonusTimer, 119); // set in the bomb's frame, counted in the next
    int plays = 0;
    for (const auto& c : media::soundLog()) plays += c.name == "STPlay" && c.slot == 3;
    EXPECT_EQ(plays, 1);
    EXPECT_EQ(g.w.bombBonus, 500);
    EXPECT_EQ(g.w.score, g.w.bombBonus);
}

TEST(Bomb, DoesNothingWithoutStock) {
    Game g;
    g.w.bombStock = 0;
    g.w.replayInput[90] = 16;
    g.frames(91);
    EXPECT_EQ(g.w.bombTimer, 0);
    EXPECT_EQ(g.w.bombStock, 0);
}

TEST(TimeOut, SpawnsTheEndOfGameOnceInTheSameFrame) {
    Game g;
    g.w.timeLeft = 3;
    g.frames(3);
    EXPECT_EQ(g.w.timeLeft, 0);
    EXPECT_EQ(g.w.timeUpDone, 1);
    EXPECT_EQ(g.w.gameEnded, 1);
    int ends = 0;
    for (int i = 0; i < kObjectSlots; ++i) ends += g.w.objKind[i] == kGameEnd;
    EXPECT_EQ(ends, 1);
    g.frames(10);
    ends = 0;
    for (int i = 0; i < kObjectSlots; ++i) ends += g.w.objKind[i] == kGameEnd;
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(g.w.timeLeft, 0);
}

TEST(OffscreenMarker, DrawnOnlyMoreThanSixteenPixelsBeyondAnEdge) {
    struct Case {
        int x, y;
        bool drawn;
    } cases[] = {{-16, 240, false}, {-17, 240, true}, {656, 240, false}, {657, 240, true},
                 {320, -16, false}, {320, -17, true}, {320, 496, false}, {320, 497, true}};
    for (const Case& c : cases) {
        Game g;
        g.w.entryTimer = 0;
        g.w.blinkTimer = 0;
        g.w.shipX = static_cast<i16>(c.x);
        g.w.shipY = static_cast<i16>(c.y);
        media::setDrawLogging(true);
        g.frame();
        bool centre = false;
        for (const auto& call : media::drawLog()) {
            centre = centre || (call.name == "DTBitBlt" && call.args[1] == 312 && call.args[2] == 232 &&
                                call.args[6] == 368);
        }
        EXPECT_EQ(centre, c.drawn) << c.x << "," << c.y;
    }
}

TEST(OffscreenMarker, ArrowPointsAtTheShip) {
    Game g;
    g.w.entryTimer = 0;
    g.w.blinkTimer = 0;
    g.w.shipX = 900; // straight to the right of the centre
    g.w.shipY = 238;
    media::setDrawLogging(true);
    g.frame();
    EXPECT_EQ(g.w.aimAngle, 270);
    const auto& log = media::drawLog();
    ASSERT_GE(log.size(), 2u);
    const auto& arrow = log.back();
    // 270 degrees: column (270 mod 60) / 10 = 3, row 270 / 60 = 4; d = (580 - 320) / 2 = 130.
    EXPECT_EQ(arrow.args[6], 3 * 16 + 272);
    EXPECT_EQ(arrow.args[7], 4 * 16);
    EXPECT_NEAR(arrow.args[1], 312 + 130, 1);
    EXPECT_NEAR(arrow.args[2], 232, 1);
}
