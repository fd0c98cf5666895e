// Vector-drawing helpers for the sprites.
#include "draw.h"

#include <cmath>

namespace art {

void polygon(cairo_t* cr, const std::vector<Pt>& pts) {
    cairo_new_path(cr);
    closedPath(cr, static_cast<int>(pts.size()), [&](int k) { return pts[k]; });
}

void mirrored(cairo_t* cr, double cx, const std::vector<Pt>& rightHalf) {
    std::vector<Pt> pts;
    for (const Pt& p : rightHalf) pts.push_back({cx + p.x, p.y});
    for (auto it = rightHalf.rbegin(); it != rightHalf.rend(); ++it)
        if (it->x != 0) pts.push_back({cx - it->x, it->y});
    polygon(cr, pts);
}

void fillGradient(cairo_t* cr, Rgb light, Rgb dark, double x0, double y0, double x1, double y1) {
    useGradient(cr, cairo_pattern_create_linear(x0, y0, x1, y1), {{0, light}, {1, dark}});
    cairo_fill_preserve(cr);
}

void fillRadial(cairo_t* cr, Rgb centre, Rgb edge, double cx, double cy, double r) {
    useGradient(cr, cairo_pattern_create_radial(cx, cy, 0, cx, cy, r), {{0, centre}, {1, edge}});
    cairo_fill_preserve(cr);
}

void stroke(cairo_t* cr, Rgb colour, double width) {
    setRgb(cr, colour);
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void disc(cairo_t* cr, double cx, double cy, double r) {
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    cairo_close_path(cr);
}

void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry) {
    cairo_new_path(cr);
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    cairo_close_path(cr);
}

void glow(cairo_t* cr, double cx, double cy, double r, Rgb colour, double alpha) {
    useGradient(cr, cairo_pattern_create_radial(cx, cy, 0, cx, cy, r), {{0, colour, alpha}, {1, colour, 0}});
    disc(cr, cx, cy, r);
    cairo_fill(cr);
}

void rimLight(cairo_t* cr, Rgb colour, double width, double dx, double dy) {
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_translate(cr, dx, dy);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    setRgb(cr, colour);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
    cairo_restore(cr);
    cairo_new_path(cr);
}

} // namespace art
