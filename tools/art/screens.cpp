// The full pictures: the results screen's background, the three stage title
// cards and the star-streak column.
#include "draw.h"
#include "palette.h"
#include "sheets.h"

#include <cmath>
#include <cstdint>

namespace art {

namespace {

const Rgb kWhite{255, 255, 255};

// A small deterministic generator for scattering stars.
struct Scatter {
    uint32_t state;
    explicit Scatter(uint32_t seed) : state(seed) {}
    double next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    }
};

// Text centred on x with its baseline at y, filled with a vertical gradient and
// outlined.
void headline(cairo_t* cr, const char* text, const char* face, double size, double x, double y, Rgb top,
              Rgb bottom, Rgb outline, double outlineWidth) {
    cairo_select_font_face(cr, face, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text, &ext);
    cairo_new_path(cr);
    cairo_move_to(cr, x - ext.width / 2 - ext.x_bearing, y);
    cairo_text_path(cr, text);
    setRgb(cr, outline);
    cairo_set_line_width(cr, outlineWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
    useGradient(cr, cairo_pattern_create_linear(0, y + ext.y_bearing, 0, y), {{0, top}, {1, bottom}});
    cairo_fill(cr);
}

} // namespace

Indexed resultsPicture() {
    Canvas canvas = sheetCanvas(tolvane::sheet::kResults);
    cairo_t* cr = canvas.cr();
    useGradient(cr, cairo_pattern_create_linear(0, 0, 0, 480),
                {{0, {8, 10, 40}}, {0.6, {30, 14, 60}}, {1, {70, 20, 60}}});
    cairo_paint(cr);

    Scatter rnd(20261207);
    for (int i = 0; i < 260; ++i) {
        const double x = rnd.next() * 640, y = rnd.next() * 480, b = rnd.next();
        cairo_rectangle(cr, std::floor(x), std::floor(y), b > 0.9 ? 2 : 1, b > 0.9 ? 2 : 1);
        setRgb(cr, mix({90, 100, 160}, kWhite, b));
        cairo_fill(cr);
    }
    // Light rays behind the heading.
    for (int k = 0; k < 16; ++k) {
        const double a = k * M_PI / 8;
        cairo_new_path(cr);
        cairo_move_to(cr, 320, 56);
        cairo_line_to(cr, 320 + std::cos(a - 0.05) * 700, 56 + std::sin(a - 0.05) * 700);
        cairo_line_to(cr, 320 + std::cos(a + 0.05) * 700, 56 + std::sin(a + 0.05) * 700);
        cairo_close_path(cr);
        setRgb(cr, {120, 90, 200}, 0.12);
        cairo_fill(cr);
    }
    // The panel that holds the figures (labels at x 256, numbers up to x 410).
    cairo_new_path(cr);
    const double px = 232, py = 104, pw = 196, ph = 344, rr = 12;
    cairo_arc(cr, px + pw - rr, py + rr, rr, -M_PI / 2, 0);
    cairo_arc(cr, px + pw - rr, py + ph - rr, rr, 0, M_PI / 2);
    cairo_arc(cr, px + rr, py + ph - rr, rr, M_PI / 2, M_PI);
    cairo_arc(cr, px + rr, py + rr, rr, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    setRgb(cr, {10, 12, 40}, 0.85);
    cairo_fill_preserve(cr);
    setRgb(cr, {140, 150, 255});
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    // Rules between the groups of figures, clear of the rows the game writes.
    for (double y : {158.0, 298.0, 378.0}) {
        cairo_rectangle(cr, px + 16, y, pw - 32, 1);
        setRgb(cr, {90, 100, 200}, 0.8);
        cairo_fill(cr);
    }
    headline(cr, "RESULT", "DejaVu Sans", 54, 320, 78, {255, 255, 255}, {255, 190, 40}, {60, 20, 90}, 6);
    headline(cr, "Tolvane", "DejaVu Serif", 16, 320, 468, {200, 200, 255}, {140, 140, 220}, {20, 10, 40}, 2);
    return quantise(canvas, gamePalette(), -1, 0, true);
}

Indexed stageCard(int stage) {
    // 16 colours: black (the key) first, then the starburst's yellows and oranges
    // and the lettering's reds.
    const Palette card = {{0, 0, 0},       {255, 255, 255}, {255, 252, 200}, {255, 244, 120},
                          {255, 228, 40},  {255, 200, 0},   {255, 160, 0},   {240, 110, 0},
                          {220, 50, 20},   {170, 20, 20},   {110, 10, 20},   {70, 0, 20},
                          {255, 200, 200}, {150, 60, 0},    {90, 40, 10},    {255, 130, 110}};
    Canvas canvas = sheetCanvas(tolvane::sheet::kStage1Card);
    cairo_t* cr = canvas.cr();
    const double cx = 160, cy = 120;
    const int points = 28;
    cairo_new_path(cr);
    closedPath(cr, points * 2, [&](int k) {
        const double a = k * M_PI / points - M_PI / 2;
        const double wobble = (k * 37 % 11) / 11.0;
        const double r = (k % 2 == 0) ? 1.0 + 0.12 * wobble : 0.76 + 0.05 * wobble;
        return Pt{cx + std::cos(a) * 152 * r, cy + std::sin(a) * 112 * r};
    });
    useGradient(cr, cairo_pattern_create_radial(cx, cy, 10, cx, cy, 170),
                {{0, {255, 255, 230}}, {0.45, {255, 236, 90}}, {0.8, {255, 190, 0}}, {1, {240, 110, 0}}});
    cairo_fill_preserve(cr);
    // Alternate rays of a lighter yellow, clipped to the burst.
    cairo_save(cr);
    cairo_clip_preserve(cr);
    for (int k = 0; k < points; k += 2) {
        const double a0 = (k - 0.5) * M_PI / (points / 2.0) - M_PI / 2, a1 = a0 + M_PI / points;
        cairo_new_path(cr);
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + std::cos(a0) * 300, cy + std::sin(a0) * 300);
        cairo_line_to(cr, cx + std::cos(a1) * 300, cy + std::sin(a1) * 300);
        cairo_close_path(cr);
        setRgb(cr, {255, 252, 200}, 0.45);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    setRgb(cr, {170, 20, 20});
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);

    static const char* const titles[3][2] = {
        {"STAGE 1", "Amber Frontier"}, {"STAGE 2", "The Iron Current"}, {"FINAL STAGE", "Kestrow Gate"}};
    const char* const* t = titles[stage - 1];
    headline(cr, t[0], "DejaVu Sans", stage == 3 ? 36 : 48, cx, 122, {255, 120, 90}, {170, 20, 20},
             {70, 0, 20}, 5);
    headline(cr, t[1], "DejaVu Serif", 20, cx, 154, {150, 60, 0}, {110, 10, 20}, {255, 252, 200}, 3);
    Indexed out = quantise(canvas, card, 0, 40);
    out.bits = 4;
    return out;
}

Indexed starColumn() {
    Indexed column;
    column.width = 1;
    column.height = 480;
    column.bits = 1;
    column.palette = {{0, 0, 0}, {255, 255, 255}};
    column.pixels.assign(480, 1);
    return column;
}

} // namespace art
