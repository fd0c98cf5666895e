// Helpers for the behaviour tests: a fresh world with the ship parked where it can
// neither touch nor be hit, spawning into a known slot, and running one behaviour step
// while taking away (and returning) everything that step created.
#pragma once

#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "session/session.h"
#include "world/world.h"

namespace tolvane::testing {

// A new game with the ship at (shipX, shipY), blinking so that nothing touches it
// (updateWorld itself never counts blinkTimer down).
inline std::unique_ptr<World> freshWorld(i16 shipX = 320, i16 shipY = 400) {
    auto w = std::make_unique<World>();
    newGame(*w);
    w->shipX = shipX;
    w->shipY = shipY;
    w->entryTimer = 0;
    w->blinkTimer = 1;
    return w;
}

// Spawns one object and returns the slot it landed in (-1 if none).
inline int spawnAt(World& w, int kind, float x, float y, float vx = 0, float vy = 0) {
    int slot = 0;
    while (slot < kObjectSlots && w.objKind[slot] != kFree) ++slot;
    i16 heading = 0;
    spawnObject(w, static_cast<i16>(kind), x, y, vx, vy, heading);
    return slot < kObjectSlots && w.objKind[slot] != kFree ? slot : -1;
}

// What one spawn left in its slot.
struct Shot {
    int slot;
    int kind;
    float x, y, vx, vy;
    int picture; // heading bullets: the degree whose picture was chosen
};

// The velocity of heading `a` degrees at speed `s` as the game stores it (its pi is 3.14).
struct Velocity {
    float vx, vy;
};
inline Velocity velocityOf(double a, double s) {
    const double r = a * 3.14 / 180;
    return {static_cast<float>(-std::sin(r) * s), static_cast<float>(std::cos(r) * s)};
}

// The true angle in degrees between a velocity and the direction from (x, y) to (tx, ty).
inline double angleOff(double vx, double vy, double x, double y, double tx, double ty) {
    const double pi = std::acos(-1.0);
    double d = std::atan2(vy, vx) - std::atan2(ty - y, tx - x);
    while (d > pi) d -= 2 * pi;
    while (d < -pi) d += 2 * pi;
    return std::fabs(d) * 180 / pi;
}

// Runs `behave` once for the object in `slot` and frees everything it spawned,
// returning the spawns in slot order. A spawn that took the owner's own slot (after
// the owner freed itself) is returned as well; owners never spawn their own kind.
template <class Behaviour> std::vector<Shot> stepAndCollect(World& w, int slot, Behaviour behave) {
    const u8 ownerKind = w.objKind[slot];
    behave(w, slot);
    std::vector<Shot> shots;
    for (int s = 0; s < kObjectSlots; ++s) {
        if (w.objKind[s] == kFree) continue;
        if (s == slot && w.objKind[s] == ownerKind) continue; // the owner itself
        int picture = static_cast<int>(w.objFrameY[s] / 16) * 40 + static_cast<int>(w.objFrameX[s] / 16);
        shots.push_back({s, w.objKind[s], w.objX[s], w.objY[s], w.objVx[s], w.objVy[s], picture});
        w.objKind[s] = kFree;
    }
    return shots;
}

// Counts the shots of one kind.
inline int countKind(const std::vector<Shot>& shots, int kind) {
    int n = 0;
    for (const Shot& s : shots) n += s.kind == kind ? 1 : 0;
    return n;
}

// The whole life of an enemy or boss, one behaviour step at a time: the step after
// which each phase began, the step that freed it, and what it fired, by kind.
struct Life {
    std::vector<std::pair<int, int>> phases; // (phase, entered after step n)
    int freedOn = 0;
    std::map<int, int> fired;
};
template <class Behaviour> Life liveThrough(World& w, int slot, Behaviour behave, int limit) {
    const u8 kind = w.objKind[slot];
    Life life;
    life.phases.push_back({w.objPhase[slot], 0});
    for (int n = 1; n <= limit; ++n) {
        for (const Shot& s : stepAndCollect(w, slot, behave)) ++life.fired[s.kind];
        if (w.objKind[slot] != kind) {
            life.freedOn = n;
            break;
        }
        if (w.objPhase[slot] != life.phases.back().first) life.phases.push_back({w.objPhase[slot], n});
    }
    return life;
}

} // namespace tolvane::testing
