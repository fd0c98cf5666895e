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

void behaveTwinGunEnemy(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        moveBy(w.objY[i], 2);
        if (w.objY[i] == 100) w.objPhase[i] = 1;
        break;
    case 1:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] % 4 == 0) {
            // The twin guns fire straight down.
            launch(w, kHeadingBullet, double(w.objX[i]) + 24, w.objY[i], 0, 4);
            launch(w, kHeadingBullet, double(w.objX[i]) - 24, w.objY[i], 0, 4);
        }
        if (w.objTimer[i] % 8 == 0) {
            // A curtain of slightly scattered round bullets from the wings.
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
            if (w.objTimer[i] == 48) w.objPhase[i] = 2;
        }
        break;
    case 2:
        moveBy(w.objY[i], 1);
        if (w.objY[i] > 200) {
            // Three aimed volleys: from the centre, then from each gun.
            for (int offset : {0, 24, -24}) {
                aimAtPlayer(w, static_cast<f32>(double(w.objX[i]) + offset), w.objY[i]);
                for (int k = 0; k <= 7; ++k) {
                    fire(w, kHeadingBullet, double(w.objX[i]) + offset, w.objY[i], w.aimAngle, 2 + k / 8.0,
                         w.aimAngle);
                }
            }
            w.objPhase[i] = 3;
        }
        break;
    case 3:
        moveBy(w.objY[i], 2);
        moveBy(w.objX[i], w.objX[i] >= 320 ? 1 : -1);
        if (w.objY[i] > 560) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

void behaveRingEnemy(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        moveBy(w.objY[i], 1);
        if (w.objY[i] == 100) w.objPhase[i] = 1;
        break;
    case 1:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] % 20 == 0) {
            // Five rings of twelve, every other one turned by half a step.
            for (int j = 0; j <= 11; ++j) {
                w.aimAngle = wrap16(30 * j + (w.objParamA[i] % 2 != 0 ? 15 : 0));
                fire(w, kHeadingBullet, w.objX[i], w.objY[i], w.aimAngle, 2, w.aimAngle);
            }
            countBy(w.objParamA[i], 1);
        }
        if (w.objParamA[i] == 5) w.objPhase[i] = 2;
        break;
    case 2:
        moveBy(w.objY[i], 1);
        if (w.objY[i] == 580) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

void behaveSwoopEnemy(World& w, int i) {
    // objTimer is the flight angle in degrees, objParamA ten times the speed; the
    // right-hand variant flies the mirror image of the left-hand one.
    const double t = radians(w.objTimer[i]);
    const double v = w.objParamA[i] / 10.0;
    if (w.objParamC[i] == 1) {
        moveBy(w.objX[i], std::sin(t) * v);
    } else {
        moveBy(w.objX[i], -(std::sin(t) * v));
    }
    moveBy(w.objY[i], std::cos(t) * v);

    const bool right = w.objParamC[i] == 1;
    switch (w.objPhase[i]) {
    case 0:
        countBy(w.objParamB[i], 1);
        if (w.objParamB[i] % 2 == 0) countBy(w.objParamA[i], -1);
        if (right ? w.objX[i] < 320 : w.objX[i] > 320) w.objPhase[i] = 1;
        break;
    case 1:
        countBy(w.objTimer[i], -4);
        if (w.objTimer[i] <= 29) {
            // Out of the turn: one slightly scattered aimed bullet.
            w.objPhase[i] = 2;
            aimAtPlayer(w, w.objX[i], w.objY[i]);
            const double u1 = randomDraw(w.rng);
            const double u2 = randomDraw(w.rng);
            const double a = radians(w.aimAngle);
            launch(w, kRoundBullet, w.objX[i], w.objY[i], -2 * std::sin(a) + (u1 - 0.5) / 10,
                   2 * std::cos(a) + (u2 - 0.5) / 10);
        }
        break;
    case 2:
        countBy(w.objParamB[i], 1);
        if (w.objParamB[i] % 2 == 0) countBy(w.objParamA[i], 1);
        if (right ? w.objX[i] > 680 : w.objX[i] < -40) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

void behaveTwinShotEnemy(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        moveBy(w.objY[i], 2);
        if (w.objY[i] > 120) w.objPhase[i] = 1;
        break;
    case 1:
        launch(w, kHeadingBullet, double(w.objX[i]) + 10, w.objY[i], 0, 3);
        launch(w, kHeadingBullet, double(w.objX[i]) - 10, w.objY[i], 0, 3);
        w.objPhase[i] = 2;
        break;
    case 2:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] == 60) w.objPhase[i] = 3;
        break;
    case 3:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] % 20 == 0) {
            // Two slow aimed shots side by side, 20 pixels apart across their path.
            aimAtPlayer(w, w.objX[i], w.objY[i]);
            const double a = radians(w.aimAngle);
            fire(w, kHeadingBullet, double(w.objX[i]) + 10 * std::cos(a),
                 double(w.objY[i]) + 10 * std::sin(a), w.aimAngle, 1, w.aimAngle);
            fire(w, kHeadingBullet, double(w.objX[i]) - 10 * std::cos(a),
                 double(w.objY[i]) - 10 * std::sin(a), w.aimAngle, 1, w.aimAngle);
            countBy(w.objParamA[i], 1);
        }
        if (w.objParamA[i] == 5) w.objPhase[i] = 4;
        break;
    case 4:
        moveBy(w.objY[i], -2);
        if (w.objY[i] < -96) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

void behaveLaserEnemy(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        // A braking descent: 90/16 pixels in the first frame down to 1/16 in the last.
        moveBy(w.objY[i], w.objTimer[i] / 16.0);
        countBy(w.objTimer[i], -1);
        if (w.objTimer[i] == 0) w.objPhase[i] = 1;
        break;
    case 1:
        countBy(w.objTimer[i], 1);
        if (w.objTimer[i] == 100) {
            w.objPhase[i] = 2;
            w.objTimer[i] = 0;
            STPlay(kLaserWarningSound);
        }
        break;
    case 2:
        countBy(w.objTimer[i], 1);
        // The laser stands from just above the enemy to the bottom of the screen.
        for (int y = round16(double(w.objY[i]) - 32); y <= 480; y += 32)
            launch(w, kLaserSegment, w.objX[i], y, 0, 0);
        if (w.objTimer[i] == 60) {
            w.objPhase[i] = 3;
            w.objTimer[i] = 0;
        }
        break;
    case 3:
        // It sinks away with growing speed and goes once it is well below the screen.
        moveBy(w.objY[i], -(w.objTimer[i] / 16.0));
        countBy(w.objTimer[i], -1);
        if (w.objY[i] > 560) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

void behaveGunship(World& w, int i) {
    switch (w.objPhase[i]) {
    case 0:
        // A braking slide in from the side.
        moveBy(w.objX[i], w.objTimer[i] / 16.0 * w.objParamA[i]);
        countBy(w.objTimer[i], -1);
        if (w.objTimer[i] == 0) w.objPhase[i] = 1;
        break;
    case 1:
    case 2:
    case 3: {
        if (w.objTimer[i] % 2 != 0) moveBy(w.objY[i], 1);
        countBy(w.objTimer[i], 1);
        // A burst of large shot pairs along the last aim, one pair every 8 frames.
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
            countBy(w.objPhase[i], 1);
        }
        break;
    }
    case 4:
        moveBy(w.objY[i], 1);
        if (w.objY[i] > 530) w.objKind[i] = kFree;
        break;
    default: break;
    }
}

} // namespace tolvane
