// Pictures for the game's sheets: cairo canvases to draw on, and the indexed
// images (with their colour tables) that the game embeds as BMP files.
#pragma once
#include <cairo.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace art {

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

using Palette = std::vector<Rgb>;

double colourDistance(Rgb a, Rgb b);

// An ARGB drawing surface. Art is drawn with cairo onto a transparent canvas and
// then reduced to an indexed image.
class Canvas {
  public:
    Canvas(int w, int h);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return w_; }
    int height() const { return h_; }
    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }

    // Colour and coverage (0..255) of a pixel, colour un-premultiplied.
    Rgb pixel(int x, int y, int* alpha = nullptr) const;
    void setPixel(int x, int y, Rgb c, int alpha = 255);

    // Draws another canvas onto this one at (x, y).
    void paste(const Canvas& other, double x, double y);
    void savePng(const std::string& path) const;

  private:
    int w_, h_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

struct Indexed {
    int width = 0, height = 0;
    int bits = 8;                // 1, 4 or 8 bits per pixel when stored
    Palette palette;             // 2, 16 or 256 entries
    std::vector<uint8_t> pixels; // row-major, top row first

    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Reduces a canvas to palette indices. A pixel whose coverage is below one half
// becomes keyIndex (the transparent colour of the sheet); every other pixel takes
// the nearest palette colour that lies further than keyClearance from the key,
// so no sprite carries a fringe of near-key colour. With keyIndex < 0 the canvas
// is laid over black and every palette entry may be used. With dither an ordered
// 4x4 dither softens gradients.
Indexed quantise(const Canvas& canvas, const Palette& palette, int keyIndex, double keyClearance,
                 bool dither = false);

// A complete Windows BMP file (file header, info header, colour table, bottom-up rows).
std::vector<uint8_t> bmpFile(const Indexed& image);
// A device-independent bitmap without the file header.
std::vector<uint8_t> dibBytes(const Indexed& image);

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Drawing helpers shared by the sheets.
void setRgb(cairo_t* cr, Rgb c, double alpha = 1.0);
Rgb mix(Rgb a, Rgb b, double t);
Rgb hsv(double hueDegrees, double s, double v);
void addStop(cairo_pattern_t* p, double offset, Rgb c, double alpha = 1.0);

// A colour stop of a gradient.
struct Stop {
    double offset;
    Rgb colour;
    double alpha = 1.0;
};
// Gives the gradient `p` its stops and makes it the source of `cr`, which keeps it
// alive from then on; the caller fills or paints.
void useGradient(cairo_t* cr, cairo_pattern_t* p, std::initializer_list<Stop> stops);

} // namespace art
