// The object sheet: every enemy, boss and bullet of the game, each drawn to the
// size of its cell and facing down the screen, the way they fly in.
#include "draw.h"
#include "palette.h"
#include "sheets.h"

#include <cmath>

namespace art {

namespace {

const Rgb kWhite{255, 255, 255};

// Hull colours: a light tint, the full colour and a deep shade of one of the
// palette's hue ramps, so that the shading reduces to clean steps of one hue.
struct Paint {
    Rgb light, mid, dark, line;
};
const Paint kSteel{{200, 210, 230}, {128, 136, 166}, {58, 64, 94}, {24, 26, 44}};
const Paint kCrimson{hsv(0, 0.4, 1.0), hsv(0, 0.88, 0.88), hsv(0, 0.92, 0.4), hsv(0, 0.9, 0.2)};
const Paint kViolet{hsv(272, 0.4, 1.0), hsv(272, 0.85, 0.85), hsv(272, 0.92, 0.45), hsv(272, 0.9, 0.22)};
const Paint kOlive{hsv(80, 0.4, 0.92), hsv(80, 0.88, 0.72), hsv(80, 0.92, 0.34), hsv(80, 0.9, 0.16)};
const Paint kBronze{hsv(40, 0.4, 1.0), hsv(40, 0.88, 0.86), hsv(40, 0.92, 0.44), hsv(40, 0.9, 0.2)};

void paintHull(cairo_t* cr, const Paint& p, double x0, double y0, double x1, double y1, double line = 1.2) {
    useGradient(cr, cairo_pattern_create_linear(x0, y0, x1, y1), {{0, p.light}, {0.45, p.mid}, {1, p.dark}});
    cairo_fill_preserve(cr);
    stroke(cr, p.line, line);
}

// A glowing round light: halo, bright core, white centre.
void lamp(cairo_t* cr, double x, double y, double r, Rgb colour) {
    glow(cr, x, y, r * 2.0, colour, 0.55);
    disc(cr, x, y, r);
    fillRadial(cr, kWhite, colour, x - r * 0.3, y - r * 0.3, r * 1.1);
    cairo_new_path(cr);
}

// Hot exhaust pointing up the screen (the enemies fly downward): an orange
// flame around a white-hot core.
void flame(cairo_t* cr, double x, double y, double w, double len, Rgb base, Rgb tip) {
    cairo_new_path(cr);
    cairo_move_to(cr, x - w / 2, y);
    cairo_curve_to(cr, x - w / 2, y - len * 0.5, x - w * 0.1, y - len * 0.8, x, y - len);
    cairo_curve_to(cr, x + w * 0.1, y - len * 0.8, x + w / 2, y - len * 0.5, x + w / 2, y);
    cairo_close_path(cr);
    fillGradient(cr, base, tip, x, y, x, y - len);
    cairo_new_path(cr);
}

void exhaustUp(cairo_t* cr, double x, double y, double w, double len) {
    flame(cr, x, y + 1, w * 1.3, len * 1.4, {255, 170, 40}, {230, 50, 20});
    flame(cr, x, y + 1, w * 0.7, len * 0.9, {255, 255, 255}, {255, 230, 90});
}

void barrel(cairo_t* cr, double x, double y0, double y1, double w) {
    cairo_new_path(cr);
    cairo_rectangle(cr, x - w / 2, y0, w, y1 - y0);
    fillGradient(cr, {230, 232, 240}, {70, 74, 90}, x - w / 2, 0, x + w / 2, 0);
    stroke(cr, kSteel.line, 1.0);
    cairo_rectangle(cr, x - w / 2 - 0.5, y1 - 3, w + 1, 3);
    setRgb(cr, {40, 40, 56});
    cairo_fill(cr);
}

void panelLine(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb c, double w = 1.0) {
    cairo_new_path(cr);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    setRgb(cr, c);
    cairo_set_line_width(cr, w);
    cairo_stroke(cr);
}

void roundBullet(cairo_t* cr, int frame) {
    // 12x12, a pink orb whose four sparkles turn with the frame.
    glow(cr, 6, 6, 6.5, {255, 60, 140}, 0.6);
    disc(cr, 6, 6, 4.6);
    fillRadial(cr, kWhite, {255, 40, 120}, 5, 5, 5.0);
    stroke(cr, {130, 0, 60}, 0.9);
    for (int k = 0; k < 4; ++k) {
        const double a = (frame * 22.5 + k * 90) * M_PI / 180;
        disc(cr, 6 + std::cos(a) * 3.3, 6 + std::sin(a) * 3.3, 0.9);
        setRgb(cr, {255, 230, 250});
        cairo_fill(cr);
    }
    disc(cr, 6, 6, 1.6);
    setRgb(cr, kWhite);
    cairo_fill(cr);
}

void headingBullet(cairo_t* cr, int heading) {
    // 16x16 centred on (8, 8): a needle with a white-hot point, drawn pointing
    // along +y and then turned, so that heading 0 points down the screen, 90
    // left, 180 up and 270 right.
    cairo_save(cr);
    cairo_translate(cr, 8, 8);
    cairo_rotate(cr, heading * M_PI / 180);
    cairo_new_path(cr);
    cairo_move_to(cr, 0, 7.6);
    cairo_curve_to(cr, 1.6, 5.5, 3.3, 2.0, 3.2, -1.0);
    cairo_curve_to(cr, 3.1, -3.5, 2.0, -4.8, 0, -4.8);
    cairo_curve_to(cr, -2.0, -4.8, -3.1, -3.5, -3.2, -1.0);
    cairo_curve_to(cr, -3.3, 2.0, -1.6, 5.5, 0, 7.6);
    cairo_close_path(cr);
    fillGradient(cr, {210, 255, 255}, {30, 90, 255}, 0, 6, 0, -4.5);
    stroke(cr, {10, 30, 120}, 1.0);
    ellipse(cr, 0, 2.4, 1.4, 2.8);
    setRgb(cr, kWhite);
    cairo_fill(cr);
    cairo_restore(cr);
}

void laserSegment(cairo_t* cr) {
    // 32x32; identical top and bottom rows so the segments stack into one beam.
    for (int y = 0; y < 32; ++y) {
        const double wob = std::sin(y * 2 * M_PI / 32) * 1.2;
        const double halfGlow = 11 + wob, halfBeam = 6.5 - wob * 0.5, halfCore = 2.5;
        cairo_rectangle(cr, 16 - halfGlow, y, halfGlow * 2, 1);
        useGradient(cr, cairo_pattern_create_linear(16 - halfGlow, 0, 16 + halfGlow, 0),
                    {{0.0, {150, 40, 255}}, {0.5, {230, 170, 255}}, {1.0, {150, 40, 255}}});
        cairo_fill(cr);
        cairo_rectangle(cr, 16 - halfBeam, y, halfBeam * 2, 1);
        setRgb(cr, {240, 200, 255});
        cairo_fill(cr);
        cairo_rectangle(cr, 16 - halfCore, y, halfCore * 2, 1);
        setRgb(cr, kWhite);
        cairo_fill(cr);
    }
}

void largeShot(cairo_t* cr) {
    // 32x32 fireball with a spiked corona.
    glow(cr, 16, 16, 15.5, {255, 120, 0}, 0.8);
    cairo_new_path(cr);
    closedPath(cr, 16, [](int k) {
        const double a = k * M_PI / 8, r = (k % 2 == 0) ? 14.5 : 9.5;
        return Pt{16 + std::cos(a) * r, 16 + std::sin(a) * r};
    });
    fillRadial(cr, {255, 240, 120}, {255, 80, 0}, 16, 16, 14);
    stroke(cr, {150, 30, 0}, 1.0);
    disc(cr, 16, 16, 8.5);
    fillRadial(cr, kWhite, {255, 210, 60}, 14, 14, 9);
    stroke(cr, {220, 100, 0}, 1.0);
}

void smallFighter(cairo_t* cr) {
    // 48x48 interceptor, nose down.
    const double cx = 24;
    exhaustUp(cr, cx - 6, 9, 4, 8);
    exhaustUp(cr, cx + 6, 9, 4, 8);
    mirrored(cr, cx, {{0, 12}, {8, 14}, {21, 4}, {22, 9}, {16, 26}, {8, 34}, {0, 33}});
    paintHull(cr, kSteel, cx, 4, cx + 22, 34);
    mirrored(cr, cx, {{0, 12}, {8, 14}, {21, 4}, {22, 9}, {16, 26}, {8, 34}, {0, 33}});
    rimLight(cr, {240, 245, 255}, 1.4, 0, 1.2);
    panelLine(cr, cx + 10, 16, cx + 18, 9, {255, 70, 70}, 1.6);
    panelLine(cr, cx - 10, 16, cx - 18, 9, {255, 70, 70}, 1.6);
    mirrored(cr, cx, {{0, 6}, {4, 8}, {7, 18}, {6, 32}, {3, 41}, {0, 46}});
    paintHull(cr, kCrimson, cx - 4, 8, cx + 6, 44);
    lamp(cr, cx, 31, 3.0, {255, 210, 40});
    for (int side = -1; side <= 1; side += 2) {
        cairo_rectangle(cr, cx + side * 6 - 1.5, 8, 3, 3);
        setRgb(cr, {60, 60, 80});
        cairo_fill(cr);
    }
}

void twinGunEnemy(cairo_t* cr) {
    // 160x96 heavy gunship: guns 24 px either side of the centre, bullet ports
    // along the wings.
    const double cx = 80;
    for (int side = -1; side <= 1; side += 2) {
        exhaustUp(cr, cx + side * 12, 8, 7, 9);
        exhaustUp(cr, cx + side * 46, 26, 6, 10);
    }
    const std::vector<Pt> wing = {{0, 18}, {34, 22}, {78, 36}, {79, 50}, {62, 58}, {30, 64}, {0, 62}};
    mirrored(cr, cx, wing);
    paintHull(cr, kOlive, cx, 18, cx, 64, 1.4);
    mirrored(cr, cx, wing);
    rimLight(cr, {240, 250, 200}, 1.6, 0, 1.4);
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 3; ++k) {
            const double px = cx + side * (38 + 16 * k);
            cairo_rectangle(cr, px - 3, 50 - k * 2, 6, 7);
            fillGradient(cr, {90, 90, 110}, {20, 20, 34}, px, 50, px, 57);
            stroke(cr, kSteel.line, 0.8);
            lamp(cr, px, 54 - k * 2, 1.4, {255, 150, 40});
        }
        panelLine(cr, cx + side * 24, 30, cx + side * 74, 42, {110, 124, 50}, 1.2);
        barrel(cr, cx + side * 24, 56, 84, 6);
        // Gun housing.
        ellipse(cr, cx + side * 24, 52, 9, 8);
        paintHull(cr, kSteel, cx + side * 20, 44, cx + side * 28, 60);
    }
    mirrored(cr, cx, {{0, 2}, {12, 6}, {19, 20}, {20, 66}, {13, 84}, {0, 92}});
    paintHull(cr, kSteel, cx - 14, 2, cx + 20, 92, 1.4);
    mirrored(cr, cx, {{0, 2}, {12, 6}, {19, 20}, {20, 66}, {13, 84}, {0, 92}});
    rimLight(cr, kWhite, 1.5, 1.0, 1.2);
    panelLine(cr, cx - 14, 30, cx + 14, 30, {80, 86, 120});
    panelLine(cr, cx - 16, 50, cx + 16, 50, {80, 86, 120});
    ellipse(cr, cx, 72, 7, 11);
    fillGradient(cr, {200, 255, 255}, {0, 80, 160}, cx, 62, cx, 84);
    stroke(cr, {0, 30, 70}, 1.0);
    lamp(cr, cx, 40, 4.5, {255, 60, 40});
}

