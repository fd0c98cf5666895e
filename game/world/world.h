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

// What the counters mean, kind by kind and phase by phase. Timer is objTimer; A, B and C
// are objParamA, objParamB and objParamC; "to n": the value that ends the phase; blank:
// not used. A counter starts at 0 unless the kind's presets set it, and a new phase keeps
// what the last one left but for the counters it is entered with (enterPhase). Each kind
// lists its phases in order in enemies.cpp or bosses.cpp. Headings are in degrees,
// velocities and speeds in pixels a frame; "laser" counts down to the end of a laser,
// which stands while the count is below 60.
//
// clang-format off
// kind           phase       Timer                  A                   B                 C
// 3 twin-gun     1 guns      frames (to 48)
// 5 ring enemy   1 rings     frames                 rings fired (to 5)
// 6 swoop        all         heading (280)          speed x 10 (80)     frames, for A     1: from right
//                1 turn      -4 a frame (to <=29)
// 7 twin-shot    2 wait      frames (to 60)
//                3 pairs     frames                 pairs fired (to 5)
// 12 laser       0 brake in  speed x 16 (90 to 0)
//                1 wait      frames (to 100)
//                2 laser     frames (to 60)
//                3 sink      -speed x 16 (from 0)
// 14 gunship     0 slide in  speed x 16 (90 to 0)   +1 right, -1 left
//                1-3 bursts  frames                                     burst (40 down)   burst heading
// 11 first boss  2 wait      frames (to 180)
//                3 spiral    heading (to 1440)
//                4 rings     ring heading           frames (to 600)
// 16 second boss 1 volleys   volley shift 0/10      frames (to 720)
//                2 lasers    frames (to 1430)       ring shift 0/10     laser x           laser (90 down)
//                3 two guns  frames (to 900)        ring turn 0..30
// 17 last boss   0 flicker   1: shown at y 150      frames (to 120)
//                1 loops     loop angle             laps (to 4)
//                2 homing    x velocity x 16        y velocity x 16     fan (to 360)
//                3 corners   jumps (to 901)
//                4 climb     speed x 16
//                5 strikes   frames                 gap-120 (120 to 0)  laser (120 down)  laser x
//                6 dashes    x velocity             y velocity          frames (to 30)    moves (to 16)
//                7 rings     ring heading (to 360)
//                8 sink      speed x 32 (64 down)
// clang-format on
//
// The fan enemy (1), the laser segment (13), the straight movers (2, 4, 15) and the end of
// the game (8) use no counters. The round bullet (2) keeps its spin picture in objFrameX
// (0 to 36); the heading bullet (4) its heading's picture in objFrameX and objFrameY, set
// when it is spawned. The stage banner (9) counts the frames it is shown in objPhase (to
// 240) and keeps the surface of its title card in C; the speed marker (10) keeps the x it
// was placed with in C, but nothing reads it.

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
