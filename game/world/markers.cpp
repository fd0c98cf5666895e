// The invisible marker kinds that drive the presentation: the stage banner with its
// title card, the speed-up marker, and the end of the game with its results screen;
// plus the background star streaks and the digit drawing they share with the overlay.
#include <cstdint>

#include "media/dtools.h"
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
        DTBitBlt(0, x0 + 13 * k, y, 16, 16, 3, 80 + 16 * static_cast<std::int32_t>(d), 0, 0);
    }
}

void behaveStageBanner(World& w, int i) {
    DTBitBlt(0, 160, 100, 320, 240, w.objParamC[i], 0, 0, 0);
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

struct Label {
    int x, y, sourceX, sourceY, width;
};

// The labels of the results screen, top to bottom (all 16 pixels high).
constexpr Label kResultLabels[] = {
    {256, 120, 64, 0, 16},                            // LV
    {256, 160, 224, 16, 24}, {280, 160, 240, 0, 32},  // MAX, contacts
    {256, 200, 248, 16, 24}, {280, 200, 240, 0, 32},  // ALL, contacts
    {256, 240, 224, 80, 40}, {296, 240, 224, 32, 40}, // TIME BONUS
    {256, 320, 224, 32, 40},                          // BONUS
    {256, 400, 224, 64, 40},                          // SCORE
};

void drawLabel(const Label& l) { DTBitBlt(0, l.x, l.y, l.width, 16, 3, l.sourceX, l.sourceY, 0); }

} // namespace

void behaveGameEnd(World& w, int) {
    DTBitBlt(0, 0, 0, 640, 480, 4, 0, 0, 1);
    drawLabel(kResultLabels[0]);
    drawNumber(w.level, 3, 360, 140);
    drawLabel(kResultLabels[1]);
    drawLabel(kResultLabels[2]);
    drawNumber(w.maxChain, 5, 340, 180);
    drawLabel(kResultLabels[3]);
    drawLabel(kResultLabels[4]);
    drawNumber(w.totalContacts, 5, 340, 220);
    drawLabel(kResultLabels[5]);
    drawLabel(kResultLabels[6]);
    drawNumber(w.timeBonus, 8, 301, 260);
    drawLabel(kResultLabels[7]);
    drawNumber(w.finalBonus, 8, 301, 340);
    drawLabel(kResultLabels[8]);
    drawNumber(w.score, 9, 290, 420);
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