void twinShotEnemy(cairo_t* cr) {
    // 48x64 with two cannons 10 px either side of the centre.
    const double cx = 24;
    exhaustUp(cr, cx, 6, 6, 6);
    mirrored(cr, cx, {{0, 16}, {10, 18}, {22, 26}, {22, 36}, {10, 42}, {0, 42}});
    paintHull(cr, kViolet, cx, 16, cx, 42);
    for (int side = -1; side <= 1; side += 2) barrel(cr, cx + side * 10, 28, 58, 4.5);
    mirrored(cr, cx, {{0, 4}, {6, 6}, {8, 16}, {8, 44}, {5, 56}, {0, 60}});
    paintHull(cr, kSteel, cx - 5, 4, cx + 8, 60);
    mirrored(cr, cx, {{0, 4}, {6, 6}, {8, 16}, {8, 44}, {5, 56}, {0, 60}});
    rimLight(cr, kWhite, 1.3, 0.8, 1.0);
    lamp(cr, cx, 38, 3.2, {190, 80, 255});
    panelLine(cr, cx - 6, 22, cx + 6, 22, {90, 96, 130});
}

void ringEnemy(cairo_t* cr) {
    // 80x160: a tall carrier around a ring emitter at its centre.
    const double cx = 40, cy = 80;
    exhaustUp(cr, cx - 8, 14, 6, 12);
    exhaustUp(cr, cx + 8, 14, 6, 12);
    const std::vector<Pt> spine = {{0, 8}, {12, 14}, {16, 40}, {14, 120}, {8, 146}, {0, 156}};
    mirrored(cr, cx, spine);
    paintHull(cr, kSteel, cx - 10, 8, cx + 16, 156, 1.4);
    mirrored(cr, cx, spine);
    rimLight(cr, kWhite, 1.5, 1.0, 1.0);
    for (int side = -1; side <= 1; side += 2) {
        polygon(cr, {{cx + side * 14, 30}, {cx + side * 36, 48}, {cx + side * 38, 62}, {cx + side * 14, 58}});
        paintHull(cr, kCrimson, cx, 30, cx, 62);
        polygon(cr,
                {{cx + side * 14, 102}, {cx + side * 38, 98}, {cx + side * 36, 112}, {cx + side * 12, 130}});
        paintHull(cr, kCrimson, cx, 98, cx, 130);
    }
    disc(cr, cx, cy, 25);
    paintHull(cr, {{230, 235, 250}, {140, 146, 176}, {50, 56, 86}, {20, 22, 40}}, cx - 20, cy - 20, cx + 20,
              cy + 20, 1.5);
    disc(cr, cx, cy, 17);
    fillRadial(cr, {40, 20, 60}, {10, 6, 24}, cx, cy, 17);
    cairo_new_path(cr);
    for (int k = 0; k < 12; ++k) {
        const double a = k * M_PI / 6;
        lamp(cr, cx + std::cos(a) * 21, cy + std::sin(a) * 21, 1.6, {255, 90, 160});
    }
    lamp(cr, cx, cy, 8, {255, 40, 140});
    for (int k = 0; k < 3; ++k) panelLine(cr, cx - 10, 120 + k * 8, cx + 10, 120 + k * 8, {90, 96, 130});
}

