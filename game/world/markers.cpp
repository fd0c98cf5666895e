// The invisible marker kinds that drive the presentation: the stage banner with its
// title card, the speed-up marker, and the end of the game with its results screen;
// plus the background star streaks and the digit drawing they share with the overlay.
#include <cstdint>

#include "media/dtools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "world/world.h"

namespace tolvane {

void drawNumber(i32 value, int places, int x0, int y) {
    if (!media::drawing()) return; // nothing else to it
    std::int64_t power[11] = {1};
    for (int p = 1; p <= 10; ++p) power[p] = power[p - 1] * 10;
    for (int k = 0; k < places; ++k) {
        const int below = places - 1 - k;
        if (intPart(double(value) / double(power[below])) == 0 && k != places - 1) continue;
        double d = intPart(double(value % power[places - k]) / double(power[below]));
        drawCell(x0 + 13 * k, y, sheet::kDigit.next(static_cast<int>(d)));
    }
}

void behaveStageBanner(World& w, int i) {
    // The banner keeps the surface of its title card in objParamC.
    drawCell(160, 100, {w.objParamC[i], 0, 0, sheet::kStageCard.width, sheet::kStageCard.height});
    // The streaks brake to slow stars while the title card shows.
    if (w.starSpeed > 10) {
        w.starSpeed = static_cast<f32>(w.starSpeed - 10.0);
        if (w.starSpeed < 10) w.starSpeed = 10;
    }
    w.objPhase[i] = wrap16(w.objPhase[i] + 1);
    if (w.objParamC[i] == 5) {
        // At the start of the game the ship waits below the screen until the card is gone.
        w.shipX = 320;
        w.shipY = 540;
        w.entryTimer = 80;
        w.blinkTimer = 120;
    }
    if (w.objPhase[i] == 240) w.objKind[i] = kFree;
}

void behaveSpeedMarker(World& w, int i) {
    if (w.starSpeed < 2400) {
        w.starSpeed = static_cast<f32>(w.starSpeed + 10.0);
    } else {
        w.objKind[i] = kFree;
    }
}

namespace {

// A line of the results screen: one or two labels and a number of `places` digits.
struct ResultLine {
    struct Label {
        int x, y;
        sheet::Cell cell;
    } first, second;
    i32 (*value)(const World&);
    int places, x, y;
};

// The lines of the results screen, top to bottom.
// clang-format off
constexpr ResultLine kResultLines[] = {
    {{256, 120, sheet::kLevelLabel}, {},                                [](const World& w) -> i32 { return w.level; },         3, 360, 140},
    {{256, 160, sheet::kMaxLabel},   {280, 160, sheet::kContactLabel}, [](const World& w) { return w.maxChain; },      5, 340, 180},
    {{256, 200, sheet::kAllLabel},   {280, 200, sheet::kContactLabel}, [](const World& w) { return w.totalContacts; }, 5, 340, 220},
    {{256, 240, sheet::kTimeLabel},  {296, 240, sheet::kBonusLabel},   [](const World& w) { return w.timeBonus; },     8, 301, 260},
    {{256, 320, sheet::kBonusLabel}, {},                                [](const World& w) { return w.finalBonus; },    8, 301, 340},
    {{256, 400, sheet::kScoreLabel}, {},                                [](const World& w) { return w.score; },         9, 290, 420},
};
// clang-format on

} // namespace

void behaveGameEnd(World& w, int) {
    drawCell(0, 0, sheet::kResultsScreen, 1);
    for (const ResultLine& line : kResultLines) {
        drawCell(line.first.x, line.first.y, line.first.cell);
        if (line.second.cell.width != 0) drawCell(line.second.x, line.second.y, line.second.cell);
        drawNumber(line.value(w), line.places, line.x, line.y);
    }
    // The ship stays out of sight.
    w.shipX = 320;
    w.shipY = 540;
    w.entryTimer = 80;
    w.blinkTimer = 120;
}

void spawnStar(World& w) {
    for (int s = 0; s < kStarSlots; ++s) {
        if (w.starActive[s] != 0) continue;
        w.starActive[s] = 1;
        w.starX[s] = round16(640.0 * randomDraw(w.rng));
        w.starY[s] = static_cast<f32>(-double(w.starSpeed) / 10);
        return;
    }
}

} // namespace tolvane
