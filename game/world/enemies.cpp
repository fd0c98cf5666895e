// Behaviours of the ordinary enemies and of the bullets and shots they fire. None of
// them can be destroyed: each flies its pattern, fires, and frees its own slot once
// it has left the screen.
#include <cmath>

#include "media/stools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/firing.h"
#include "world/world.h"

namespace tolvane {

void behaveStraight(World& w, int i) {
    moveBy(w.objX[i], w.objVx[i]);
    moveBy(w.objY[i], w.objVy[i]);
    if (w.objY[i] > 500 || w.objX[i] > 660 || w.objY[i] < -20 || w.objX[i] < -20) w.objKind[i] = kFree;
    // The round bullet spins through four 12-pixel pictures.
    if (w.objKind[i] == kRoundBullet) {
        moveBy(w.objFrameX[i], 12);
        if (w.objFrameX[i] == 48) w.objFrameX[i] = 0;
    }
}

// A laser column is rebuilt every frame by its owner, so each segment lives for one update.
void behaveLaserSegment(World& w, int i) { w.objKind[i] = kFree; }

void behaveFanEnemy(World& w, int i) {
    moveBy(w.objY[i], 1);
    // Two aimed fans of five bullets on the way down, the faster ones last.
    if (w.objY[i] == 32 || w.objY[i] == 160) {
        aimAtPlayer(w, w.objX[i], w.objY[i]);
        for (int k = 0; k <= 4; ++k) fireAt(w, kRoundBullet, w.objX[i], w.objY[i], w.aimAngle, 2 + k / 10.0);
    }
    if (w.objY[i] > 520) w.objKind[i] = kFree;
}

// Kind 3, the large twin-gun enemy.
namespace {
namespace twin_gun {

void enterFromTop(World& w, int i) { descendTo(w, i, 2, 100, 1); }

// The twin guns fire straight down every four frames; every eight frames a curtain of
// slightly scattered round bullets falls from the wings.
void gunsAndCurtain(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] % 4 == 0) {
        launch(w, kHeadingBullet, double(w.objX[i]) + 24, w.objY[i], 0, 4);
        launch(w, kHeadingBullet, double(w.objX[i]) - 24, w.objY[i], 0, 4);
    }
    if (w.objTimer[i] % 8 == 0) {
        for (int k = 0; k <= 3; ++k) {
            double u1 = randomDraw(w.rng);
            double u2 = randomDraw(w.rng);
            launch(w, kRoundBullet, double(w.objX[i]) + 38 + 16 * k, w.objY[i], (u1 - 0.5) / 16,
                   2 + (u2 - 0.5) / 16);
            u1 = randomDraw(w.rng);
            u2 = randomDraw(w.rng);
            launch(w, kRoundBullet, double(w.objX[i]) - 38 - 16 * k, w.objY[i], (u1 - 0.5) / 16,
                   2 + (u2 - 0.5) / 16);
        }
        if (w.objTimer[i] == 48) enterPhase(w, i, 2);
    }
}

// Down a little further, then three aimed volleys: from the centre, then from each gun.
void descendToAimedVolleys(World& w, int i) {
    moveBy(w.objY[i], 1);
    if (w.objY[i] > 200) {
        for (int offset : {0, 24, -24}) {
            aimAtPlayer(w, static_cast<f32>(double(w.objX[i]) + offset), w.objY[i]);
            for (int k = 0; k <= 7; ++k) {
                fire(w, kHeadingBullet, double(w.objX[i]) + offset, w.objY[i], w.aimAngle, 2 + k / 8.0,
                     w.aimAngle);
            }
        }
        enterPhase(w, i, 3);
    }
}

// Off the bottom, drifting away from the middle.
void leaveDownward(World& w, int i) {
    moveBy(w.objY[i], 2);
    moveBy(w.objX[i], w.objX[i] >= 320 ? 1 : -1);
    if (w.objY[i] > 560) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    enterFromTop,          // 0
    gunsAndCurtain,        // 1
    descendToAimedVolleys, // 2
    leaveDownward,         // 3
};

} // namespace twin_gun

// Kind 5, the ring-firing enemy.
namespace ring_enemy {

void enterFromTop(World& w, int i) { descendTo(w, i, 1, 100, 1); }

// Five rings of twelve, one every 20 frames, every other one turned by half a step.
void fiveRings(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] % 20 == 0) {
        for (int j = 0; j <= 11; ++j) {
            w.aimAngle = wrap16(30 * j + (w.objParamA[i] % 2 != 0 ? 15 : 0));
            fire(w, kHeadingBullet, w.objX[i], w.objY[i], w.aimAngle, 2, w.aimAngle);
        }
        countBy(w.objParamA[i], 1);
    }
    if (w.objParamA[i] == 5) enterPhase(w, i, 2);
}