void laserEnemy(cairo_t* cr) {
    // 80x160: the beam leaves a crystal lens at the centre, between two prongs.
    const double cx = 40, cy = 80;
    exhaustUp(cr, cx, 12, 10, 12);
    for (int side = -1; side <= 1; side += 2) {
        polygon(cr, {{cx + side * 10, 70},
                     {cx + side * 30, 84},
                     {cx + side * 26, 150},
                     {cx + side * 18, 156},
                     {cx + side * 14, 100}});
        paintHull(cr, kBronze, cx, 70, cx + side * 30, 156);
        polygon(cr, {{cx + side * 12, 30}, {cx + side * 38, 20}, {cx + side * 36, 44}, {cx + side * 14, 66}});
        paintHull(cr, kSteel, cx, 20, cx + side * 38, 66);
    }
    const std::vector<Pt> body = {{0, 10}, {10, 14}, {16, 34}, {16, 76}, {10, 98}, {0, 104}};
    mirrored(cr, cx, body);
    paintHull(cr, kSteel, cx - 10, 10, cx + 16, 104, 1.4);
    mirrored(cr, cx, body);
    rimLight(cr, kWhite, 1.5, 1.0, 1.0);
    glow(cr, cx, cy, 22, {200, 120, 255}, 0.7);
    mirrored(cr, cx, {{0, cy - 14}, {9, cy}, {0, cy + 16}});
    fillGradient(cr, kWhite, {150, 40, 255}, cx - 4, cy - 10, cx + 6, cy + 14);
    stroke(cr, {60, 10, 120}, 1.2);
    lamp(cr, cx, cy + 1, 3.5, {230, 180, 255});
    for (int k = 0; k < 4; ++k) panelLine(cr, cx - 9, 22 + k * 9, cx + 9, 22 + k * 9, {90, 96, 130});
}

