// The game's 256-colour palette, shared by the sprite sheets and carried as
// bitmap 101 (a 16x16 swatch of itself).
#pragma once
#include "image.h"

namespace art {

constexpr Rgb kSpriteKey{7, 124, 141}; // background of the ship and object sheets
constexpr Rgb kHudKey{3, 25, 3};       // background of the head-up display sheet
constexpr int kSpriteKeyIndex = 0;
constexpr int kHudKeyIndex = 1;
constexpr int kBlackIndex = 255;
// Colours closer than this to a sheet's key are never used on that sheet.
constexpr double kKeyClearance = 48.0;

const Palette& gamePalette();
Indexed paletteSwatch();

} // namespace art
