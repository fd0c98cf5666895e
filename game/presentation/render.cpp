// The background streaks and the overlay of each frame: the level-up burst, the
// contact sparks and the head-up display, with the timers they run down.
#include <cmath>

#include "media/dtools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/world.h"

namespace tolvane {

void drawBackground(World& w) {
    // The same step for every streak of the frame (worked out once: the stores below
    // could otherwise be the speed's own).
    const double step = double(w.starSpeed) / 10;
    for (int i = 0; i < kStarSlots; ++i) {
        if (w.starActive[i] == 0) continue;
        // A white line as long as the streak moves in one frame, cut from the 480-pixel column.
        if (media::drawing()) {
            auto h = static_cast<std::int32_t>(roundToInt(w.starSpeed / 10.0));
            DTBitBlt(sheet::kBackBuffer, w.starX[i], static_cast<std::int32_t>(roundToInt(w.starY[i])), 1, h,
                     sheet::kStreakColumn, 0, h, 1);
        }
        w.starY[i] = static_cast<f32>(double(w.starY[i]) + step);
        if (w.starY[i] > 480) w.starActive[i] = 0;
    }
}

namespace {

// Lightning bolts and a widening circle drawn on the window, and the sphere that
// alternates between full and half size while it shrinks.
void drawBurst(World& w) {
    // The bolts are only drawn: headless they are not even worked out.
    if (w.frameSkip == 0 && media::drawsPixels()) {
        for (int e = 0; e <= 3; ++e) {
            FormPSet(w.shipX, w.shipY);
            for (int i = 1; i <= 16; ++i) {
                int k = static_cast<int>(roundToInt(w.burstTimer / 2.0) % 8);
                int g = w.burstPattern[i][e][k];
                double theta = (g / 2.0 + e + w.burstTimer / 64.0) * 3.14 / 2;
                FormLineStep(i * std::cos(theta) * 32, i * std::sin(theta) * 32);
            }
        }
    }
    w.burstRadius = wrap16(w.burstRadius + 16);
    if (w.frameSkip == 0) {
        FormCircle(w.shipX, w.shipY, w.burstRadius);
        double f = w.burstTimer / (w.burstToggle + 1.0);
        DTStretchBlt(0, static_cast<std::int32_t>(roundToInt(w.shipX - f / 2)),
                     static_cast<std::int32_t>(roundToInt(w.shipY - f / 2)),
                     static_cast<std::int32_t>(roundToInt(f)), static_cast<std::int32_t>(roundToInt(f)),
                     sheet::kSphere.surface, sheet::kSphere.x, sheet::kSphere.y, sheet::kSphere.width,
                     sheet::kSphere.height, 0);
    }
    w.burstTimer = wrap16(w.burstTimer - 2);
    w.burstToggle = wrap16(1 - w.burstToggle);
}

void drawSparks(World& w) {
    for (int i = 0; i < kSparkSlots; ++i) {
        if (w.sparkActive[i] == 0) continue;
        // A trail of eight pictures crowding toward the spark.
        for (int j = 1; j <= 15 && media::drawing(); j += 2) {
            drawCell(static_cast<std::int32_t>(roundToInt(2.0 * w.sparkVx[i] / j + w.sparkX[i] - 8)),
                     static_cast<std::int32_t>(roundToInt(2.0 * w.sparkVy[i] / j + w.sparkY[i] - 8)),
                     sheet::kSpark.next(w.sparkAge[i]));
        }
        w.sparkX[i] = round16(w.sparkX[i] + double(w.sparkVx[i]));
        w.sparkY[i] = round16(w.sparkY[i] + double(w.sparkVy[i]));
        w.sparkAge[i] = wrap16(w.sparkAge[i] + 1);
        if (w.sparkAge[i] == 8) w.sparkActive[i] = 0;
    }
}

void drawPopups(World& w) {
    if (w.chainPopupTimer != 0) {
        w.chainPopupTimer = wrap16(w.chainPopupTimer - 1);
        if (w.chainPopupTimer % 2 != 0) {
            drawCell(w.chainPopupX, w.chainPopupY, sheet::kContactLabel);
            drawNumber(w.chainPopupValue, 5, w.chainPopupX + 34, w.chainPopupY);
            if (w.levelPopupTimer != 0) {
                drawCell(w.chainPopupX, w.chainPopupY - 20, sheet::kLevelLabel);
                drawNumber(w.levelPopupValue, 3, w.chainPopupX + 18, w.chainPopupY - 20);
                w.levelPopupTimer = add32(w.levelPopupTimer, -1);
            }
        }
    }
    if (w.bombBonusTimer != 0) {
        if (w.frameSkip == 0 && w.bombBonusTimer % 2 != 0) {
            drawCell(256, 48, sheet::kBonusLabel);
            drawNumber(w.bombBonus, 5, 298, 48);
        }
        w.bombBonusTimer = wrap16(w.bombBonusTimer - 1);
    }
}

} // namespace

void drawFrame(World& w) {
    if (w.burstTimer != 0) drawBurst(w);
    drawSparks(w);
    // Level gauge, 64 pixels when full.
    drawCellPart(8, 8, static_cast<std::int32_t>(roundToInt(w.gauge / 10.0)), sheet::kGaugeBar.height,
                 sheet::kGaugeBar);
    // Bombs in stock.
    drawCell(16, 448, sheet::kBombLabel);
    for (int n = 1; n <= w.bombStock; ++n) drawCell(9 * n + 18, 448, sheet::kBombMark);
    if (w.shakeBoost != 0) {
        drawCell(w.shipX - 24, w.shipY - 24, sheet::kSpeedRing.next(w.shakeBoostFrame));
        w.shakeBoostFrame = wrap16((w.shakeBoostFrame + 1) % 3);
    }
    if (w.wreckTimer != 0) {
        auto frame = static_cast<std::int32_t>(intPart((80 - w.wreckTimer) / 10.0));
        drawCell(w.wreckX - 24, w.wreckY - 24, sheet::kWreck.next(frame));
        w.wreckTimer = wrap16(w.wreckTimer - 4);
    }
    drawCell(83, 8, sheet::kLevelLabel);
    drawNumber(w.level, 3, 100, 8);
    drawPopups(w);
    drawCell(246, 8, sheet::kScoreLabel);
    drawNumber(w.score, 9, 290, 8);
}

} // namespace tolvane