void sideGunship(cairo_t* cr) {
    // 160x80: a wide gunship that slides in from the side; a turret with two
    // barrels sits at the centre.
    const double cx = 80, cy = 40;
    for (int side = -1; side <= 1; side += 2) {
        exhaustUp(cr, cx + side * 50, 14, 8, 12);
        const std::vector<Pt> wing = {{cx + side * 18, 12}, {cx + side * 70, 16}, {cx + side * 79, 26},
                                      {cx + side * 79, 56}, {cx + side * 66, 68}, {cx + side * 18, 68}};
        polygon(cr, wing);
        paintHull(cr, kCrimson, cx, 12, cx, 68, 1.4);
        polygon(cr, wing);
        rimLight(cr, {255, 200, 200}, 1.4, 0, 1.2);
        for (int k = 0; k < 3; ++k)
            panelLine(cr, cx + side * 22, 20 + k * 20, cx + side * 48, 20 + k * 20, {150, 30, 50}, 1.0);
        ellipse(cr, cx + side * 64, 40, 12, 16);
        paintHull(cr, kSteel, cx + side * 58, 26, cx + side * 68, 56);
        lamp(cr, cx + side * 64, 40, 3, {255, 180, 40});
        panelLine(cr, cx + side * 24, 38, cx + side * 50, 38, {130, 20, 40}, 1.4);
    }
    mirrored(cr, cx, {{0, 4}, {16, 8}, {22, 24}, {22, 58}, {14, 72}, {0, 76}});
    paintHull(cr, kSteel, cx - 16, 4, cx + 22, 76, 1.4);
    for (int side = -1; side <= 1; side += 2) barrel(cr, cx + side * 8, cy, 76, 5);
    disc(cr, cx, cy, 13);
    paintHull(cr, kSteel, cx - 8, cy - 10, cx + 10, cy + 12, 1.4);
    lamp(cr, cx, cy, 4.5, {255, 70, 40});
}

