// What a new object of each kind starts with: its sprite cell (which also gives its
// size) and its hit box around its centre. Read by spawnObject, and by the resources
// test, which checks that every hit box lies on the kind's picture.
#pragma once

#include "presentation/sheets.h"
#include "session/world_state.h"

namespace tolvane {

// Index = kind.
struct KindPreset {
    sheet::Cell cell; // on the object sheet; none for the invisible marker kinds
    i16 left, right, top, bottom;
};

// clang-format off
inline constexpr KindPreset kKindPresets[18] = {
    {{}, 0, 0, 0, 0},                              // 0 (never spawned)
    {sheet::kSmallEnemy, -18, 18, -18, 18},        // 1 fan enemy
    {sheet::kRoundBullet, -1, 2, -1, 2},           // 2 round bullet
    {sheet::kTwinGunEnemy, -70, 70, -40, 40},      // 3 twin-gun enemy
    {sheet::kHeadingBullet, -1, 2, -1, 2},         // 4 heading bullet
    {sheet::kRingEnemy, -30, 30, -75, 75},         // 5 ring enemy
    {sheet::kSmallEnemy, -18, 18, -18, 18},        // 6 swoop enemy
    {sheet::kTwinShotEnemy, -12, 12, -28, 28},     // 7 twin-shot enemy
    {{}, 0, 0, 0, 0},                              // 8 end of game
    {{}, 0, 0, 0, 0},                              // 9 stage banner
    {{}, 0, 0, 0, 0},                              // 10 speed marker
    {sheet::kFirstBoss, -70, 70, -120, 120},       // 11 first boss
    {sheet::kLaserEnemy, -30, 30, -70, 70},        // 12 laser enemy
    {sheet::kLaserSegment, -16, 16, -16, 16},      // 13 laser segment
    {sheet::kGunship, -80, 80, -40, 40},           // 14 gunship
    {sheet::kLargeShot, -8, 8, -8, 8},             // 15 large shot
    {sheet::kSecondBoss, -100, 100, -40, 40},      // 16 second boss
    {sheet::kLastBoss, -30, 30, -30, 30},          // 17 last boss
};
// clang-format on

} // namespace tolvane
