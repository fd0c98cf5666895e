// The pictures the game carries: one function per sheet.
#pragma once
#include "image.h"

#include <string>

namespace art {

Indexed shipSheet();          // picture 0: 640x32, twenty ships
Indexed objectSheet();        // picture 1: 640x480, enemies, bosses and bullets
Indexed hudSheet();           // picture 2: 384x145, display parts and effects
Indexed resultsPicture();     // picture 3: 640x480, results screen background
Indexed stageCard(int stage); // pictures 4..6: 320x240 title cards, stage 1..3
Indexed starColumn();         // picture 7: 1x480 white column
// Draws ship picture n (0..19) in a 32x32 box at the origin of the context.
void drawShip(cairo_t* cr, int n);
void writeTitlePicture(const std::string& pngPath); // the menu's 270x180 title picture
// The programs' icon: icon-64.png, icon-128.png, icon-256.png and icon-64.rgba (64x64
// R, G, B, A bytes, top row first, for the game window) in `dir`.
void writeIcons(const std::string& dir);

} // namespace art