void firstBoss(cairo_t* cr) {
    // 160x240 battleship with its reactor at the centre.
    const double cx = 80, cy = 120;
    for (int side = -1; side <= 1; side += 2) {
        exhaustUp(cr, cx + side * 18, 14, 10, 13);
        exhaustUp(cr, cx + side * 52, 54, 8, 12);
    }
    const std::vector<Pt> outer = {{0, 12},   {30, 16},  {60, 56},  {78, 110}, {74, 150},
                                   {56, 176}, {40, 222}, {20, 236}, {0, 238}};
    mirrored(cr, cx, outer);
    paintHull(cr, kViolet, cx - 40, 12, cx + 78, 238, 1.6);
    mirrored(cr, cx, outer);
    rimLight(cr, {235, 210, 255}, 1.8, 0, 1.5);
    // Armour seams and running lights on the outer hull.
    cairo_save(cr);
    mirrored(cr, cx, outer);
    cairo_clip(cr);
    for (int k = 0; k < 9; ++k) {
        const double y = 40 + k * 20;
        panelLine(cr, 0, y, 160, y + 8, {60, 20, 110}, 1.0);
        panelLine(cr, 0, y + 1, 160, y + 9, {190, 150, 255}, 0.6);
    }
    cairo_restore(cr);
    for (int side = -1; side <= 1; side += 2)
        for (int k = 0; k < 5; ++k) lamp(cr, cx + side * (62 + k * 2.5), 70 + k * 16, 1.5, {120, 255, 200});
    // Engine nacelles high on both flanks.
    for (int side = -1; side <= 1; side += 2) {
        const double nx = cx + side * 46;
        exhaustUp(cr, nx, 30, 8, 12);
        ellipse(cr, nx, 48, 9, 22);
        paintHull(cr, kSteel, nx - 6, 28, nx + 8, 70, 1.3);
        ellipse(cr, nx, 48, 9, 22);
        rimLight(cr, kWhite, 1.4, side * 0.8, 1.0);
        for (int k = 0; k < 3; ++k) panelLine(cr, nx - 6, 40 + k * 8, nx + 6, 40 + k * 8, {80, 86, 120});
    }
    const std::vector<Pt> inner = {{0, 16}, {20, 24}, {32, 60}, {34, 170}, {22, 214}, {0, 228}};
    mirrored(cr, cx, inner);
    paintHull(cr, kSteel, cx - 20, 16, cx + 34, 228, 1.4);
    mirrored(cr, cx, inner);
    rimLight(cr, kWhite, 1.6, 1.0, 1.0);
    for (int k = 0; k < 6; ++k) {
        const double y = 40 + k * 10;
        panelLine(cr, cx - 20, y, cx + 20, y, {90, 96, 130});
    }
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 3; ++k) {
            const double tx = cx + side * (50 + k * 6), ty = 96 + k * 24;
            disc(cr, tx, ty, 7);
            paintHull(cr, kSteel, tx - 4, ty - 5, tx + 5, ty + 6);
            barrel(cr, tx, ty, ty + 14, 3.5);
            lamp(cr, tx, ty, 2, {255, 80, 60});
        }
        polygon(cr,
                {{cx + side * 34, 180}, {cx + side * 54, 176}, {cx + side * 44, 214}, {cx + side * 30, 214}});
        paintHull(cr, kCrimson, cx, 176, cx, 214);
    }
    disc(cr, cx, cy, 30);
    paintHull(cr, {{230, 235, 250}, {140, 146, 176}, {50, 56, 86}, {20, 22, 40}}, cx - 24, cy - 24, cx + 24,
              cy + 24, 1.6);
    glow(cr, cx, cy, 26, {255, 60, 200}, 0.9);
    disc(cr, cx, cy, 14);
    fillRadial(cr, kWhite, {255, 40, 170}, cx - 3, cy - 4, 15);
    stroke(cr, {110, 0, 70}, 1.4);
    ellipse(cr, cx, 196, 8, 14);
    fillGradient(cr, {200, 255, 255}, {0, 80, 160}, cx, 184, cx, 210);
    stroke(cr, {0, 30, 70}, 1.0);
}

