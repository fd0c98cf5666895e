// The pixel work of the drawing library on plain 32-bit pixel buffers (0xAARRGGBB):
// rectangle copies with and without a key colour, stretched copies, and the window's
// points, lines and circles. The SDL surfaces of the native game and the buffers of the
// web build both draw through these, so that both give the very same pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace media::pixels {

// A picture: `pitch` pixels from one row to the next.
struct View {
    std::uint32_t* pixels = nullptr;
    int w = 0, h = 0, pitch = 0;
    explicit operator bool() const { return pixels != nullptr; }
    std::uint32_t* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }
};

constexpr std::uint32_t kOpaque = 0xFF000000u;

inline std::uint32_t argbFromColorRef(std::int32_t c) {
    auto v = static_cast<std::uint32_t>(c);
    return kOpaque | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

inline void fill(const View& s, std::uint32_t c) {
    // Plain stores: a streaming fill passes the cache by, and the frame's copies that
    // follow would then read the whole back buffer from memory again.
    for (int y = 0; y < s.h; ++y) std::fill(s.row(y), s.row(y) + s.w, c);
}

// Copies a rectangle, clipped to both pictures; keyed copies leave out the key colour.
inline void copyRect(const View& dst, int x, int y, int w, int h, const View& src, int sx, int sy, bool keyed,
                     std::uint32_t key) {
    if (!dst || !src || w <= 0 || h <= 0) return;
    // Clip against the source, then the destination, moving both rectangles together.
    auto clip = [&](int& pos, int& other, int& len, int limit) {
        if (pos < 0) {
            other -= pos;
            len += pos;
            pos = 0;
        }
        if (pos + len > limit) len = limit - pos;
    };
    clip(sx, x, w, src.w);
    clip(sy, y, h, src.h);
    clip(x, sx, w, dst.w);
    clip(y, sy, h, dst.h);
    if (w <= 0 || h <= 0) return;
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = src.row(sy + j) + sx;
        std::uint32_t* d = dst.row(y + j) + x;
        if (!keyed) {
            std::copy(s, s + w, d);
            continue;
        }
        // Written as a select on every pixel so that the compiler can vectorise it.
        for (int i = 0; i < w; ++i) {
            std::uint32_t p = s[i];
            d[i] = ((p ^ key) & 0x00FFFFFFu) != 0 ? p : d[i];
        }
    }
}

// A silhouette: every pixel of the source rectangle that is not the key colour puts
// colour `rgb` over the destination at `alpha` (0..256), clipped to both pictures.
inline void blendSilhouette(const View& dst, int x, int y, int w, int h, const View& src, int sx, int sy,
                            std::uint32_t key, std::uint32_t rgb, int alpha) {
    if (!dst || !src || w <= 0 || h <= 0 || alpha <= 0) return;
    alpha = std::min(alpha, 256);
    for (int j = 0; j < h; ++j) {
        const int syy = sy + j, dy = y + j;
        if (syy < 0 || syy >= src.h || dy < 0 || dy >= dst.h) continue;
        const std::uint32_t* s = src.row(syy);
        std::uint32_t* d = dst.row(dy);
        for (int i = 0; i < w; ++i) {
            const int sxx = sx + i, dx = x + i;
            if (sxx < 0 || sxx >= src.w || dx < 0 || dx >= dst.w) continue;
            if (((s[sxx] ^ key) & 0x00FFFFFFu) == 0) continue;
            const std::uint32_t p = d[dx];
            std::uint32_t out = kOpaque;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int under = static_cast<int>((p >> shift) & 0xFF);
                const int over = static_cast<int>((rgb >> shift) & 0xFF);
                out |= static_cast<std::uint32_t>(under + (((over - under) * alpha) >> 8)) << shift;
            }
            d[dx] = out;
        }
    }
}

// A source rectangle scaled into a destination rectangle, nearest pixel.
inline void stretchRect(const View& dst, int x, int y, int width, int height, const View& src, int sourceX,
                        int sourceY, int sourceWidth, int sourceHeight, bool keyed, std::uint32_t key) {
    if (!dst || !src || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    int x0 = std::max(0, x), x1 = std::min(dst.w, x + width);
    int y0 = std::max(0, y), y1 = std::min(dst.h, y + height);
    for (int dy = y0; dy < y1; ++dy) {
        int syy = sourceY + static_cast<int>(static_cast<std::int64_t>(dy - y) * sourceHeight / height);
        if (syy < 0 || syy >= src.h) continue;
        const std::uint32_t* s = src.row(syy);
        std::uint32_t* d = dst.row(dy);
        for (int dx = x0; dx < x1; ++dx) {
            int sxx = sourceX + static_cast<int>(static_cast<std::int64_t>(dx - x) * sourceWidth / width);
            if (sxx < 0 || sxx >= src.w) continue;
            std::uint32_t p = s[sxx];
            if (!keyed || ((p ^ key) & 0x00FFFFFFu) != 0) d[dx] = p;
        }
    }
}

inline void plot(const View& s, int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < s.w && y < s.h) s.row(y)[x] = c;
}

// Clips a segment to the picture (Liang-Barsky); false when nothing is left.
inline bool clipSegment(double& x0, double& y0, double& x1, double& y1, int w, int h) {
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + 0.5, w - 0.5 - x0, y0 + 0.5, h - 0.5 - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = x0 + t0 * dx;
    y0 = y0 + t0 * dy;
    return true;
}

inline void drawLine(const View& s, double fx0, double fy0, double fx1, double fy1, std::uint32_t c) {
    if (!clipSegment(fx0, fy0, fx1, fy1, s.w, s.h)) return;
    int x0 = static_cast<int>(std::lround(fx0)), y0 = static_cast<int>(std::lround(fy0));
    int x1 = static_cast<int>(std::lround(fx1)), y1 = static_cast<int>(std::lround(fy1));
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        plot(s, x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

inline void drawCircle(const View& s, int cx, int cy, int r, std::uint32_t c) {
    if (r < 0) return;
    // Nothing to draw when the whole circle lies off the picture.
    if (cx + r < 0 || cy + r < 0 || cx - r >= s.w || cy - r >= s.h) return;
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (auto& p : pts) plot(s, cx + p[0], cy + p[1], c);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

// One glyph's coverage (0..255 a pixel) drawn in `ink` at (x, y): full coverage
// stores the ink, partial coverage mixes it with what is there.
inline std::uint32_t mix(std::uint32_t under, std::uint32_t over, std::uint32_t alpha) {
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        out |= ((a * (255 - alpha) + b * alpha) / 255) << shift;
    }
    return out;
}

} // namespace media::pixels
