// The drawing library of the web build: the surfaces are plain pixel buffers, drawn
// with the same pixel routines as the native surfaces (media/pixels.h), so a frame
// comes out pixel for pixel as the window shows it. The sheets come decoded from the
// generated assets; the window's own drawing is kept and drawn over the picture at
// DTUpdate. With pictures off (the default) nothing draws at all, as the native Null
// backend: the simulation alone, at full speed.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "media/dtools.h"
#include "media/pixels.h"
#include "resources/embedded.h"
#include "web/assets.h"
#include "web/media_web.h"

namespace {

namespace px = media::pixels;

constexpr int kSurfaces = 9; // 0 back buffer, 1..8 sheets
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kMaxFormOps = 4096;

struct FormOp {
    enum Kind : std::uint8_t { Point, Line, Circle } kind;
    double x0, y0, x1, y1; // Circle: centre (x0, y0), radius x1
};

struct Surface {
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    px::View view() { return {pixels.empty() ? nullptr : pixels.data(), w, h, w}; }
    void make(int width, int height) {
        w = width;
        h = height;
        pixels.assign(static_cast<std::size_t>(w) * h, px::kOpaque);
    }
};

struct State {
    bool pictures = false; // pixel work at all
    bool composing = true; // this frame will be shown
    bool unseen = false;   // a rival's frame: nothing drawn at all
    bool composingBeforeUnseen = true;
    std::array<Surface, kSurfaces> surfaces;
    std::array<std::uint32_t, kSurfaces> keys{};
    std::array<bool, kSurfaces> keyed{};
    Surface presented;               // the back buffer with the window's drawing over it
    Surface* shown = nullptr;        // the picture of the last update
    std::vector<std::uint32_t> rgba; // the shown picture as the page's canvas wants it
    std::array<FormOp, kMaxFormOps> formOps{};
    int formOpCount = 0;
    double penX = 0, penY = 0;
};

State g;

bool composing() { return g.pictures && g.composing && !g.unseen; }
void updateDrawing() { media::detail::drawing = composing(); }

px::View buffer(int n) { return n >= 0 && n < kSurfaces ? g.surfaces[n].view() : px::View{}; }

void addFormOp(const FormOp& op) {
    if (composing() && g.formOpCount < kMaxFormOps) g.formOps[g.formOpCount++] = op;
}

} // namespace

bool media::detail::drawing = false;

void DTInit(std::int32_t, HWND) {
    g.surfaces[0].make(kScreenW, kScreenH);
    g.shown = nullptr;
    g.formOpCount = 0;
}
void DTSetPaletteEntries(const std::uint8_t*, std::int32_t, std::int32_t) {} // true colour: nothing to do
void DTSetMemoryMode(std::int32_t) {}

// The web build's sheets are the decoded pictures of the assets, not bitmap files.
void DTCreateSprite(std::int32_t n, const Bitmap&, std::int32_t width, std::int32_t height) {
    if (n < 1 || n >= kSurfaces) return;
    Surface& s = g.surfaces[n];
    s.make(width < 1 ? 1 : width, height < 1 ? 1 : height);
    const web::assets::Sheet& a = web::assets::sheet(n);
    for (int y = 0; y < s.h && y < a.h; ++y)
        for (int x = 0; x < s.w && x < a.w; ++x)
            s.pixels[static_cast<std::size_t>(y) * s.w + x] =
                a.palette[a.pixels[static_cast<std::size_t>(y) * a.w + x]] | px::kOpaque;
}

void DTSetColorKey(std::int32_t n, std::int32_t key) {
    if (n < 0 || n >= kSurfaces || g.surfaces[n].pixels.empty()) return;
    g.keys[n] = key == -1 ? g.surfaces[n].pixels[0] : px::argbFromColorRef(key);
    g.keyed[n] = true;
}

void DTClear(std::int32_t n, std::int32_t colour, std::int32_t) {
    if (composing()) px::fill(buffer(n), px::argbFromColorRef(colour));
}

void media::detail::bitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, std::int32_t source, std::int32_t sourceX,
                           std::int32_t sourceY, std::int32_t mode) {
    if (!composing()) return;
    const bool keyed = mode == 0 && source > 0 && source < kSurfaces && g.keyed[source];
    px::copyRect(buffer(dest), x, y, width, height, buffer(source), sourceX, sourceY, keyed,
                 keyed ? g.keys[source] : 0);
}