void secondBoss(cairo_t* cr) {
    // 240x96 fortress; its two guns are 106 px either side of the centre and
    // 38 px above it, the bullet rings leave the core at the centre.
    const double cx = 120, cy = 48;
    const std::vector<Pt> hull = {{0, 14},   {40, 18}, {86, 4},  {118, 2}, {119, 22},
                                  {104, 46}, {84, 66}, {50, 78}, {24, 92}, {0, 94}};
    for (int side = -1; side <= 1; side += 2) exhaustUp(cr, cx + side * 60, 14, 10, 13);
    mirrored(cr, cx, hull);
    paintHull(cr, kBronze, cx, 2, cx, 94, 1.6);
    mirrored(cr, cx, hull);
    rimLight(cr, {255, 240, 200}, 1.8, 0, 1.5);
    mirrored(cr, cx, {{0, 20}, {30, 24}, {56, 40}, {40, 70}, {16, 84}, {0, 86}});
    paintHull(cr, kSteel, cx - 30, 20, cx + 56, 86, 1.4);
    for (int side = -1; side <= 1; side += 2) {
        const double gx = cx + side * 106, gy = cy - 38;
        disc(cr, gx, gy + 2, 11);
        paintHull(cr, kSteel, gx - 8, gy - 8, gx + 8, gy + 12, 1.4);
        barrel(cr, gx, gy + 2, gy + 24, 5);
        lamp(cr, gx, gy + 2, 3.5, {255, 200, 40});
        for (int k = 0; k < 4; ++k)
            panelLine(cr, cx + side * (62 + k * 10), 14 + k * 2, cx + side * (56 + k * 8), 46, {150, 90, 40});
    }
    disc(cr, cx, cy, 18);
    glow(cr, cx, cy, 22, {255, 140, 40}, 0.8);
    disc(cr, cx, cy, 12);
    fillRadial(cr, kWhite, {255, 110, 20}, cx - 3, cy - 3, 13);
    stroke(cr, {120, 40, 0}, 1.4);
}

