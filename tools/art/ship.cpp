// The ship sheet: twenty 32x32 pictures of the player's ship, one for each
// extend. The ship grows from a plain dart into an ornate winged craft, changing
// colour as it goes, so every extend is visible at a glance.
#include "draw.h"
#include "palette.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

struct ShipLook {
    double hue;     // main hull colour
    double trimHue; // wing stripes and fins
    int wings;      // 0 delta, 1 forward swept, 2 double delta, 3 crescent
    bool pods;      // wingtip pods
    bool fins;      // tail fins
    bool canards;   // small fore wings
    int engines;    // 1..3 exhaust flames
    double span;    // half wingspan
};

ShipLook lookFor(int n) {
    static const double hues[20] = {210, 190, 150, 45,  0,  275, 225, 170, 30,  330,
                                    200, 120, 55,  300, 15, 240, 180, 90,  350, 48};
    ShipLook s;
    s.hue = hues[n];
    s.trimHue = std::fmod(hues[n] + 150 + 20 * (n % 3), 360.0);
    s.wings = n % 4;
    s.pods = n >= 4 && n % 2 == 0;
    s.fins = n >= 8 || n % 5 == 3;
    s.canards = n >= 12 || n % 3 == 2;
    s.engines = 1 + (n / 5) % 3;
    s.span = 10.5 + n * 0.22;
    return s;
}

} // namespace

void drawShip(cairo_t* cr, int n) {
    const ShipLook s = lookFor(n);
    const double cx = 16;
    const Rgb body = hsv(s.hue, 0.55, 0.95), bodyDark = hsv(s.hue, 0.85, 0.45);
    const Rgb trim = hsv(s.trimHue, 0.85, 1.0), trimDark = hsv(s.trimHue, 0.9, 0.5);
    // Outlines stay light enough to show against the black sky.
    const Rgb line = hsv(s.hue, 0.8, 0.36);

    // Exhaust flames under everything: orange around a white core.
    for (int e = 0; e < s.engines; ++e) {
        const double ex = cx + (s.engines == 1 ? 0 : (e - (s.engines - 1) / 2.0) * 5.0);
        const double len = 4.5 + (e == (s.engines - 1) / 2 ? 1.5 : 0);
        for (int layer = 0; layer < 2; ++layer) {
            const double w = layer == 0 ? 2.4 : 1.2, l = layer == 0 ? len : len * 0.6;
            cairo_new_path(cr);
            cairo_move_to(cr, ex - w, 26);
            cairo_line_to(cr, ex, 26 + l);
            cairo_line_to(cr, ex + w, 26);
            cairo_close_path(cr);
            if (layer == 0)
                fillGradient(cr, {255, 200, 60}, {240, 70, 20}, ex, 26, ex, 26 + l);
            else
                fillGradient(cr, {255, 255, 255}, {255, 240, 150}, ex, 26, ex, 26 + l);
            cairo_new_path(cr);
        }
    }

    // Wings.
    const double sp = s.span;
    std::vector<Pt> wing;
    switch (s.wings) {
    case 0: wing = {{0, 11}, {4, 12}, {sp, 22}, {sp, 25}, {3, 24}, {0, 24}}; break;
    case 1: wing = {{0, 14}, {4, 15}, {sp - 1, 13}, {sp, 16}, {5, 25}, {0, 25}}; break;
    case 2: wing = {{0, 9}, {3, 10}, {sp - 4, 17}, {sp - 4, 19}, {sp, 23}, {sp, 26}, {3, 25}, {0, 25}}; break;
    default:
        wing = {{0, 12}, {5, 13}, {sp - 2, 17}, {sp, 21}, {sp - 1, 26}, {sp - 4, 22}, {3, 24}, {0, 24}};
        break;
    }
    mirrored(cr, cx, wing);
    fillGradient(cr, body, bodyDark, cx, 10, cx + sp, 26);
    stroke(cr, line, 1.0);
    // Stripe on each wing.
    for (int side = -1; side <= 1; side += 2) {
        cairo_new_path(cr);
        cairo_move_to(cr, cx + side * 4.5, 17);
        cairo_line_to(cr, cx + side * (sp - 1.5), 22.5);
        setRgb(cr, trim);
        cairo_set_line_width(cr, 1.4);
        cairo_stroke(cr);
    }
    // Later ships earn gold leading edges and wingtip lights.
    if (n >= 15) {
        for (int side = -1; side <= 1; side += 2) {
            cairo_new_path(cr);
            cairo_move_to(cr, cx + side * 4, wing[1].y + 0.6);
            cairo_line_to(cr, cx + side * (wing[2].x - 0.5), wing[2].y + 0.6);
            setRgb(cr, {255, 220, 90});
            cairo_set_line_width(cr, 1.1);
            cairo_stroke(cr);
        }
    }
    if (n >= 10) {
        for (int side = -1; side <= 1; side += 2) {
            disc(cr, cx + side * (sp - 0.6), 23.5, 1.1);
            setRgb(cr, side < 0 ? Rgb{255, 80, 80} : Rgb{120, 255, 140});
            cairo_fill(cr);
        }
    }
    if (s.canards) {
        mirrored(cr, cx, {{0, 8}, {6, 9}, {7, 11}, {2, 12}, {0, 12}});
        fillGradient(cr, trim, trimDark, cx, 8, cx, 12);
        stroke(cr, line, 0.8);
    }
    if (s.pods) {
        for (int side = -1; side <= 1; side += 2) {
            ellipse(cr, cx + side * (sp - 0.5), 20.5, 1.7, 5);
            fillGradient(cr, {255, 255, 255}, trimDark, cx + side * sp - 1, 16, cx + side * sp + 1, 25);
            stroke(cr, line, 0.8);
        }
    }
    if (s.fins) {
        for (int side = -1; side <= 1; side += 2) {
            polygon(
                cr,
                {{cx + side * 3.5, 19}, {cx + side * 6.5, 25}, {cx + side * 6.5, 29}, {cx + side * 3.5, 26}});
            fillGradient(cr, trim, trimDark, cx, 19, cx, 29);
            stroke(cr, line, 0.8);
        }
    }

    // Fuselage.
    mirrored(cr, cx, {{0, 1.5}, {1.5, 4}, {3, 9}, {3.6, 16}, {3.2, 26}, {0, 27.5}});
    fillGradient(cr, mix(body, {255, 255, 255}, 0.5), bodyDark, cx - 4, 4, cx + 4, 26);
    stroke(cr, line, 1.0);
    // Spine highlight.
    cairo_new_path(cr);
    cairo_move_to(cr, cx - 0.8, 5);
    cairo_line_to(cr, cx - 0.8, 24);
    setRgb(cr, {255, 255, 255}, 0.7);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);

    // Canopy.
    ellipse(cr, cx, 12, 1.9, 3.6);
    fillGradient(cr, {220, 250, 255}, {20, 60, 170}, cx - 1, 9, cx + 1, 15);
    stroke(cr, line, 0.7);
    cairo_new_path(cr);
    ellipse(cr, cx - 0.6, 10.8, 0.6, 1.2);
    setRgb(cr, {255, 255, 255});
    cairo_fill(cr);
}

Indexed shipSheet() {
    namespace sheet = tolvane::sheet;
    Canvas canvas = sheetCanvas(sheet::kShipSheet);
    cairo_t* cr = canvas.cr();
    for (int n = 0; n < sheet::kShipPictures; ++n)
        inCell(cr, sheet::kShip.next(n), [n](cairo_t* c) { drawShip(c, n); });
    return quantise(canvas, gamePalette(), kSpriteKeyIndex, kKeyClearance);
}

} // namespace art