void leaveDownward(World& w, int i) {
    moveBy(w.objY[i], 1);
    if (w.objY[i] == 580) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    enterFromTop,  // 0
    fiveRings,     // 1
    leaveDownward, // 2
};

} // namespace ring_enemy

// Kind 6, the swooping enemy. It always flies along its heading at its speed; the
// phases change the speed and the heading. The one entering from the right flies the
// mirror image of the one from the left.
namespace swoop {

bool fromRight(const World& w, int i) { return w.objParamC[i] == 1; }

// objTimer is the heading in degrees, objParamA ten times the speed.
void flyOn(World& w, int i) {
    const double t = radians(w.objTimer[i]);
    const double v = w.objParamA[i] / 10.0;
    if (fromRight(w, i)) {
        moveBy(w.objX[i], std::sin(t) * v);
    } else {
        moveBy(w.objX[i], -(std::sin(t) * v));
    }
    moveBy(w.objY[i], std::cos(t) * v);
}

// Slowing down by a tenth of a pixel every other frame until past the middle.
void brakeToTheMiddle(World& w, int i) {
    countBy(w.objParamB[i], 1);
    if (w.objParamB[i] % 2 == 0) countBy(w.objParamA[i], -1);
    if (fromRight(w, i) ? w.objX[i] < 320 : w.objX[i] > 320) enterPhase(w, i, 1);
}

// Turning 4 degrees a frame; out of the turn, one slightly scattered aimed bullet.
void turnAndFire(World& w, int i) {
    countBy(w.objTimer[i], -4);
    if (w.objTimer[i] <= 29) {
        enterPhase(w, i, 2);
        aimAtPlayer(w, w.objX[i], w.objY[i]);
        const double u1 = randomDraw(w.rng);
        const double u2 = randomDraw(w.rng);
        const double a = radians(w.aimAngle);
        launch(w, kRoundBullet, w.objX[i], w.objY[i], -2 * std::sin(a) + (u1 - 0.5) / 10,
               2 * std::cos(a) + (u2 - 0.5) / 10);
    }
}

// Speeding up by a tenth of a pixel every other frame until off its own side.
void speedAway(World& w, int i) {
    countBy(w.objParamB[i], 1);
    if (w.objParamB[i] % 2 == 0) countBy(w.objParamA[i], 1);
    if (fromRight(w, i) ? w.objX[i] > 680 : w.objX[i] < -40) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    brakeToTheMiddle, // 0
    turnAndFire,      // 1
    speedAway,        // 2
};

} // namespace swoop

// Kind 7, the twin-shot enemy.
namespace twin_shot {

void enterFromTop(World& w, int i) {
    moveBy(w.objY[i], 2);
    if (w.objY[i] > 120) enterPhase(w, i, 1);
}

void straightPair(World& w, int i) {
    launch(w, kHeadingBullet, double(w.objX[i]) + 10, w.objY[i], 0, 3);
    launch(w, kHeadingBullet, double(w.objX[i]) - 10, w.objY[i], 0, 3);
    enterPhase(w, i, 2);
}

void waitToAim(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == 60) enterPhase(w, i, 3);
}

// Five times, every 20 frames, two slow aimed shots side by side, 20 pixels apart
// across their path.
void aimedPairs(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] % 20 == 0) {
        aimAtPlayer(w, w.objX[i], w.objY[i]);
        const double a = radians(w.aimAngle);
        fire(w, kHeadingBullet, double(w.objX[i]) + 10 * std::cos(a), double(w.objY[i]) + 10 * std::sin(a),
             w.aimAngle, 1, w.aimAngle);
        fire(w, kHeadingBullet, double(w.objX[i]) - 10 * std::cos(a), double(w.objY[i]) - 10 * std::sin(a),
             w.aimAngle, 1, w.aimAngle);
        countBy(w.objParamA[i], 1);
    }
    if (w.objParamA[i] == 5) enterPhase(w, i, 4);
}

void leaveUpward(World& w, int i) {
    moveBy(w.objY[i], -2);
    if (w.objY[i] < -96) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    enterFromTop, // 0
    straightPair, // 1
    waitToAim,    // 2
    aimedPairs,   // 3
    leaveUpward,  // 4
};

} // namespace twin_shot

