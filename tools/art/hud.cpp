// The head-up display sheet: gauge bar, digits, labels, the off-screen marker's
// arrows and disc, and the effect pictures (glowing sphere, speed ring, sparks,
// the ship's wreck explosion).
#include "draw.h"
#include "palette.h"
#include "pixelfont.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

const Rgb kWhite{255, 255, 255};
// The outline of the lettering: dark, but well clear of the sheet's dark green key.
const Rgb kInkOutline{34, 30, 84};
const LetterStyle kLabel{{255, 255, 255}, {120, 200, 255}, kInkOutline};
const LetterStyle kDigits{{255, 255, 230}, {255, 190, 40}, kInkOutline};

void gaugeBar(cairo_t* cr) {
    // 64x16 at (0, 1); the game shows its left part, so it fills from the left.
    cairo_new_path(cr);
    cairo_rectangle(cr, 0.5, 3.5, 62.5, 9);
    useGradient(
        cr, cairo_pattern_create_linear(0, 0, 64, 0),
        {{0.0, {40, 200, 255}}, {0.5, {120, 255, 120}}, {0.85, {255, 230, 60}}, {1.0, {255, 120, 40}}});
    cairo_fill_preserve(cr);
    stroke(cr, kInkOutline, 1.0);
    cairo_rectangle(cr, 1, 5, 62, 2);
    setRgb(cr, kWhite, 0.75);
    cairo_fill(cr);
    for (int x = 8; x < 64; x += 8) {
        cairo_rectangle(cr, x, 9, 1, 3);
        setRgb(cr, kInkOutline, 0.6);
        cairo_fill(cr);
    }
}

void arrow(cairo_t* cr, int heading) {
    // 16x16 centred at (8, 8), pointing along the heading (0 down, 90 left).
    cairo_save(cr);
    cairo_translate(cr, 8, 8);
    cairo_rotate(cr, heading * M_PI / 180);
    polygon(cr, {{0, 7.2}, {5.6, 0.5}, {2.2, 0.5}, {2.2, -6.5}, {-2.2, -6.5}, {-2.2, 0.5}, {-5.6, 0.5}});
    fillGradient(cr, {255, 255, 160}, {255, 120, 20}, 0, 7, 0, -6);
    stroke(cr, {110, 30, 0}, 1.0);
    cairo_restore(cr);
}

void markerDisc(cairo_t* cr) {
    disc(cr, 8, 8, 6.2);
    fillRadial(cr, kWhite, {220, 228, 240}, 6.5, 6.5, 7);
    stroke(cr, {150, 160, 190}, 1.0);
}

void sphere(cairo_t* cr) {
    // 80x80 glowing sphere of the level-up burst (drawn stretched).
    useGradient(cr, cairo_pattern_create_radial(34, 34, 0, 40, 40, 39.5),
                {{0.0, kWhite},
                 {0.35, {255, 250, 190}},
                 {0.7, {255, 200, 60}},
                 {0.9, {255, 120, 40}},
                 {1.0, {230, 60, 60}}});
    disc(cr, 40, 40, 39.5);
    cairo_fill(cr);
}

void speedRing(cairo_t* cr, int frame) {
    // 48x48: a double ring of light around the ship; six comets chase round it,
    // 20 degrees further each frame, so the three frames spin.
    cairo_new_path(cr);
    cairo_arc(cr, 24, 24, 21, 0, 2 * M_PI);
    setRgb(cr, {40, 110, 255});
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_arc(cr, 24, 24, 17.5, 0, 2 * M_PI);
    setRgb(cr, {110, 220, 255});
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    for (int k = 0; k < 6; ++k) {
        const double head = (frame * 20 + k * 60) * M_PI / 180;
        for (int j = 0; j < 5; ++j) {
            const double a0 = head - j * 0.12;
            cairo_new_path(cr);
            cairo_arc(cr, 24, 24, 21, a0 - 0.13, a0);
            setRgb(cr, mix({255, 255, 255}, {80, 180, 255}, j / 4.0));
            cairo_set_line_width(cr, 4.0 - j * 0.5);
            cairo_stroke(cr);
        }
    }
}

void spark(cairo_t* cr, int age) {
    // 16x16: a four-pointed star that shrinks and cools as it ages.
    const double t = age / 7.0;
    const double r = 7.5 - 3.0 * t, w = 2.4 - 0.6 * t;
    const Rgb hot = mix({255, 255, 255}, {255, 150, 40}, t), edge = mix({255, 220, 80}, {230, 60, 40}, t);
    cairo_new_path(cr);
    closedPath(cr, 8, [&](int k) {
        const double a = k * M_PI / 4 + age * 0.2, rr = (k % 2 == 0) ? r : w;
        return Pt{8 + std::cos(a) * rr, 8 + std::sin(a) * rr};
    });
    fillRadial(cr, hot, edge, 8, 8, r);
    cairo_new_path(cr);
    disc(cr, 8, 8, w * 0.8);
    setRgb(cr, hot);
    cairo_fill(cr);
}

