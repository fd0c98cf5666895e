// Small helpers the behaviours share: running a kind's phases, entering a phase,
// moving a float field, counting a 16-bit field, and firing bullets along a heading.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>

#include "session/arith.h"
#include "world/world.h"

namespace tolvane {

// One phase of a behaviour, run once a frame for the object in slot `i`: its actions,
// then the test that moves it on to the next phase.
using PhaseStep = void (*)(World& w, int i);

// Runs the object's current phase from its kind's list of phases. A phase number the
// list does not reach does nothing.
template <std::size_t N> void runPhase(const PhaseStep (&phases)[N], World& w, int i) {
    const int phase = w.objPhase[i];
    if (phase >= 0 && phase < static_cast<int>(N)) phases[phase](w, i);
}

// The counters a phase starts with; a counter left out keeps the value it has.
struct PhaseStart {
    std::optional<i16> timer = {}, paramA = {}, paramB = {}, paramC = {};
};

// Moves the object on to `phase`, which runs from its next update on, and sets the
// counters `start` names.
inline void enterPhase(World& w, int i, i16 phase, const PhaseStart& start = {}) {
    w.objPhase[i] = phase;
    if (start.timer) w.objTimer[i] = *start.timer;
    if (start.paramA) w.objParamA[i] = *start.paramA;
    if (start.paramB) w.objParamB[i] = *start.paramB;
    if (start.paramC) w.objParamC[i] = *start.paramC;
}

// A float field moved by a real amount: the sum in double, stored as float.
inline void moveBy(f32& v, double d) { v = static_cast<f32>(static_cast<double>(v) + d); }

// A 16-bit field counted up or down, wrapping.
inline void countBy(i16& v, int d) { v = wrap16(static_cast<std::int64_t>(v) + d); }

// An entrance from above: down `speed` pixels a frame, and on to phase `next` once the
// object is at `y` exactly.
inline void descendTo(World& w, int i, int speed, int y, i16 next) {
    moveBy(w.objY[i], speed);
    if (w.objY[i] == y) enterPhase(w, i, next);
}

// Fires `kind` from (x, y) at heading `a` degrees with speed `s`. The velocity is
// worked out before the spawn; `heading` is the variable the spawn sees, which a
// heading bullet turns from negative to positive degrees.
inline void fire(World& w, i16 kind, double x, double y, double a, double s, i16& heading) {
    const double r = radians(a);
    const double vx = -std::sin(r) * s;
    const double vy = std::cos(r) * s;
    spawnObject(w, kind, static_cast<f32>(x), static_cast<f32>(y), static_cast<f32>(vx), static_cast<f32>(vy),
                heading);
}

// Fires along a heading that is worked out on the spot: a heading bullet gets a
// temporary holding it, every other kind a heading of 0.
inline void fireAt(World& w, i16 kind, double x, double y, std::int64_t a, double s) {
    i16 heading = kind == kHeadingBullet ? wrap16(a) : i16{0};
    fire(w, kind, x, y, static_cast<double>(a), s, heading);
}

// Spawns `kind` at (x, y) with a given velocity and heading 0.
inline void launch(World& w, i16 kind, double x, double y, double vx, double vy) {
    i16 heading = 0;
    spawnObject(w, kind, static_cast<f32>(x), static_cast<f32>(y), static_cast<f32>(vx), static_cast<f32>(vy),
                heading);
}

// A laser column: sixteen standing segments from the top of the screen to the bottom.
inline void laserColumn(World& w, double x) {
    for (int y = 0; y <= 480; y += 32) launch(w, kLaserSegment, x, y, 0, 0);
}

} // namespace tolvane
