// The menu program's 270x180 title picture: the ship climbing out of a night
// sky over a glowing horizon, with the title lettering. Its lower edge fades
// into the menu window's dark blue.
#include "draw.h"
#include "sheets.h"

#include <cmath>
#include <cstdint>

namespace art {

void writeTitlePicture(const std::string& pngPath) {
    Canvas canvas(270, 180);
    cairo_t* cr = canvas.cr();
    useGradient(cr, cairo_pattern_create_linear(0, 0, 0, 180),
                {{0, {2, 2, 20}}, {0.55, {24, 10, 70}}, {0.8, {10, 4, 70}}, {1, {0, 0, 64}}});
    cairo_paint(cr);

    uint32_t seed = 1207;
    auto rnd = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0;
    };
    for (int i = 0; i < 140; ++i) {
        const double x = rnd() * 270, y = rnd() * 130, b = rnd();
        cairo_rectangle(cr, std::floor(x), std::floor(y), 1, 1);
        setRgb(cr, mix({80, 90, 160}, {255, 255, 255}, b), 0.4 + 0.6 * b);
        cairo_fill(cr);
    }
    // A planet's rim glowing under the horizon.
    useGradient(cr, cairo_pattern_create_radial(135, 405, 250, 135, 405, 300),
                {{0, {255, 170, 80}, 0.9},
                 {0.12, {255, 90, 120}, 0.6},
                 {0.45, {90, 40, 160}, 0.25},
                 {1, {0, 0, 64}, 0}});
    cairo_paint(cr);
    disc(cr, 135, 405, 252);
    useGradient(cr, cairo_pattern_create_linear(0, 168, 0, 180), {{0, {30, 10, 60}}, {1, {0, 0, 64}}});
    cairo_fill(cr);

    // The ship's light trail and the ship itself, scaled up.
    for (int k = 0; k < 3; ++k) {
        cairo_new_path(cr);
        cairo_move_to(cr, 40 + k * 4, 200);
        cairo_curve_to(cr, 120, 150, 170, 130, 204 - k * 2, 90 + k * 3);
        cairo_set_source_rgba(cr, 0.5 + 0.25 * k, 0.8, 1.0, 0.25 + 0.2 * k);
        cairo_set_line_width(cr, 6 - 2 * k);
        cairo_stroke(cr);
    }
    glow(cr, 212, 76, 26, {120, 200, 255}, 0.5);
    cairo_save(cr);
    cairo_translate(cr, 212, 76);
    cairo_rotate(cr, 0.7);
    cairo_scale(cr, 1.4, 1.4);
    cairo_translate(cr, -16, -16);
    drawShip(cr, 19);
    cairo_restore(cr);

    // The lower edge melts into the menu window's dark blue.
    cairo_rectangle(cr, 0, 158, 270, 22);
    useGradient(cr, cairo_pattern_create_linear(0, 158, 0, 179), {{0, {0, 0, 64}, 0}, {1, {0, 0, 64}, 1}});
    cairo_fill(cr);

    // Title lettering.
    auto text = [cr](const char* s, const char* face, cairo_font_slant_t slant, double size, double x,
                     double y, Rgb top, Rgb bottom, double glowAlpha) {
        cairo_select_font_face(cr, face, slant, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, size);
        cairo_text_extents_t e;
        cairo_text_extents(cr, s, &e);
        const double left = x - e.width / 2 - e.x_bearing;
        for (int r = 6; r >= 2; r -= 2) {
            cairo_new_path(cr);
            cairo_move_to(cr, left, y);
            cairo_text_path(cr, s);
            cairo_set_source_rgba(cr, 0.55, 0.45, 1.0, glowAlpha / r);
            cairo_set_line_width(cr, r * 1.6);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_stroke(cr);
        }
        cairo_new_path(cr);
        cairo_move_to(cr, left, y);
        cairo_text_path(cr, s);
        useGradient(cr, cairo_pattern_create_linear(0, y + e.y_bearing, 0, y), {{0, top}, {1, bottom}});
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.1, 0.05, 0.25, 0.9);
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
    };
    text("Velmora", "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, 34, 112, 116, {255, 255, 255}, {200, 190, 255},
         1.2);
    text("Kestrow", "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, 34, 150, 150, {255, 240, 200}, {255, 170, 80},
         1.2);
    text("T O L V A N E", "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, 10, 76, 30, {200, 220, 255},
         {150, 170, 255}, 0.6);
    canvas.savePng(pngPath);
}

} // namespace art