void lastBoss(cairo_t* cr) {
    // 80x80: a spiked crystal shell around a watching eye.
    const double cx = 40, cy = 40;
    glow(cr, cx, cy, 39, {160, 60, 255}, 0.5);
    cairo_new_path(cr);
    closedPath(cr, 24, [&](int k) {
        const double a = k * M_PI / 12 + M_PI / 24, r = (k % 3 == 0) ? 38.5 : (k % 3 == 1 ? 24 : 28);
        return Pt{cx + std::cos(a) * r, cy + std::sin(a) * r};
    });
    fillRadial(cr, {240, 210, 255}, {60, 10, 120}, cx - 8, cy - 8, 40);
    stroke(cr, {30, 0, 60}, 1.4);
    disc(cr, cx, cy, 20);
    paintHull(cr, {{220, 220, 240}, {120, 116, 150}, {40, 36, 70}, {16, 10, 30}}, cx - 16, cy - 16, cx + 16,
              cy + 16, 1.5);
    ellipse(cr, cx, cy, 16, 10);
    fillRadial(cr, kWhite, {200, 190, 230}, cx - 4, cy - 3, 16);
    stroke(cr, {40, 10, 60}, 1.2);
    disc(cr, cx, cy + 1, 7.5);
    fillRadial(cr, {255, 140, 160}, {180, 0, 40}, cx, cy, 8);
    cairo_new_path(cr);
    disc(cr, cx, cy + 1, 3.2);
    setRgb(cr, {20, 0, 10});
    cairo_fill(cr);
    disc(cr, cx - 2.5, cy - 2, 1.6);
    setRgb(cr, kWhite);
    cairo_fill(cr);
}

} // namespace

Indexed objectSheet() {
    namespace sheet = tolvane::sheet;
    Canvas canvas = sheetCanvas(sheet::kObjectSheet);
    cairo_t* cr = canvas.cr();
    for (int f = 0; f < sheet::kRoundBulletFrames; ++f)
        inCell(cr, sheet::kRoundBullet.next(f), [f](cairo_t* c) { roundBullet(c, f); });
    inCell(cr, sheet::kSmallEnemy, smallFighter);
    inCell(cr, sheet::kTwinGunEnemy, twinGunEnemy);
    inCell(cr, sheet::kTwinShotEnemy, twinShotEnemy);
    inCell(cr, sheet::kSecondBoss, secondBoss);
    for (int a = 0; a < 360; ++a)
        inCell(cr, sheet::headingBullet(a), [a](cairo_t* c) { headingBullet(c, a); });
    inCell(cr, sheet::kRingEnemy, ringEnemy);
    inCell(cr, sheet::kFirstBoss, firstBoss);
    inCell(cr, sheet::kLaserEnemy, laserEnemy);
    inCell(cr, sheet::kLaserSegment, laserSegment);
    inCell(cr, sheet::kLargeShot, largeShot);
    inCell(cr, sheet::kGunship, sideGunship);
    inCell(cr, sheet::kLastBoss, lastBoss);
    return quantise(canvas, gamePalette(), kSpriteKeyIndex, kKeyClearance);
}

} // namespace art
