// The world state: every field of a running game in one record, with fixed tables
// for the objects, the background streaks, the sparks, the stage script and the
// recorded input. A new record is all zero; start-up and newGame set the rest.
//
// Widths are part of the game's rules: 8-bit unsigned, 16-bit signed, 32-bit signed
// and 32-bit float fields wrap or round exactly as declared here, and replays depend
// on it.
#pragma once

#include <cstdint>

#include "session/random.h"

namespace tolvane {

using u8 = std::uint8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using f32 = float;

constexpr int kObjectSlots = 2025;  // 0..2024
constexpr int kStarSlots = 151;     // 0..150
constexpr int kSparkSlots = 21;     // 0..20
constexpr int kScriptSlots = 10001; // 0..10000
constexpr int kReplaySlots = 25001; // 0..25000
constexpr int kLastReplayIndex = kReplaySlots - 1;

// Object kinds, the numbers the stage script and spawnObject use.
enum ObjectKind : u8 {
    kFree = 0,
    kFanEnemy = 1,      // small aimed-fan enemy
    kRoundBullet = 2,   // small round bullet, 4 animation frames
    kTwinGunEnemy = 3,  // large twin-gun enemy
    kHeadingBullet = 4, // bullet whose picture is turned to its heading
    kRingEnemy = 5,     // ring-firing enemy
    kSwoopEnemy = 6,    // swooping enemy
    kTwinShotEnemy = 7, // twin-shot enemy
    kGameEnd = 8,       // end of game and results screen
    kStageBanner = 9,   // stage start with its title card
    kSpeedMarker = 10,  // speeds the star streaks back up
    kFirstBoss = 11,
    kLaserEnemy = 12,
    kLaserSegment = 13,
    kGunship = 14, // side-entry gunship
    kLargeShot = 15,
    kSecondBoss = 16,
    kLastBoss = 17,
};

struct World {
    // Stage script.
    i32 scriptTime[kScriptSlots];
    i16 scriptKind[kScriptSlots];
    i16 scriptX[kScriptSlots];
    i16 scriptY[kScriptSlots];
    i16 scriptCount;
    i16 scriptCursor;

    // Run state and timing.
    u8 running;
    u8 replayMode;
    u8 playbackSpeed;
    u8 frameSkip;
    i32 lastFrameTime;
    i32 frameCounter;
    i32 timeLeft;
    i16 gameEnded;
    u8 timeUpDone;
    i16 hiscoreRank;
    u8 recordNotSaved; // 1 when a replay or the high-score table could not be written
    u8 takenOver;      // 1 in a game taken over from a playback: its end ranks and records nothing

    // Input record (-1/0 flags) and replay.
    i16 inUp, inDown, inLeft, inRight;
    i16 inUpPressed, inDownPressed, inLeftPressed, inRightPressed;
    i16 inBombPressed;
    i16 prevUp, prevDown, prevLeft, prevRight;
    i16 tapWindowUp, tapWindowDown, tapWindowLeft, tapWindowRight;
    i16 shakeBoost;
    u8 replayInput[kReplaySlots];
    i32 replayFrame;

    // Ship.
    i16 shipX, shipY;
    i16 shipCellX, shipCellY;
    i16 entryTimer;
    i16 blinkTimer;
    i16 bombStock;
    i16 bombTimer;
    i16 aimAngle;

    // Scoring.
    i32 score;
    i32 chain;
    i32 chainBase;
    i32 maxChain;
    i32 totalContacts;
    i16 gauge;
    i16 level;
    i16 gaugePenalty;
    i32 finalBonus, timeBonus;
    i32 bombBonus;
    i16 bombBonusTimer;

    // Effects and pop-ups.
    i16 burstTimer;
    i16 burstToggle;
    i16 burstRadius;
    u8 burstPattern[17][4][8]; // (i 0..16, e 0..3, k 0..7), values 0..2
    i16 shakeBoostFrame;
    i16 wreckTimer, wreckX, wreckY;
    i16 chainPopupX, chainPopupY, chainPopupTimer;
    i32 chainPopupValue;
    i32 levelPopupValue, levelPopupTimer;

    // Object table, one column per field.
    u8 objKind[kObjectSlots];
    f32 objX[kObjectSlots], objY[kObjectSlots];
    f32 objVx[kObjectSlots], objVy[kObjectSlots];
    i16 objPhase[kObjectSlots];
    i16 objTimer[kObjectSlots];
    i16 objParamA[kObjectSlots], objParamB[kObjectSlots], objParamC[kObjectSlots];
    f32 objCellX[kObjectSlots], objCellY[kObjectSlots];
    f32 objWidth[kObjectSlots], objHeight[kObjectSlots];
    f32 objFrameX[kObjectSlots], objFrameY[kObjectSlots];
    u8 objContactWait[kObjectSlots];
    i16 objHitLeft[kObjectSlots], objHitRight[kObjectSlots];
    i16 objHitTop[kObjectSlots], objHitBottom[kObjectSlots];

    // Background streaks.
    i16 starActive[kStarSlots];
    i16 starX[kStarSlots];
    f32 starY[kStarSlots];
    f32 starSpeed;

    // Contact sparks.
    i16 sparkActive[kSparkSlots];
    i16 sparkX[kSparkSlots], sparkY[kSparkSlots];
    i16 sparkAge[kSparkSlots];
    f32 sparkVx[kSparkSlots], sparkVy[kSparkSlots];

    // Scratch: the object loop's index, shared by updateWorld and the behaviours.
    i16 loopIndex;

    // The game's one random generator.
    Pcg32 rng;
};

} // namespace tolvane
