// The stage script: every enemy, boss, stage banner, speed marker and the end of the
// game is an entry (frame, kind, x, y) fired through spawnObject on its frame.
#include <utility>

#include "session/arith.h"
#include "session/session.h"

namespace tolvane {

void addScriptEntry(World& w, i32 time, i16 kind, i16 x, i16 y) {
    if (w.scriptCount > 10000) return;
    w.scriptTime[w.scriptCount] = time;
    w.scriptKind[w.scriptCount] = kind;
    w.scriptX[w.scriptCount] = x;
    w.scriptY[w.scriptCount] = y;
    w.scriptCount = wrap16(w.scriptCount + 1);
}

// An exchange sort by time. Equal times are never exchanged with each other directly.
void sortStageScript(World& w) {
    for (int i = 0; i < w.scriptCount; ++i) {
        for (int j = i + 1; j < w.scriptCount; ++j) {
            if (w.scriptTime[i] > w.scriptTime[j]) {
                std::swap(w.scriptTime[i], w.scriptTime[j]);
                std::swap(w.scriptKind[i], w.scriptKind[j]);
                std::swap(w.scriptX[i], w.scriptX[j]);
                std::swap(w.scriptY[i], w.scriptY[j]);
            }
        }
    }
}

namespace {

struct Entry {
    i32 time;
    i16 kind, x, y;
};

// The whole game, in the order it was written down (sorted afterwards): one row per wave.
// clang-format off
constexpr Entry kStageScript[] = {
    // Stage 1.
    {1, 9, 5, 0},
    {250, 3, 320, -96},
    {400, 5, 260, -128}, {400, 5, 380, -128}, {400, 5, 140, -96}, {400, 5, 500, -96},
    {1050, 1, 320, -160}, {1050, 1, 200, -128}, {1050, 1, 440, -128}, {1050, 1, 80, -96}, {1050, 1, 560, -96},
    {1600, 6, 670, 180}, {1610, 6, 670, 180}, {1620, 6, 670, 180}, {1630, 6, 670, 180}, {1640, 6, 670, 180},
    {1800, 7, 440, -96},
    {1900, 7, 200, -96},
    {2400, 6, -30, 180}, {2410, 6, -30, 180}, {2420, 6, -30, 180}, {2430, 6, -30, 180}, {2440, 6, -30, 180},
    {2600, 7, 440, -96},
    {2700, 7, 200, -96},
    {3200, 3, 160, -96}, {3200, 3, 480, -96},
    {3700, 11, 320, -240},
    // Stage 2.
    {5250, 10, 6, 0},
    {5500, 9, 6, 0},
    {5900, 7, 440, -96}, {5900, 7, 380, -96}, {5900, 7, 260, -96}, {5900, 7, 200, -96},
    {6200, 12, 320, -160},
    {6350, 1, 200, -128}, {6350, 1, 440, -128}, {6350, 1, 80, -96}, {6350, 1, 560, -96},
    {6900, 1, 200, -128}, {6900, 1, 440, -128}, {6900, 1, 80, -96}, {6900, 1, 560, -96},
    {6950, 12, 320, -160},
    {7200, 5, 260, -128}, {7200, 5, 380, -128}, {7200, 5, 140, -96}, {7200, 5, 500, -96},
    {7900, 6, -30, 180}, {7910, 6, -30, 180}, {7920, 6, -30, 180}, {7930, 6, -30, 180}, {7940, 6, -30, 180},
    {7900, 6, 670, 180}, {7910, 6, 670, 180}, {7920, 6, 670, 180}, {7930, 6, 670, 180}, {7940, 6, 670, 180},
    {8150, 14, -100, 200}, {8150, 14, 740, 200},
    {8300, 1, 320, -160}, {8300, 1, 200, -128}, {8300, 1, 440, -128}, {8300, 1, 80, -96}, {8300, 1, 560, -96},
    {8850, 14, -100, 200}, {8850, 14, 740, 200},
    {9000, 1, 320, -160}, {9000, 1, 200, -128}, {9000, 1, 440, -128}, {9000, 1, 80, -96}, {9000, 1, 560, -96},
    {9550, 14, -100, 200}, {9550, 14, 740, 200},
    {9700, 1, 320, -160}, {9700, 1, 200, -128}, {9700, 1, 440, -128}, {9700, 1, 80, -96}, {9700, 1, 560, -96},
    {10000, 5, 260, -128}, {10000, 5, 380, -128}, {10000, 5, 140, -96}, {10000, 5, 500, -96},
    {10600, 16, 320, -96},
    // Final stage.
    {14000, 10, 6, 0},
    {14250, 9, 7, 0},
    {14500, 1, 320, -160},
    {14650, 1, 200, -128},
    {14800, 1, 440, -128},
    {14950, 1, 80, -96},
    {15100, 1, 560, -96},
    {15600, 10, 6, 0},
    {15700, 17, 320, -96},
    {24400, 8, 6, 0},
};
// clang-format on

} // namespace

void buildStageScript(World& w) {
    for (const Entry& e : kStageScript) addScriptEntry(w, e.time, e.kind, e.x, e.y);
    sortStageScript(w);
}

} // namespace tolvane