// Kind 12, the laser enemy.
namespace laser_enemy {

// A braking descent: 90/16 pixels in the first frame down to 1/16 in the last.
void brakeIn(World& w, int i) {
    moveBy(w.objY[i], w.objTimer[i] / 16.0);
    countBy(w.objTimer[i], -1);
    if (w.objTimer[i] == 0) enterPhase(w, i, 1);
}

void waitThenWarn(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == 100) {
        enterPhase(w, i, 2, {.timer = 0});
        STPlay(kLaserWarningSound);
    }
}

// The laser stands from just above the enemy to the bottom of the screen for 60 frames.
void standLaser(World& w, int i) {
    countBy(w.objTimer[i], 1);
    for (int y = round16(double(w.objY[i]) - 32); y <= 480; y += 32)
        launch(w, kLaserSegment, w.objX[i], y, 0, 0);
    if (w.objTimer[i] == 60) enterPhase(w, i, 3, {.timer = 0});
}

// It sinks away with growing speed and goes once it is well below the screen.
void sinkAway(World& w, int i) {
    moveBy(w.objY[i], -(w.objTimer[i] / 16.0));
    countBy(w.objTimer[i], -1);
    if (w.objY[i] > 560) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    brakeIn,      // 0
    waitThenWarn, // 1
    standLaser,   // 2
    sinkAway,     // 3
};

} // namespace laser_enemy

// Kind 14, the side-entry gunship.
namespace gunship {

// A braking slide in from the side.
void slideIn(World& w, int i) {
    moveBy(w.objX[i], w.objTimer[i] / 16.0 * w.objParamA[i]);
    countBy(w.objTimer[i], -1);
    if (w.objTimer[i] == 0) enterPhase(w, i, 1);
}

// Creeping down half a pixel a frame, it aims every 80 frames, moving on a phase each
// time, and then fires a burst of five large-shot pairs along that aim, one pair every
// 8 frames. Phases 1, 2 and 3 are all this; the aim that ends phase 3 is not fired.
void aimAndFireBursts(World& w, int i) {
    if (w.objTimer[i] % 2 != 0) moveBy(w.objY[i], 1);
    countBy(w.objTimer[i], 1);
    if (w.objParamB[i] != 0 && w.objParamB[i] % 8 == 0) {
        const int a = w.objParamC[i];
        const double r = radians(a);
        const double vx = -5 * std::sin(r);
        const double vy = 5 * std::cos(r);
        launch(w, kLargeShot, double(w.objX[i]) - 16 * std::sin(radians(a + 90)),
               double(w.objY[i]) + 16 * std::cos(radians(a + 90)), vx, vy);
        launch(w, kLargeShot, double(w.objX[i]) - 16 * std::sin(radians(a - 90)),
               double(w.objY[i]) + 16 * std::cos(radians(a - 90)), vx, vy);
    }
    if (w.objParamB[i] > 0) countBy(w.objParamB[i], -1);
    if (w.objTimer[i] % 80 == 0) {
        w.objParamB[i] = 40;
        aimAtPlayer(w, w.objX[i], w.objY[i]);
        w.objParamC[i] = w.aimAngle;
        enterPhase(w, i, static_cast<i16>(w.objPhase[i] + 1));
    }
}

void leaveDownward(World& w, int i) {
    moveBy(w.objY[i], 1);
    if (w.objY[i] > 530) w.objKind[i] = kFree;
}

constexpr PhaseStep kPhases[] = {
    slideIn,          // 0
    aimAndFireBursts, // 1
    aimAndFireBursts, // 2
    aimAndFireBursts, // 3
    leaveDownward,    // 4
};

} // namespace gunship

} // namespace

// Each of these runs the phase it is in; the swooping enemy flies on first.
void behaveTwinGunEnemy(World& w, int i) { runPhase(twin_gun::kPhases, w, i); }
void behaveRingEnemy(World& w, int i) { runPhase(ring_enemy::kPhases, w, i); }
void behaveSwoopEnemy(World& w, int i) {
    swoop::flyOn(w, i);
    runPhase(swoop::kPhases, w, i);
}
void behaveTwinShotEnemy(World& w, int i) { runPhase(twin_shot::kPhases, w, i); }
void behaveLaserEnemy(World& w, int i) { runPhase(laser_enemy::kPhases, w, i); }
void behaveGunship(World& w, int i) { runPhase(gunship::kPhases, w, i); }

} // namespace tolvane
