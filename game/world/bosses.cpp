// Behaviours of the three bosses. They cannot be destroyed either: each runs a long
// fixed sequence of attacks and then leaves the screen. Each attack is a phase of its
// own, and each boss lists its phases in order; what the counters mean in each phase
// is written down in world.h.
#include <cmath>

#include "media/stools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/firing.h"
#include "world/world.h"

namespace tolvane {

namespace {

// The first two bosses leave for good once off the top; contacts fill the gauge at the
// normal rate again.
void bossLeaves(World& w, int i) {
    w.objKind[i] = kFree;
    w.gaugePenalty = 0;
}

// Kind 11, the first boss: created at x 320, y -240.
namespace first_boss {

void enterFromTop(World& w, int i) { descendTo(w, i, 1, 130, 1); }

// A greeting of eight aimed fans, each faster than the one before; the odd fans are one
// bullet narrower and sit in the gaps of the even ones.
void greetWithAimedFans(World& w, int i) {
    aimAtPlayer(w, w.objX[i], w.objY[i]);
    for (int f = 0; f <= 7; ++f) {
        const int c = f % 2;
        const int last = w.aimAngle + 30 - 3 * c;
        for (int a = w.aimAngle - 30 + 3 * c; a <= last; a += 6) {
            fireAt(w, kRoundBullet, w.objX[i], w.objY[i], a, 1 + f / 8.0);
        }
    }
    enterPhase(w, i, 2);
}

void waitBeforeSpiral(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == 180) enterPhase(w, i, 3, {.timer = 0});
}

// A double spiral turning 10 degrees a frame, four turns.
void doubleSpiral(World& w, int i) {
    for (int k = 0; k <= 4; ++k) {
        fire(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i], 3 + k / 8.0, w.objTimer[i]);
    }
    for (int k = 0; k <= 4; ++k) {
        fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i] + 5, 4 + k / 8.0);
    }
    countBy(w.objTimer[i], 10);
    if (w.objTimer[i] == 1440) enterPhase(w, i, 4, {.timer = 0});
}

// A turning ring every ten frames, and bullets raining from random points along the
// top edge.
void ringsAndRain(World& w, int i) {
    countBy(w.objParamA[i], 1);
    if (w.objParamA[i] % 10 == 0) {
        for (int j = 0; j <= 23; ++j)
            fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i] + 15 * j, 2);
        countBy(w.objTimer[i], 5);
    }
    const double u1 = randomDraw(w.rng);
    const double u2 = randomDraw(w.rng);
    launch(w, kHeadingBullet, 640 * u1, -8, 0, 1 + 2 * u2);
    if (w.objParamA[i] == 600) enterPhase(w, i, 5);
}

void leaveUpward(World& w, int i) {
    moveBy(w.objY[i], -1);
    if (w.objY[i] < -140) bossLeaves(w, i);
}

constexpr PhaseStep kPhases[] = {
    enterFromTop,       // 0
    greetWithAimedFans, // 1
    waitBeforeSpiral,   // 2
    doubleSpiral,       // 3
    ringsAndRain,       // 4
    leaveUpward,        // 5
};

} // namespace first_boss

