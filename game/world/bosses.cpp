// Behaviours of the three bosses. They cannot be destroyed either: each runs a long
// fixed sequence of attacks and then leaves the screen.
#include <cmath>

#include "media/stools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/firing.h"
#include "world/world.h"

namespace tolvane {

void behaveFirstBoss(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        moveBy(w.objY[i], 1);
        if (w.objY[i] == 130) w.objPhase[i] = 1;
        break;
    case 1: {
        // A greeting of eight aimed fans, each faster than the one before; the odd
        // fans are one bullet narrower and sit in the gaps of the even ones.
        aimAtPlayer(w, w.objX[i], w.objY[i]);
        for (int f = 0; f <= 7; ++f) {
            const int c = f % 2;
            const int last = w.aimAngle + 30 - 3 * c;
            for (int a = w.aimAngle - 30 + 3 * c; a <= last; a += 6) {
                fireAt(w, kRoundBullet, w.objX[i], w.objY[i], a, 1 + f / 8.0);
            }
        }
        w.objPhase[i] = 2;
        break;
    }
    case 2:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] == 180) {
            w.objPhase[i] = 3;
            w.objTimer[i] = 0;
        }
        break;
    case 3:
        // A double spiral turning 10 degrees a frame, four turns.
        for (int k = 0; k <= 4; ++k) {
            fire(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i], 3 + k / 8.0, w.objTimer[i]);
        }
        for (int k = 0; k <= 4; ++k) {
            fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i] + 5, 4 + k / 8.0);
        }
        countBy(w.objTimer[i], 10);
        if (w.objTimer[i] == 1440) {
            w.objPhase[i] = 4;
            w.objTimer[i] = 0;
        }
        break;
    case 4: {
        countBy(w.objParamA[i], 1);
        if (w.objParamA[i] % 10 == 0) {
            for (int j = 0; j <= 23; ++j)
                fireAt(w, kHeadingBullet, w.objX[i], w.objY[i], w.objTimer[i] + 15 * j, 2);
            countBy(w.objTimer[i], 5);
        }
        // Bullets raining from random points along the top edge.
        const double u1 = randomDraw(w.rng);
        const double u2 = randomDraw(w.rng);
        launch(w, kHeadingBullet, 640 * u1, -8, 0, 1 + 2 * u2);
        if (w.objParamA[i] == 600) w.objPhase[i] = 5;
        break;
    }
    case 5:
        moveBy(w.objY[i], -1);
        if (w.objY[i] < -140) {
            w.objKind[i] = kFree;
            w.gaugePenalty = 0;
        }
        break;
    default: break;
    }
}

namespace {

// The second boss's two guns sit on its wings.
double rightGunX(const World& w, int i) { return double(w.objX[i]) + 106; }
double leftGunX(const World& w, int i) { return double(w.objX[i]) - 106; }
double gunY(const World& w, int i) { return double(w.objY[i]) - 38; }

} // namespace

void behaveSecondBoss(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        moveBy(w.objY[i], 1);
        if (w.objY[i] == 140) w.objPhase[i] = 1;
        break;
    case 1:
        countBy(w.objParamA[i], 1);
        if (w.objParamA[i] % 60 == 0) {
            // Crossed fans of fast and slow bullets from both guns; every other volley
            // is shifted by 10 degrees.
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
            // A random pair, one from each gun along the same heading.
            const double u1 = randomDraw(w.rng);
            const double u2 = randomDraw(w.rng);
            i16 a = round16(intPart(3 * u1) + 10 * intPart(18 * u2 - 9) - 1);
            fire(w, kHeadingBullet, rightGunX(w, i), gunY(w, i), a, 2, a);
            fire(w, kHeadingBullet, leftGunX(w, i), gunY(w, i), a, 2, a);
        }
        if (w.objParamA[i] == 720) {
            w.objPhase[i] = 2;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
        }
        break;
    case 2:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] % 30 == 0) {
            // A ring of 18 groups of five, alternately shifted by 10 degrees.
            const int first = w.objParamA[i];
            for (int g = first; g <= first + 359; g += 20) {
                for (int k = 0; k <= 8; k += 2) fireAt(w, kRoundBullet, w.objX[i], w.objY[i], g + k, 2);
            }
            w.objParamA[i] = wrap16(10 - w.objParamA[i]);
        }
        if (w.objTimer[i] % 180 == 0 && w.objTimer[i] > 360) {
            // A laser warning: the laser falls where the ship is now.
            w.objParamC[i] = 90;
            w.objParamB[i] = w.shipX;
            STPlay(kLaserWarningSound);
        }
        if (w.objParamC[i] != 0) {
            if (w.objParamC[i] < 60) laserColumn(w, w.objParamB[i]);
            countBy(w.objParamC[i], -1);
        }
        if (w.objTimer[i] == 1430) {
            w.objPhase[i] = 3;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
            w.objParamB[i] = 0;
            w.objParamC[i] = 0;
        }
        break;
    case 3:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] % 30 == 0) {
            // Round bullets from the right gun and heading bullets from the left, in step.
            const int first = w.objParamA[i];
            for (int g = first; g <= first + 359; g += 40) {
                for (int k = 0; k <= 9; k += 3) {
                    fireAt(w, kRoundBullet, rightGunX(w, i), gunY(w, i), g + k, 2);
                    fireAt(w, kHeadingBullet, leftGunX(w, i), gunY(w, i), g + k, 2);
                }
            }
            w.objParamA[i] = wrap16((w.objParamA[i] + 10) % 40);
        }
        if (w.objTimer[i] == 900) w.objPhase[i] = 4;
        break;
    case 4:
        moveBy(w.objY[i], -2);
        if (w.objY[i] == -100) {
            w.objKind[i] = kFree;
            w.gaugePenalty = 0;
        }
        break;
    default: break;
    }
}

