// The world simulation: the object table with spawning and aiming, the per-frame
// contact, scoring and misses, the behaviour of every kind, the stage markers, the
// results screen and the star streaks.
#pragma once

#include "session/world_state.h"

namespace tolvane {

// Creates one object in the lowest free slot. Kind 4 corrects a negative heading in
// the caller's variable. Does nothing once the time-out has ended the game or when
// the table is full.
void spawnObject(World& w, i16 kind, f32 x, f32 y, f32 vx, f32 vy, i16& heading);

// Sets aimAngle to the heading from (x, y) toward a point 2 pixels below the ship.
void aimAtPlayer(World& w, f32 x, f32 y);

// Visits every live object: contact wait, barrier and core tests, scoring, drawing,
// and its behaviour.
void updateWorld(World& w);

// A contact spark flying outward from the ship.
void spawnSpark(World& w, f32 x, f32 y);

// One background star streak just above the screen.
void spawnStar(World& w);

// The behaviours, one per kind, for the object in slot `i`.
void behaveStraight(World& w, int i);      // kinds 2, 4, 15
void behaveLaserSegment(World& w, int i);  // kind 13
void behaveFanEnemy(World& w, int i);      // kind 1
void behaveTwinGunEnemy(World& w, int i);  // kind 3
void behaveRingEnemy(World& w, int i);     // kind 5
void behaveSwoopEnemy(World& w, int i);    // kind 6
void behaveTwinShotEnemy(World& w, int i); // kind 7
void behaveLaserEnemy(World& w, int i);    // kind 12
void behaveGunship(World& w, int i);       // kind 14
void behaveFirstBoss(World& w, int i);     // kind 11
void behaveSecondBoss(World& w, int i);    // kind 16
void behaveLastBoss(World& w, int i);      // kind 17
void behaveGameEnd(World& w, int i);       // kind 8
void behaveStageBanner(World& w, int i);   // kind 9
void behaveSpeedMarker(World& w, int i);   // kind 10

// Draws a number with `places` digit places from x0, 13 pixels apart, right-aligned,
// leading zeros left out.
void drawNumber(i32 value, int places, int x0, int y);

} // namespace tolvane
