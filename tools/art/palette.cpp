// The palette: the two sheet keys, a grey ramp, fourteen hue ramps of sixteen
// shades (dark, saturated, then pale toward white) and a few warm extras.
#include "palette.h"

#include <cmath>

namespace art {

namespace {

Palette build() {
    Palette p(256);
    p[0] = kSpriteKey;
    p[1] = kHudKey;
    for (int i = 0; i < 16; ++i) { // 2..17: greys, 17 is white
        const int v = 20 + (i * 235 + 7) / 15;
        p[2 + i] = {v, v, v};
    }
    const double hues[14] = {0, 22, 40, 54, 80, 120, 160, 188, 205, 222, 245, 272, 300, 332};
    for (int h = 0; h < 14; ++h) {
        for (int s = 0; s < 16; ++s) {
            double sat, val;
            if (s < 11) { // dark to full colour
                val = 0.16 + 0.84 * std::pow(s / 10.0, 0.9);
                sat = 0.95 - 0.1 * (s / 10.0);
            } else { // toward a pale tint
                val = 1.0;
                sat = 0.85 * (1.0 - (s - 10) / 6.0);
            }
            p[18 + h * 16 + s] = hsv(hues[h], sat, val);
        }
    }
    const Rgb extras[13] = {{255, 226, 196}, {230, 180, 140}, {180, 120, 90},  {120, 72, 52},
                            {70, 40, 30},    {96, 104, 128},  {64, 70, 96},    {40, 44, 64},
                            {150, 160, 190}, {200, 210, 230}, {255, 250, 200}, {200, 255, 250},
                            {255, 200, 240}};
    for (int i = 0; i < 13; ++i) p[242 + i] = extras[i];
    p[255] = {0, 0, 0};
    return p;
}

} // namespace

const Palette& gamePalette() {
    static const Palette palette = build();
    return palette;
}

Indexed paletteSwatch() {
    Indexed swatch;
    swatch.width = swatch.height = 16;
    swatch.bits = 8;
    swatch.palette = gamePalette();
    for (int i = 0; i < 256; ++i) swatch.pixels.push_back(static_cast<uint8_t>(i));
    return swatch;
}

} // namespace art