// A spiky fire shape of radius r around (24, 24).
void fireball(cairo_t* cr, double r, double turn, Rgb inner, Rgb outer) {
    if (r <= 0.5) return;
    cairo_new_path(cr);
    closedPath(cr, 18, [&](int k) {
        const double a = k * M_PI / 9 + turn;
        const double rr = r * ((k % 2 == 0) ? 1.0 : 0.74);
        return Pt{24 + std::cos(a) * rr, 24 + std::sin(a) * rr};
    });
    fillRadial(cr, inner, outer, 24, 24, r);
    cairo_new_path(cr);
}

void wreck(cairo_t* cr, int frame) {
    // 48x48: a white flash, a fireball that swells and burns out, smoke rings
    // and debris flying outward.
    const double t = frame / 7.0;
    if (frame >= 2) {
        for (int k = 0; k < 8; ++k) {
            const double a = k * 2 * M_PI / 8 + 0.4 + frame * 0.05, d = 5 + frame * 2.0;
            const double pr = std::max(1.5, 3.5 + frame * 0.8 - (frame > 5 ? (frame - 5) * 1.5 : 0));
            const double px = 24 + std::cos(a) * d, py = 24 + std::sin(a) * d;
            disc(cr, px, py, pr);
            fillRadial(cr, mix({170, 150, 170}, {120, 110, 140}, t), mix({100, 80, 100}, {70, 66, 90}, t),
                       px - 1, py - 1, pr);
            cairo_new_path(cr);
        }
    }
    const double radii[8] = {12, 14, 17, 20, 21, 19, 14, 8};
    const double r = radii[frame];
    const Rgb outer = mix({255, 120, 20}, {170, 30, 30}, t);
    fireball(cr, r, frame * 0.3, {255, 200, 60}, outer);
    fireball(cr, r * 0.7 * (1 - 0.5 * t), frame * 0.3 + 0.17, {255, 255, 255},
             mix({255, 230, 80}, {255, 140, 40}, t));
    for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3 + 0.2, d = 6 + frame * 2.5;
        cairo_rectangle(cr, 24 + std::cos(a) * d - 1, 24 + std::sin(a) * d - 1, 2.2, 2.2);
        setRgb(cr, frame < 4 ? Rgb{255, 255, 200} : Rgb{255, 170, 90});
        cairo_fill(cr);
    }
    if (frame == 0) {
        disc(cr, 24, 24, 6);
        setRgb(cr, kWhite);
        cairo_fill(cr);
    }
}

void bombMark(cairo_t* cr) {
    // 8x16: a small round bomb with a lit fuse.
    disc(cr, 4, 10, 3.4);
    fillRadial(cr, {255, 160, 200}, {200, 20, 90}, 3, 9, 4);
    stroke(cr, {80, 0, 40}, 1.0);
    cairo_rectangle(cr, 3.5, 4.5, 1, 2.5);
    setRgb(cr, {220, 220, 220});
    cairo_fill(cr);
    cairo_rectangle(cr, 3, 2.5, 2, 2);
    setRgb(cr, {255, 230, 60});
    cairo_fill(cr);
}

} // namespace

Indexed hudSheet() {
    namespace sheet = tolvane::sheet;
    Canvas canvas = sheetCanvas(sheet::kHudSheet);
    cairo_t* cr = canvas.cr();
    inCell(cr, sheet::kGaugeBar, gaugeBar);
    inCell(cr, sheet::kSphere, sphere);
    for (int f = 0; f < sheet::kSpeedRingFrames; ++f)
        inCell(cr, sheet::kSpeedRing.next(f), [f](cairo_t* c) { speedRing(c, f); });
    for (int a = 0; a < sheet::kSparkFrames; ++a)
        inCell(cr, sheet::kSpark.next(a), [a](cairo_t* c) { spark(c, a); });
    for (int f = 0; f < sheet::kWreckFrames; ++f)
        inCell(cr, sheet::kWreck.next(f), [f](cairo_t* c) { wreck(c, f); });
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c)
            inCell(cr, sheet::kArrow.next(c).below(r), [r, c](cairo_t* cc) { arrow(cc, 60 * r + 10 * c); });
    inCell(cr, sheet::kMarkerDisc, markerDisc);
    inCell(cr, sheet::kBombMark, bombMark);

    // Lettering last, pixel by pixel: digits sit on rows 2..12 of their cells,
    // the letters share that baseline.
    for (int d = 0; d < 10; ++d) drawDigit(canvas, sheet::kDigit.next(d).x + 2, 2, d, kDigits);
    const int letterTop = 2 + kDigitHeight - kLetterHeight;
    auto label = [&](const sheet::Cell& c, const char* word) {
        drawWord(canvas, c.x + 1, c.y + letterTop, word, kLabel);
    };
    label(sheet::kLevelLabel, "LV");
    label(sheet::kContactLabel, "CHAIN");
    label(sheet::kMaxLabel, "MAX");
    label(sheet::kAllLabel, "ALL");
    label(sheet::kBonusLabel, "BONUS");
    label(sheet::kBombLabel, "B");
    label(sheet::kScoreLabel, "SCORE");
    label(sheet::kTimeLabel, "TIME");
    return quantise(canvas, gamePalette(), kHudKeyIndex, kKeyClearance);
}

} // namespace art