// Kind 16, the second boss: created at x 320, y -96. Its two guns sit on its wings.
namespace second_boss {

double rightGunX(const World& w, int i) { return double(w.objX[i]) + 106; }
double leftGunX(const World& w, int i) { return double(w.objX[i]) - 106; }
double gunY(const World& w, int i) { return double(w.objY[i]) - 38; }

void enterFromTop(World& w, int i) { descendTo(w, i, 1, 140, 1); }

// Every 60 frames crossed fans of fast and slow bullets from both guns, every other
// volley shifted by 10 degrees; in the second half a random pair on every other frame,
// one from each gun along the same heading.
void volleysAndRandomPairs(World& w, int i) {
    countBy(w.objParamA[i], 1);
    if (w.objParamA[i] % 60 == 0) {
        for (int d = -40; d <= 80; d += 20) {
            for (int k = 0; k <= 15; ++k) {
                fireAt(w, kHeadingBullet, rightGunX(w, i), gunY(w, i), w.objTimer[i] + d, 2 + k / 7.0);
            }
        }
        for (int d = 40; d >= -80; d -= 20) {
            for (int k = 0; k <= 15; ++k) {
                fireAt(w, kHeadingBullet, leftGunX(w, i), gunY(w, i), w.objTimer[i] + d, 2 + k / 7.0);
            }
        }
        w.objTimer[i] = wrap16(10 - w.objTimer[i]);
    }
    if (w.objParamA[i] > 360 && w.objParamA[i] % 2 != 0) {
        const double u1 = randomDraw(w.rng);
        const double u2 = randomDraw(w.rng);
        i16 a = round16(intPart(3 * u1) + 10 * intPart(18 * u2 - 9) - 1);
        fire(w, kHeadingBullet, rightGunX(w, i), gunY(w, i), a, 2, a);
        fire(w, kHeadingBullet, leftGunX(w, i), gunY(w, i), a, 2, a);
    }
    if (w.objParamA[i] == 720) enterPhase(w, i, 2, {.timer = 0, .paramA = 0});
}

// Every 30 frames a ring of 18 groups of five, alternately shifted by 10 degrees; from
// the third 180 frames on, a laser announced where the ship is, standing 30 frames later.
void ringsAndLasers(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] % 30 == 0) {
        const int first = w.objParamA[i];
        for (int g = first; g <= first + 359; g += 20) {
            for (int k = 0; k <= 8; k += 2) fireAt(w, kRoundBullet, w.objX[i], w.objY[i], g + k, 2);
        }
        w.objParamA[i] = wrap16(10 - w.objParamA[i]);
    }
    if (w.objTimer[i] % 180 == 0 && w.objTimer[i] > 360) {
        w.objParamC[i] = 90;
        w.objParamB[i] = w.shipX;
        STPlay(kLaserWarningSound);
    }
    if (w.objParamC[i] != 0) {
        if (w.objParamC[i] < 60) laserColumn(w, w.objParamB[i]);
        countBy(w.objParamC[i], -1);
    }
    if (w.objTimer[i] == 1430) enterPhase(w, i, 3, {.timer = 0, .paramA = 0, .paramB = 0, .paramC = 0});
}

// Every 30 frames a ring from each gun in step: round bullets from the right, heading
// bullets from the left, each ring turned 10 degrees further.
void ringsFromBothGuns(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] % 30 == 0) {
        const int first = w.objParamA[i];
        for (int g = first; g <= first + 359; g += 40) {
            for (int k = 0; k <= 9; k += 3) {
                fireAt(w, kRoundBullet, rightGunX(w, i), gunY(w, i), g + k, 2);
                fireAt(w, kHeadingBullet, leftGunX(w, i), gunY(w, i), g + k, 2);
            }
        }
        w.objParamA[i] = wrap16((w.objParamA[i] + 10) % 40);
    }
    if (w.objTimer[i] == 900) enterPhase(w, i, 4);
}

void leaveUpward(World& w, int i) {
    moveBy(w.objY[i], -2);
    if (w.objY[i] == -100) bossLeaves(w, i);
}

constexpr PhaseStep kPhases[] = {
    enterFromTop,          // 0
    volleysAndRandomPairs, // 1
    ringsAndLasers,        // 2
    ringsFromBothGuns,     // 3
    leaveUpward,           // 4
};

} // namespace second_boss

