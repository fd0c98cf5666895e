// Small vector-drawing vocabulary for the sprites: symmetric hulls, shaded
// fills, outlines and glows, all on a cairo context.
#pragma once
#include "image.h"
#include "presentation/sheets.h"

#include <initializer_list>
#include <vector>

namespace art {

struct Pt {
    double x, y;
};

// Adds a closed path through n points, point(k) for k = 0 .. n - 1, to the current path.
template <typename F> void closedPath(cairo_t* cr, int n, F point) {
    for (int k = 0; k < n; ++k) {
        const Pt p = point(k);
        if (k == 0)
            cairo_move_to(cr, p.x, p.y);
        else
            cairo_line_to(cr, p.x, p.y);
    }
    cairo_close_path(cr);
}

// Path through the points, closed.
void polygon(cairo_t* cr, const std::vector<Pt>& pts);
// Closed path symmetric about x = cx: the given points describe the right half
// (x as an offset from cx) from top to bottom; the left half mirrors them.
void mirrored(cairo_t* cr, double cx, const std::vector<Pt>& rightHalf);
// Fills the current path with a gradient from light (at (x0, y0)) to dark (at
// (x1, y1)) and keeps the path.
void fillGradient(cairo_t* cr, Rgb light, Rgb dark, double x0, double y0, double x1, double y1);
// Fills the current path with a radial gradient and keeps the path.
void fillRadial(cairo_t* cr, Rgb centre, Rgb edge, double cx, double cy, double r);
// Strokes the current path and clears it.
void stroke(cairo_t* cr, Rgb colour, double width);
void disc(cairo_t* cr, double cx, double cy, double r);
void ellipse(cairo_t* cr, double cx, double cy, double rx, double ry);
// A soft glow: a disc fading from the centre colour to transparent.
void glow(cairo_t* cr, double cx, double cy, double r, Rgb colour, double alpha = 1.0);
// Light edge along the top-left of the current path (clipped to it), a rim that
// lifts dark hulls off a black background. Clears the path.
void rimLight(cairo_t* cr, Rgb colour, double width, double dx, double dy);

// Draws into one cell of a sheet: `draw` sees the cell's own coordinates and cannot
// paint outside it.
template <typename F> void inCell(cairo_t* cr, double x, double y, double w, double h, F draw) {
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    draw(cr);
    cairo_restore(cr);
}
template <typename F> void inCell(cairo_t* cr, const tolvane::sheet::Cell& c, F draw) {
    inCell(cr, c.x, c.y, c.width, c.height, draw);
}
// A canvas of the size of a sheet's picture.
inline Canvas sheetCanvas(int surface) {
    return Canvas(tolvane::sheet::kSurfaceSize[surface].width, tolvane::sheet::kSurfaceSize[surface].height);
}

} // namespace art
