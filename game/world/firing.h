// Small helpers the behaviours share: moving a float field, counting a 16-bit field,
// and firing bullets along a heading.
#pragma once

#include <cmath>

#include "session/arith.h"
#include "world/world.h"

namespace tolvane {

// A float field moved by a real amount: the sum in double, stored as float.
inline void moveBy(f32& v, double d) { v = static_cast<f32>(static_cast<double>(v) + d); }

// A 16-bit field counted up or down, wrapping.
inline void countBy(i16& v, int d) { v = wrap16(static_cast<std::int64_t>(v) + d); }

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