// Kind 17, the last boss: created at x 320, y -96.
namespace last_boss {

// Twelve large shots all round, turned by the timer.
void largeShotRing(World& w, int i) {
    for (int j = 0; j <= 11; ++j) fireAt(w, kLargeShot, w.objX[i], w.objY[i], w.objTimer[i] + 30 * j, 3);
}

// It flickers in, shown at y 150 on every other frame.
void flickerIn(World& w, int i) {
    w.objY[i] = static_cast<f32>(w.objTimer[i] * 200 - 50);
    w.objTimer[i] = wrap16(1 - w.objTimer[i]);
    countBy(w.objParamA[i], 1);
    if (w.objParamA[i] == 120) {
        w.objY[i] = 150;
        enterPhase(w, i, 1, {.timer = 0, .paramA = 0});
    }
}

// Four loops of about 57 pixels radius, alternating their sense each lap; rings of 60
// from the third lap on.
void loopAndFireRings(World& w, int i) {
    const double t = radians(w.objTimer[i]);
    if (w.objParamA[i] % 2 == 0) {
        moveBy(w.objX[i], std::sin(t));
    } else {
        moveBy(w.objX[i], -std::sin(t));
    }
    moveBy(w.objY[i], std::cos(t));
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == 360) {
        w.objTimer[i] = 0;
        countBy(w.objParamA[i], 1);
    }
    if (w.objTimer[i] % 8 == 0 && w.objParamA[i] >= 2) {
        for (int j = 0; j <= 59; ++j) fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], 6 * j, 2);
    }
    if (w.objParamA[i] == 4) enterPhase(w, i, 2, {.paramA = 0});
}

// Homing on the ship at up to 2 pixels a frame on each axis, with a fan of seven every
// ten frames that turns a degree a frame.
void homeInWithTurningFans(World& w, int i) {
    moveBy(w.objX[i], w.objTimer[i] / 16.0);
    moveBy(w.objY[i], w.objParamA[i] / 16.0);
    if (w.shipX > w.objX[i] && w.objTimer[i] < 32) countBy(w.objTimer[i], 1);
    if (w.shipX < w.objX[i] && w.objTimer[i] >= -31) countBy(w.objTimer[i], -1);
    if (w.shipY > w.objY[i] && w.objParamA[i] < 32) countBy(w.objParamA[i], 1);
    if (w.shipY < w.objY[i] && w.objParamA[i] >= -31) countBy(w.objParamA[i], -1);
    if (w.objParamB[i] % 10 == 0) {
        for (int d = -15; d <= 15; d += 5) {
            fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], w.objParamB[i] + d, 3);
        }
    }
    countBy(w.objParamB[i], 1);
    if (w.objParamB[i] == 360) enterPhase(w, i, 3, {.timer = 0, .paramA = 0, .paramB = 0});
}

// Jumping between the corners, (0, 480), (640, 0), (640, 480), (0, 0), with a turning
// ring of twelve at every jump after the first 120.
void jumpBetweenCorners(World& w, int i) {
    countBy(w.objTimer[i], 1);
    w.objX[i] = static_cast<f32>(640 * intPart((w.objTimer[i] % 4) / 2.0));
    w.objY[i] = static_cast<f32>(480 * (w.objTimer[i] % 2));
    if (w.objTimer[i] > 120) {
        for (int j = 0; j <= 11; ++j) {
            fireAt(w, kRoundBullet, w.objX[i], w.objY[i], 10 * w.objTimer[i] + 30 * j, 2);
        }
    }
    if (w.objTimer[i] == 901) enterPhase(w, i, 4, {.timer = 0, .paramA = 0, .paramB = 0});
}

// Climbing away from the bottom-left corner, faster and faster.
void climbAway(World& w, int i) {
    moveBy(w.objY[i], -(w.objTimer[i] / 16.0));
    moveBy(w.objX[i], 1);
    countBy(w.objTimer[i], 1);
    if (w.objY[i] < -80) enterPhase(w, i, 5, {.timer = 0, .paramA = 120});
}