void media::detail::stretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, std::int32_t source, std::int32_t sourceX,
                               std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                               std::int32_t) {
    if (!composing()) return;
    const bool keyed = source >= 0 && source < kSurfaces && g.keyed[source];
    px::stretchRect(buffer(dest), x, y, width, height, buffer(source), sourceX, sourceY, sourceWidth,
                    sourceHeight, keyed, keyed ? g.keys[source] : 0);
}

// The rival's ghost: as the native surfaces draw it, keyed by the sheet's top-left pixel.
void DTSilhouette(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t colour,
                  std::int32_t percent) {
    if (!composing() || source < 1 || source >= kSurfaces || dest < 0 || dest >= kSurfaces) return;
    const px::View to = buffer(dest), from = buffer(source);
    if (!to || !from || from.w < 1 || from.h < 1) return;
    const std::uint32_t rgb = px::argbFromColorRef(colour) & 0x00FFFFFFu;
    const int alpha = std::clamp(percent, 0, 100) * 256 / 100;
    px::blendSilhouette(to, x, y, width, height, from, sourceX, sourceY, from.row(0)[0], rgb, alpha);
}

HDC DTGetDC(std::int32_t n) { return n >= 0 && n < kSurfaces ? static_cast<HDC>(n + 1) : 0; }
void DTReleaseDC(std::int32_t, HDC) {}

void DTUpdate(std::int32_t) {
    Surface& back = g.surfaces[0];
    g.shown = &back;
    if (g.formOpCount == 0) return;
    if (g.presented.pixels.empty()) g.presented.make(kScreenW, kScreenH);
    g.presented.pixels = back.pixels;
    g.shown = &g.presented;
    const px::View v = g.presented.view();
    const std::uint32_t white = 0xFFFFFFFFu;
    for (int i = 0; i < g.formOpCount; ++i) {
        const FormOp& op = g.formOps[i];
        switch (op.kind) {
        case FormOp::Point: px::plot(v, static_cast<int>(op.x0), static_cast<int>(op.y0), white); break;
        case FormOp::Line: px::drawLine(v, op.x0, op.y0, op.x1, op.y1, white); break;
        case FormOp::Circle:
            px::drawCircle(v, static_cast<int>(op.x0), static_cast<int>(op.y0), static_cast<int>(op.x1),
                           white);
            break;
        }
    }
    g.formOpCount = 0;
}

void DTEnd() {}

void FormPSet(std::int32_t x, std::int32_t y) {
    g.penX = x;
    g.penY = y;
    addFormOp({FormOp::Point, double(x), double(y), 0, 0});
}

void FormLineStep(double dx, double dy) {
    double x1 = g.penX + dx, y1 = g.penY + dy;
    addFormOp({FormOp::Line, g.penX, g.penY, x1, y1});
    g.penX = x1;
    g.penY = y1;
}

void FormCircle(std::int32_t x, std::int32_t y, std::int32_t radius) {
    addFormOp({FormOp::Circle, double(x), double(y), double(radius), 0});
}

namespace media {
void setComposing(bool on) {
    g.composing = on;
    updateDrawing();
}
bool drawsPixels() { return composing(); }
bool drawLogging() { return false; }
void setUnseen(bool unseen) {
    if (g.unseen == unseen) return;
    if (unseen)
        g.composingBeforeUnseen = g.composing;
    else
        g.composing = g.composingBeforeUnseen;
    g.unseen = unseen;
    updateDrawing();
}
} // namespace media

namespace web {

void setPictures(bool on) {
    g.pictures = on;
    updateDrawing();
}

media::pixels::View backBuffer() { return buffer(0); }

const std::uint8_t* shownRgba() {
    if (!g.shown) return nullptr;
    // Made once, so the page may keep looking at the same bytes.
    if (g.rgba.empty()) g.rgba.resize(static_cast<std::size_t>(kScreenW) * kScreenH);
    std::uint32_t* o = g.rgba.data();
    // 0xAARRGGBB words to R, G, B, A bytes: little-endian words 0xAABBGGRR.
    for (std::uint32_t p : g.shown->pixels)
        *o++ = (0xFF00FF00u & (p | 0xFF000000u)) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
    return reinterpret_cast<const std::uint8_t*>(g.rgba.data());
}

} // namespace web

// The web build embeds no resource files: its pictures are the decoded assets above,
// its sounds are played by the page from the game's own wave files.
res::Blob res::find(std::string_view, int) { return {}; }
