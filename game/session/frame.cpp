// A new game and one frame of play, in the order the game runs them.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "media/dtools.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "session/arith.h"
#include "session/session.h"
#include "world/world.h"

namespace tolvane {

void newGame(World& w) {
    // The lightning pattern of the level-up burst.
    for (int i = 0; i <= 7; ++i) {
        for (int j = 0; j <= 3; ++j) {
            for (int k = 0; k <= 16; ++k) {
                double v = k + j + i + 3 * std::sin(static_cast<double>(k * j * i));
                w.burstPattern[k][j][i] = wrap8(roundToInt(v) % 3);
            }
        }
    }
    pcg32Seed(w.rng, 0, 0);
    w.shipX = 320;
    w.shipY = 540;
    w.level = 1;
    w.entryTimer = 80;
    w.blinkTimer = 120;
    w.starSpeed = 2400.0f;
    w.timeLeft = 10800;
    w.bombStock = 1;
    w.frameCounter = 0;
    w.hiscoreRank = -1;
}

std::string timeText(i32 timeLeft) {
    double seconds = intPart(timeLeft / 60.0 * 100.0) / 100.0;
    char buf[40];
    std::snprintf(buf, sizeof buf, "Time %.15g", seconds);
    return buf;
}

namespace {

i16 flag(bool b) { return static_cast<i16>(b ? -1 : 0); }

// Input of a frame: sampled live and recorded, or decoded from the replay buffer.
void takeInput(World& w, Joystick& joy) {
    if (w.replayMode == 1) {
        // Past the end of the buffer every frame reads as no input.
        u8 b = w.replayFrame >= 0 && w.replayFrame <= kLastReplayIndex ? w.replayInput[w.replayFrame] : 0;
        w.inUp = flag(b & 1);
        w.inDown = flag(b & 2);
        w.inLeft = flag(b & 4);
        w.inRight = flag(b & 8);
        w.inBombPressed = flag(b & 16);
        w.inUpPressed = flag(w.inUp && !w.prevUp);
        w.inDownPressed = flag(w.inDown && !w.prevDown);
        w.inLeftPressed = flag(w.inLeft && !w.prevLeft);
        w.inRightPressed = flag(w.inRight && !w.prevRight);
        w.prevUp = w.inUp;
        w.prevDown = w.inDown;
        w.prevLeft = w.inLeft;
        w.prevRight = w.inRight;
        return;
    }
    readInput(w, joy);
    // Recording stops at the end of the buffer (only reachable long after the game ended).
    if (w.replayFrame >= 0 && w.replayFrame <= kLastReplayIndex) {
        int b = w.inUp ? 1 : 0;
        if (w.inDown) b += 2;
        if (w.inLeft) b += 4;
        if (w.inRight) b += 8;
        if (w.inBombPressed) b += 16;
        w.replayInput[w.replayFrame] = wrap8(b);
    }
}

void drawTime(World& w, TextPass& text) {
    beginText(text, sheet::kBackBuffer);
    selectFont(text, "2", 20, 0, 4, 0, 0, 0);
    setTextColors(text, 16777215, 0, 0);
    // Headless the text reaches no surface, so it is not even formatted.
    if (textDrawn(text)) drawText(text, timeText(w.timeLeft), 280, 32);
    endText(text);
}

// How long a bomb lasts, in frames; while it runs the barrier is wider by the frames
// left and the background flashes.
constexpr i16 kBombFrames = 60;

void fireBomb(World& w) {
    w.bombTimer = kBombFrames;
    w.bombStock = wrap16(w.bombStock - 1);
    STPlay(kBombSound);
    int n = 0;
    for (int i = 0; i < kObjectSlots; ++i) n += w.objKind[i] != kFree ? 1 : 0;
    w.bombBonusTimer = 120;
    w.bombBonus = wrap32(50 * static_cast<std::int64_t>(n));
    w.score = add32(w.score, 50 * static_cast<std::int64_t>(n));
}

// The mark at the screen centre and an arrow toward a ship that has left the screen.
void drawOffscreenMarker(World& w) {
    aimAtPlayer(w, 320.0f, 240.0f);
    int dx = std::abs(320 - w.shipX) - 320;
    int dy = std::abs(240 - w.shipY) - 240;
    double d = static_cast<double>(roundToInt((dy > dx ? dy : dx) / 2.0));
    drawCell(312, 232, sheet::kMarkerDisc);
    int a = w.aimAngle;
    double s = std::sin(radians(a));
    double c = std::cos(radians(a));
    auto x = static_cast<std::int32_t>(roundToInt(312 - d * s));
    auto y = static_cast<std::int32_t>(roundToInt(d * c + 232));
    auto column = static_cast<int>(intPart((a % 60) / 10.0));
    auto row = static_cast<int>(intPart(a / 60.0));
    drawCell(x, y, sheet::kArrow.next(column).below(row));
}

void controlShip(World& w) {
    if (w.entryTimer != 0) {
        // Flying in from below: no control, no bomb, no marker.
        w.shipY = wrap16(w.shipY - 2);
        w.entryTimer = wrap16(w.entryTimer - 1);
        return;
    }
    int step = 3 + w.shakeBoost;
    if (w.inUp) w.shipY = wrap16(w.shipY - step);
    if (w.inDown) w.shipY = wrap16(w.shipY + step);
    if (w.inRight) w.shipX = wrap16(w.shipX + step);
    if (w.inLeft) w.shipX = wrap16(w.shipX - step);
    if (w.bombTimer == 0 && w.inBombPressed && w.bombStock != 0) fireBomb(w);
    if (w.shipX < -16 || w.shipY < -16 || w.shipX > 656 || w.shipY > 496) drawOffscreenMarker(w);
}

void openTapWindows(World& w) {
    if (w.inUpPressed) w.tapWindowUp = 30;
    if (w.inDownPressed) w.tapWindowDown = 30;
    if (w.inLeftPressed) w.tapWindowLeft = 30;
    if (w.inRightPressed) w.tapWindowRight = 30;
    for (i16* t : {&w.tapWindowUp, &w.tapWindowDown, &w.tapWindowLeft, &w.tapWindowRight}) {
        if (*t != 0) *t = wrap16(*t - 1);
    }
    // Bitwise, on the counter values: windows of 29 and 2 give no boost.
    w.shakeBoost = ((w.tapWindowRight & w.tapWindowLeft) | (w.tapWindowDown & w.tapWindowUp)) != 0 ? 1 : 0;
}

void runStageScript(World& w) {
    i16 heading = 0;
    while (w.scriptCursor >= 0 && w.scriptCursor < kScriptSlots) {
        i32 t = w.scriptTime[w.scriptCursor];
        if (t < 1 || t > w.frameCounter) break;
        heading = 0;
        spawnObject(w, w.scriptKind[w.scriptCursor], w.scriptX[w.scriptCursor], w.scriptY[w.scriptCursor],
                    0.0f, 0.0f, heading);
        w.scriptCursor = wrap16(w.scriptCursor + 1);
    }
}

} // namespace

void runFrame(World& w, Joystick& joy, TextPass& text, const UnderShipLayer* layer) {
    // 1. Clear; a bomb flashes the background in a random colour.
    if (w.bombTimer != 0) {
        float r = randomDraw(w.rng);
        DTClear(0, static_cast<std::int32_t>(roundToInt(r * 16777215.0)), 0);
        w.bombTimer = wrap16(w.bombTimer - 1);
    } else {
        DTClear(0, 0, 0);
    }
    // 2. The clock runs until the game ends.
    if (w.gameEnded == 0 && w.timeLeft != 0) w.timeLeft = add32(w.timeLeft, -1);
    // 3. Time text, drawn first so that everything covers it.
    drawTime(w, text);
    // 4, 5. Input.
    takeInput(w, joy);
    w.replayFrame = add32(w.replayFrame, 1);
    // 6. Time-out ends the game, once.
    if (w.timeLeft == 0 && w.timeUpDone == 0) {
        i16 heading = 0;
        spawnObject(w, kGameEnd, -10.0f, -10.0f, 0.0f, 0.0f, heading);
        w.timeUpDone = 1;
    }
    // 7. Background streaks.
    if (w.gameEnded == 0) drawBackground(w);
    if (layer && layer->draw && w.frameSkip == 0 && media::drawing()) layer->draw(layer->context);
    // 8, 9. The ship, blinking while invulnerable.
    if (w.frameSkip == 0 && w.blinkTimer % 2 == 0) {
        drawCell(w.shipX - 16, w.shipY - 16, {sheet::kShipSheet, w.shipCellX, w.shipCellY, 32, 32});
    }
    if (w.blinkTimer > 0) w.blinkTimer = wrap16(w.blinkTimer - 1);
    // 10. Every object.
    updateWorld(w);
    // 11, 12. Tap windows and the speed boost.
    openTapWindows(w);
    // 13. Overlay.
    if (w.gameEnded == 0) drawFrame(w);
    // 14. Ship control, bomb, off-screen marker.
    controlShip(w);
    // 15. New streaks.
    for (int t = 0; t < 4; ++t) {
        float r = randomDraw(w.rng);
        if (static_cast<double>(r) * 100.0 > 100.0 - static_cast<double>(w.starSpeed)) spawnStar(w);
    }
    // 16. Stage script entries that are due.
    runStageScript(w);
    // 17.
    w.frameCounter = add32(w.frameCounter, 1);
}

} // namespace tolvane
