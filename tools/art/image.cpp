// Canvas, colour reduction and BMP writing for the sheet generator.
#include "image.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace art {

double colourDistance(Rgb a, Rgb b) {
    const double dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return std::sqrt(dr * dr + dg * dg + db * db);
}

Canvas::Canvas(int w, int h) : w_(w), h_(h) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr_ = cairo_create(surface_);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

Rgb Canvas::pixel(int x, int y, int* alpha) const {
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    uint32_t v;
    std::copy_n(data + y * stride + x * 4, 4, reinterpret_cast<unsigned char*>(&v));
    const int a = v >> 24;
    if (alpha) *alpha = a;
    if (a == 0) return {0, 0, 0};
    auto un = [a](int c) { return std::min(255, (c * 255 + a / 2) / a); };
    return {un((v >> 16) & 255), un((v >> 8) & 255), un(v & 255)};
}

void Canvas::setPixel(int x, int y, Rgb c, int alpha) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    auto pre = [alpha](int v) { return static_cast<uint32_t>((v * alpha + 127) / 255); };
    const uint32_t v = (static_cast<uint32_t>(alpha) << 24) | (pre(c.r) << 16) | (pre(c.g) << 8) | pre(c.b);
    std::copy_n(reinterpret_cast<const unsigned char*>(&v), 4, data + y * stride + x * 4);
    cairo_surface_mark_dirty(surface_);
}

void Canvas::paste(const Canvas& other, double x, double y) {
    cairo_save(cr_);
    cairo_set_source_surface(cr_, other.surface_, x, y);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void Canvas::savePng(const std::string& path) const {
    cairo_surface_flush(surface_);
    if (cairo_surface_write_to_png(surface_, path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path);
}

namespace {

// Perceptual weighting of RGB differences ("redmean"), good enough to pick shades.
double weightedDistance(Rgb a, Rgb b) {
    const double rm = (a.r + b.r) / 2.0;
    const double dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return (2 + rm / 256) * dr * dr + 4 * dg * dg + (2 + (255 - rm) / 256) * db * db;
}

const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

} // namespace

Indexed quantise(const Canvas& canvas, const Palette& palette, int keyIndex, double keyClearance,
                 bool dither) {
    Indexed out;
    out.width = canvas.width();
    out.height = canvas.height();
    out.palette = palette;
    out.bits = palette.size() <= 2 ? 1 : palette.size() <= 16 ? 4 : 8;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);

    std::vector<int> usable;
    for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
        if (i == keyIndex) continue;
        if (keyIndex >= 0 && colourDistance(palette[i], palette[keyIndex]) <= keyClearance) continue;
        usable.push_back(i);
    }
    if (usable.empty()) throw std::runtime_error("palette has no colour away from the key");

    std::vector<std::pair<Rgb, int>> cache; // tiny memo for the common flat colours
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int alpha = 0;
            Rgb c = canvas.pixel(x, y, &alpha);
            uint8_t index;
            if (keyIndex >= 0 && alpha < 128) {
                index = static_cast<uint8_t>(keyIndex);
            } else {
                if (keyIndex < 0) c = mix({0, 0, 0}, c, alpha / 255.0);
                if (dither) {
                    const double d = (kBayer[y & 3][x & 3] - 7.5) * 1.6;
                    c = {std::clamp(static_cast<int>(c.r + d), 0, 255),
                         std::clamp(static_cast<int>(c.g + d), 0, 255),
                         std::clamp(static_cast<int>(c.b + d), 0, 255)};
                }
                int best = -1;
                for (auto& [col, idx] : cache)
                    if (col == c) best = idx;
                if (best < 0) {
                    double bestD = 1e300;
                    for (int i : usable) {
                        const double d = weightedDistance(c, palette[i]);
                        if (d < bestD) bestD = d, best = i;
                    }
                    cache.emplace_back(c, best);
                    if (cache.size() > 64) cache.erase(cache.begin());
                }
                index = static_cast<uint8_t>(best);
            }
            out.pixels[static_cast<size_t>(y) * out.width + x] = index;
        }
    }
    return out;
}

namespace {

void put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 255);
    v.push_back((x >> 8) & 255);
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, x & 0xffff);
    put16(v, x >> 16);
}

size_t rowBytes(const Indexed& image) {
    return ((static_cast<size_t>(image.width) * image.bits + 31) / 32) * 4;
}

std::vector<uint8_t> infoAndBits(const Indexed& image) {
    const size_t stride = rowBytes(image);
    const size_t colours = size_t{1} << image.bits;
    if (image.palette.size() > colours) throw std::runtime_error("palette too large for bit depth");
    std::vector<uint8_t> v;
    put32(v, 40);
    put32(v, image.width);
    put32(v, image.height); // positive: bottom-up rows
    put16(v, 1);
    put16(v, image.bits);
    put32(v, 0); // uncompressed
    put32(v, static_cast<uint32_t>(stride * image.height));
    put32(v, 2835); // 72 dpi
    put32(v, 2835);
    put32(v, static_cast<uint32_t>(colours));
    put32(v, 0);
    for (size_t i = 0; i < colours; ++i) {
        const Rgb c = i < image.palette.size() ? image.palette[i] : Rgb{};
        v.push_back(c.b);
        v.push_back(c.g);
        v.push_back(c.r);
        v.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            const int p = image.at(x, y);
            if (image.bits == 8) {
                row[x] = p;
            } else if (image.bits == 4) {
                row[x / 2] |= (x % 2 == 0) ? p << 4 : p;
            } else {
                if (p) row[x / 8] |= 0x80 >> (x % 8);
            }
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    return v;
}

} // namespace

std::vector<uint8_t> dibBytes(const Indexed& image) { return infoAndBits(image); }

std::vector<uint8_t> bmpFile(const Indexed& image) {
    const std::vector<uint8_t> body = infoAndBits(image);
    const size_t colours = size_t{1} << image.bits;
    std::vector<uint8_t> v;
    v.push_back('B');
    v.push_back('M');
    put32(v, static_cast<uint32_t>(14 + body.size()));
    put32(v, 0);
    put32(v, static_cast<uint32_t>(14 + 40 + 4 * colours));
    v.insert(v.end(), body.begin(), body.end());
    return v;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

void setRgb(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb hsv(double h, double s, double v) {
    h = std::fmod(std::fmod(h, 360.0) + 360.0, 360.0) / 60.0;
    const int i = static_cast<int>(h);
    const double f = h - i, p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r, g, b;
    switch (i) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
    auto c = [](double x) { return static_cast<int>(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
    return {c(r), c(g), c(b)};
}

void addStop(cairo_pattern_t* p, double offset, Rgb c, double alpha) {
    cairo_pattern_add_color_stop_rgba(p, offset, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void useGradient(cairo_t* cr, cairo_pattern_t* p, std::initializer_list<Stop> stops) {
    for (const Stop& s : stops) addStop(p, s.offset, s.colour, s.alpha);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
}

} // namespace art
