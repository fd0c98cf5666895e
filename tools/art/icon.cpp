// The programs' icon: the last and grandest of the player's ships in the night sky of
// the title picture, framed by the corners of its square barrier, with two bullets
// sparking where they touch it. Drawn as vectors at every size, so each size is sharp.
#include "draw.h"
#include "sheets.h"

#include <cmath>
#include <stdexcept>

namespace art {
namespace {

// Draws the icon on a `size` x `size` canvas, in a 32 x 32 design space.
void drawIcon(Canvas& canvas) {
    cairo_t* cr = canvas.cr();
    const double k = canvas.width() / 32.0;
    cairo_save(cr);
    cairo_scale(cr, k, k);

    // A rounded tile of the title picture's sky.
    const double r = 5;
    cairo_new_path(cr);
    cairo_arc(cr, 32 - r - 0.5, r + 0.5, r, -M_PI / 2, 0);
    cairo_arc(cr, 32 - r - 0.5, 32 - r - 0.5, r, 0, M_PI / 2);
    cairo_arc(cr, r + 0.5, 32 - r - 0.5, r, M_PI / 2, M_PI);
    cairo_arc(cr, r + 0.5, r + 0.5, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    cairo_save(cr);
    cairo_clip_preserve(cr);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 32);
    addStop(sky, 0, {2, 2, 20});
    addStop(sky, 0.6, {24, 10, 70});
    addStop(sky, 1, {0, 0, 64});
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    // The planet's rim glowing under the horizon.
    cairo_pattern_t* rim = cairo_pattern_create_radial(16, 62, 30, 16, 62, 40);
    addStop(rim, 0, {255, 170, 80}, 0.9);
    addStop(rim, 0.15, {255, 90, 120}, 0.5);
    addStop(rim, 1, {90, 40, 160}, 0);
    cairo_set_source(cr, rim);
    cairo_paint(cr);
    cairo_pattern_destroy(rim);
    static const double stars[][3] = {{4, 5, 0.9},  {9, 2.5, 0.5}, {26, 4, 0.8}, {29, 11, 0.5},
                                      {3, 14, 0.6}, {22, 2, 0.4},  {6, 24, 0.4}, {28, 20, 0.6}};
    for (const auto& s : stars) {
        glow(cr, s[0], s[1], 0.9, {255, 255, 255}, s[2]);
    }
    cairo_restore(cr);

    // The barrier's corners around the ship.
    const double cx = 16, cy = 16.5, h = 11.5, arm = 4;
    glow(cr, cx, cy, 13, {120, 200, 255}, 0.35);
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            cairo_new_path(cr);
            cairo_move_to(cr, cx + sx * (h - arm), cy + sy * h);
            cairo_line_to(cr, cx + sx * h, cy + sy * h);
            cairo_line_to(cr, cx + sx * h, cy + sy * (h - arm));
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            cairo_set_source_rgba(cr, 0.55, 0.85, 1.0, 0.35);
            cairo_set_line_width(cr, 2.2);
            cairo_stroke_preserve(cr);
            cairo_set_source_rgba(cr, 0.85, 0.97, 1.0, 1.0);
            cairo_set_line_width(cr, 1.0);
            cairo_stroke(cr);
        }
    }

    // The ship, inside its barrier.
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, 0.76, 0.76);
    cairo_translate(cr, -16, -16);
    drawShip(cr, 19);
    cairo_restore(cr);

    // Two bullets touching the barrier, and the sparks of the contact.
    const double bullets[][2] = {{cx + h + 0.5, cy - 6}, {cx - h - 0.5, cy + 5}};
    for (const auto& b : bullets) {
        glow(cr, b[0], b[1], 3.2, {255, 80, 160}, 0.8);
        disc(cr, b[0], b[1], 1.3);
        fillRadial(cr, {255, 255, 255}, {255, 90, 170}, b[0] - 0.3, b[1] - 0.3, 1.3);
        cairo_new_path(cr);
        glow(cr, b[0], b[1], 1.8, {255, 255, 200}, 0.6);
    }
    cairo_restore(cr);
}

} // namespace

void writeIcons(const std::string& dir) {
    for (int size : {64, 128, 256}) {
        Canvas canvas(size, size);
        drawIcon(canvas);
        canvas.savePng(dir + "/icon-" + std::to_string(size) + ".png");
        if (size != 64) continue;
        // The game window's icon, as plain bytes: R, G, B, A per pixel, top row first.
        std::vector<uint8_t> rgba;
        rgba.reserve(static_cast<size_t>(size) * size * 4);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                int a = 0;
                const Rgb c = canvas.pixel(x, y, &a);
                rgba.insert(rgba.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b), uint8_t(a)});
            }
        }
        writeFile(dir + "/icon-64.rgba", rgba);
    }
}

} // namespace art