// From off the screen, laser strikes near the ship, each a little sooner than the one
// before; two falling lines of bullets flank each laser.
void laserStrikes(World& w, int i) {
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == w.objParamA[i] + 120) {
        w.objTimer[i] = 0;
        countBy(w.objParamA[i], -5);
        w.objParamB[i] = 120;
        const double u = randomDraw(w.rng);
        w.objParamC[i] = round16(320 * u + w.shipX - 160);
        STPlay(kLaserWarningSound);
        for (int k = 0; k <= 15; ++k) {
            launch(w, kHeadingBullet, w.objParamC[i] - 16, -4, 0, k + 1);
            launch(w, kHeadingBullet, w.objParamC[i] + 16, -4, 0, k + 1);
        }
    }
    if (w.objParamB[i] != 0) {
        countBy(w.objParamB[i], -1);
        if (w.objParamB[i] < 60) laserColumn(w, w.objParamC[i]);
    }
    if (w.objParamA[i] == 0) {
        enterPhase(w, i, 6, {.timer = 0, .paramA = 7, .paramB = 0, .paramC = 0});
        w.objX[i] = 320;
        w.objY[i] = -80;
    }
}

// Dashing about in 30-frame moves, with eight rings at the end of each move: thirteen
// moves to random points, then three toward the middle of the screen.
void dashAndFireRings(World& w, int i) {
    moveBy(w.objX[i], w.objTimer[i]);
    moveBy(w.objY[i], w.objParamA[i]);
    countBy(w.objParamB[i], 1);
    if (w.objParamB[i] == 30) {
        for (int r = 0; r <= 7; ++r) {
            for (int j = 0; j <= 35; ++j) {
                fireAt(w, kRoundBullet, w.objX[i], w.objY[i], 5 * (r % 2) + 10 * j, 2 + r / 8.0);
            }
        }
        w.objParamB[i] = 0;
        if (w.objParamC[i] > 12) {
            w.objTimer[i] = round16((320 - double(w.objX[i])) / 30);
            w.objParamA[i] = round16((240 - double(w.objY[i])) / 30);
        } else {
            const double u1 = randomDraw(w.rng);
            w.objTimer[i] = round16((640 * u1 - w.objX[i]) / 30);
            const double u2 = randomDraw(w.rng);
            w.objParamA[i] = round16((480 * u2 - w.objY[i]) / 30);
        }
        countBy(w.objParamC[i], 1);
    }
    if (w.objParamC[i] == 16) enterPhase(w, i, 7, {.timer = 0, .paramA = 0, .paramB = 0, .paramC = 0});
}

// Standing still, a ring of large shots every ten frames, each turned a degree further.
void largeShotRings(World& w, int i) {
    if (w.objTimer[i] % 10 == 0) largeShotRing(w, i);
    countBy(w.objTimer[i], 1);
    if (w.objTimer[i] == 360) enterPhase(w, i, 8, {.timer = 64});
}

// It sinks to a lowest point and climbs out, still firing. Once freed, its first shot
// may take this very slot, and the later shots then read that shot's position and timer.
void sinkAndClimbOut(World& w, int i) {
    moveBy(w.objY[i], w.objTimer[i] / 32.0);
    countBy(w.objTimer[i], -1);
    if (w.objY[i] < -80) w.objKind[i] = kFree;
    if (w.objTimer[i] % 10 == 0) largeShotRing(w, i);
}

constexpr PhaseStep kPhases[] = {
    flickerIn,             // 0
    loopAndFireRings,      // 1
    homeInWithTurningFans, // 2
    jumpBetweenCorners,    // 3
    climbAway,             // 4
    laserStrikes,          // 5
    dashAndFireRings,      // 6
    largeShotRings,        // 7
    sinkAndClimbOut,       // 8
};

} // namespace last_boss

} // namespace

// Each boss runs the phase it is in.
void behaveFirstBoss(World& w, int i) { runPhase(first_boss::kPhases, w, i); }
void behaveSecondBoss(World& w, int i) { runPhase(second_boss::kPhases, w, i); }
void behaveLastBoss(World& w, int i) { runPhase(last_boss::kPhases, w, i); }

} // namespace tolvane