namespace {

// Twelve large shots all round, turned by the timer.
void largeShotRing(World& w, int i) {
    for (int j = 0; j <= 11; ++j) fireAt(w, kLargeShot, w.objX[i], w.objY[i], w.objTimer[i] + 30 * j, 3);
}

} // namespace

void behaveLastBoss(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        // It flickers in, shown at y 150 on every other frame.
        w.objY[i] = static_cast<f32>(w.objTimer[i] * 200 - 50);
        w.objTimer[i] = wrap16(1 - w.objTimer[i]);
        countBy(w.objParamA[i], 1);
        if (w.objParamA[i] == 120) {
            w.objY[i] = 150;
            w.objPhase[i] = 1;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
        }
        break;
    case 1: {
        // Loops of about 57 pixels radius, alternating their sense each lap; rings
        // from the third lap on.
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
        if (w.objParamA[i] == 4) {
            w.objPhase[i] = 2;
            w.objParamA[i] = 0;
        }
        break;
    }
    case 2:
        // Homing on the ship: objTimer and objParamA are the velocity times 16.
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
        if (w.objParamB[i] == 360) {
            w.objPhase[i] = 3;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
            w.objParamB[i] = 0;
        }
        break;
    case 3:
        // Jumping between the corners: (0, 480), (640, 0), (640, 480), (0, 0).
        countBy(w.objTimer[i], 1);
        w.objX[i] = static_cast<f32>(640 * intPart((w.objTimer[i] % 4) / 2.0));
        w.objY[i] = static_cast<f32>(480 * (w.objTimer[i] % 2));
        if (w.objTimer[i] > 120) {
            for (int j = 0; j <= 11; ++j) {
                fireAt(w, kRoundBullet, w.objX[i], w.objY[i], 10 * w.objTimer[i] + 30 * j, 2);
            }
        }
        if (w.objTimer[i] == 901) {
            w.objPhase[i] = 4;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
            w.objParamB[i] = 0;
        }
        break;
    case 4:
        // Climbing away from the bottom-left corner, faster and faster.
        moveBy(w.objY[i], -(w.objTimer[i] / 16.0));
        moveBy(w.objX[i], 1);
        countBy(w.objTimer[i], 1);
        if (w.objY[i] < -80) {
            w.objPhase[i] = 5;
            w.objTimer[i] = 0;
            w.objParamA[i] = 120;
        }
        break;
    case 5:
        // Laser strikes near the ship, each a little sooner than the one before.
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] == w.objParamA[i] + 120) {
            w.objTimer[i] = 0;
            countBy(w.objParamA[i], -5);
            w.objParamB[i] = 120;
            const double u = randomDraw(w.rng);
            w.objParamC[i] = round16(320 * u + w.shipX - 160);
            STPlay(kLaserWarningSound);
            // Two falling lines of bullets flank the laser.
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
            w.objPhase[i] = 6;
            w.objTimer[i] = 0;
            w.objParamA[i] = 7;
            w.objParamB[i] = 0;
            w.objParamC[i] = 0;
            w.objX[i] = 320;
            w.objY[i] = -80;
        }
        break;
    case 6:
        // Dashing about in 30-frame moves (objTimer, objParamA: whole-pixel velocity),
        // with eight rings at the end of each move.
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
                // The last three moves home in on the middle of the screen.
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
        if (w.objParamC[i] == 16) {
            w.objPhase[i] = 7;
            w.objTimer[i] = 0;
            w.objParamA[i] = 0;
            w.objParamB[i] = 0;
            w.objParamC[i] = 0;
        }
        break;
    case 7:
        if (w.objTimer[i] % 10 == 0) largeShotRing(w, i);
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] == 360) {
            w.objPhase[i] = 8;
            w.objTimer[i] = 64;
        }
        break;
    case 8:
        // It sinks to a lowest point and climbs out, still firing. Once freed, its
        // first shot may take this very slot, and the later shots then read that shot's
        // position and timer.
        moveBy(w.objY[i], w.objTimer[i] / 32.0);
        countBy(w.objTimer[i], -1);
        if (w.objY[i] < -80) w.objKind[i] = kFree;
        if (w.objTimer[i] % 10 == 0) largeShotRing(w, i);
        break;
    default: break;
    }
}

} // namespace tolvane
