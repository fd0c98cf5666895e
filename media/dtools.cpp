#include "media/dtools.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "media/png_writer.h"
#include "media/present.h"
#include "media/window_renderer.h"

namespace {

constexpr int kSurfaces = 9; // 0 back buffer, 1..8 sheets
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr std::uint32_t kOpaque = 0xFF000000u;

// One piece of the window's own drawing, kept until the frame is presented.
struct FormOp {
    enum Kind : std::uint8_t { Point, Line, Circle } kind;
    double x0, y0, x1, y1; // Circle: centre (x0, y0), radius x1
};
constexpr int kMaxFormOps = 4096;

struct DrawState {
    media::DrawBackend backend = media::DrawBackend::Null;
    std::array<SDL_Surface*, kSurfaces> surfaces{};
    std::array<std::uint32_t, kSurfaces> keys{};
    std::array<bool, kSurfaces> keyed{};
    SDL_Surface* presented = nullptr; // the back buffer with the window's drawing over it
    SDL_Surface* shown = nullptr;     // the picture of the last DTUpdate: presented, or surface 0
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::array<FormOp, kMaxFormOps> formOps{};
    int formOpCount = 0;
    bool composing = true;
    bool logging = false;
    std::vector<media::DrawCall> log;
    bool windowSurface = false; // presenting into the window's own pixels, no renderer
};

DrawState g;

// The window's pen. The game moves it even when nothing is drawn, so every thread has
// its own: headless games simulated side by side must not share it. Everything else
// above is set up once, before any game runs, and only read while games run headless.
thread_local double penX = 0, penY = 0;

bool pixelWork() { return g.backend != media::DrawBackend::Null; }
// Pixel work into the back buffer: none headless, none for a frame nobody will see.
bool composing() { return pixelWork() && g.composing; }

void logCall(const char* name, std::initializer_list<std::int64_t> args) {
    if (g.logging) g.log.push_back({name, std::vector<std::int64_t>(args)});
}

SDL_Surface* newSurface(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s) SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    return s;
}

std::uint32_t* row(SDL_Surface* s, int y) {
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
}

std::uint32_t argbFromColorRef(std::int32_t c) {
    auto v = static_cast<std::uint32_t>(c);
    return kOpaque | ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

SDL_Surface* get(int n) { return n >= 0 && n < kSurfaces ? g.surfaces[n] : nullptr; }

// Copies a rectangle, clipped to both surfaces; keyed copies leave out the key colour.
void copyRect(SDL_Surface* dst, int x, int y, int w, int h, SDL_Surface* src, int sx, int sy, bool keyed,
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
    clip(sx, x, w, src->w);
    clip(sy, y, h, src->h);
    clip(x, sx, w, dst->w);
    clip(y, sy, h, dst->h);
    if (w <= 0 || h <= 0) return;
    for (int j = 0; j < h; ++j) {
        const std::uint32_t* s = row(src, sy + j) + sx;
        std::uint32_t* d = row(dst, y + j) + x;
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

void plot(SDL_Surface* s, int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < s->w && y < s->h) row(s, y)[x] = c;
}

// Clips a segment to the surface (Liang-Barsky); false when nothing is left.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, int w, int h) {
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

void drawLine(SDL_Surface* s, double fx0, double fy0, double fx1, double fy1, std::uint32_t c) {
    if (!clipSegment(fx0, fy0, fx1, fy1, s->w, s->h)) return;
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

void drawCircle(SDL_Surface* s, int cx, int cy, int r, std::uint32_t c) {
    if (r < 0) return;
    // Nothing to draw when the whole circle lies off the surface.
    if (cx + r < 0 || cy + r < 0 || cx - r >= s->w || cy - r >= s->h) return;
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

void addFormOp(const FormOp& op) {
    if (!composing() || g.formOpCount >= kMaxFormOps) return;
    g.formOps[g.formOpCount++] = op;
}

// The picture the window shows: the back buffer with the window's own drawing on top.
// Without such drawing (most frames) it is the back buffer itself, not a copy: it stays
// as it is until a frame is composed again, and everything that reads it (the window,
// a screenshot, a paused window shown again) does so before then.
void composePresented() {
    SDL_Surface* back = g.surfaces[0];
    g.shown = back;
    if (!back || g.formOpCount == 0) return;
    if (!g.presented) g.presented = newSurface(kScreenW, kScreenH);
    if (!g.presented) return;
    g.shown = g.presented;
    copyRect(g.presented, 0, 0, kScreenW, kScreenH, back, 0, 0, false, 0);
    const std::uint32_t white = 0xFFFFFFFFu;
    for (int i = 0; i < g.formOpCount; ++i) {
        const FormOp& op = g.formOps[i];
        switch (op.kind) {
        case FormOp::Point: plot(g.presented, static_cast<int>(op.x0), static_cast<int>(op.y0), white); break;
        case FormOp::Line: drawLine(g.presented, op.x0, op.y0, op.x1, op.y1, white); break;
        case FormOp::Circle:
            drawCircle(g.presented, static_cast<int>(op.x0), static_cast<int>(op.y0), static_cast<int>(op.x1),
                       white);
            break;
        }
    }
    g.formOpCount = 0;
}

void present() {
    if (g.windowSurface)
        media::presentToWindowSurface(g.window, g.shown);
    else
        media::presentPicture(g.renderer, g.texture, g.shown);
}

void destroyAll() {
    for (auto& s : g.surfaces) {
        SDL_FreeSurface(s);
        s = nullptr;
    }
    if (g.texture) SDL_DestroyTexture(g.texture);
    if (g.renderer) SDL_DestroyRenderer(g.renderer);
    g.texture = nullptr;
    g.renderer = nullptr;
    g.window = nullptr;
    g.windowSurface = false;
    g.shown = nullptr;
    g.formOpCount = 0;
}

} // namespace

void DTInit(std::int32_t mode, HWND window) {
    logCall("DTInit", {mode});
    destroyAll();
    if (!pixelWork()) return;
    g.surfaces[0] = newSurface(kScreenW, kScreenH);
    if (g.backend != media::DrawBackend::Window || !window) return;
    g.window = window;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // Cheapest: scaled straight into the window's own pixels (X11's shared memory), no
    // renderer at all, unless SDL_RENDER_DRIVER asks for one or the window has none.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    g.windowSurface = media::useWindowSurface(window);
    if (g.windowSurface) return;
    g.renderer = media::createWindowRenderer(window);
    if (!g.renderer) {
        std::fprintf(stderr, "tolvane: cannot draw in the window: %s\n", SDL_GetError());
        return;
    }
    // The format of the window's own pixels (no alpha), so that the renderer copies
    // and scales without converting; where it is placed, see presentPicture.
    g.texture = SDL_CreateTexture(g.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenW,
                                  kScreenH);
}

void DTSetPaletteEntries(const std::uint8_t*, std::int32_t first, std::int32_t count) {
    // The surfaces hold true colour, so the sheets already carry their colours; the
    // palette changes nothing on screen.
    logCall("DTSetPaletteEntries", {first, count});
}

void DTSetMemoryMode(std::int32_t mode) { logCall("DTSetMemoryMode", {mode}); }

void DTCreateSprite(std::int32_t n, const Bitmap& bitmap, std::int32_t width, std::int32_t height) {
    logCall("DTCreateSprite", {n, width, height});
    if (!pixelWork() || n < 1 || n >= kSurfaces) return;
    SDL_FreeSurface(g.surfaces[n]);
    g.surfaces[n] = newSurface(std::max(1, width), std::max(1, height));
    if (!g.surfaces[n] || !bitmap.data) return;
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(bitmap.data, static_cast<int>(bitmap.size)), 1);
    if (!loaded) {
        std::fprintf(stderr, "tolvane: picture %d cannot be read: %s\n", n - 1, SDL_GetError());
        return;
    }
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!converted) return;
    copyRect(g.surfaces[n], 0, 0, width, height, converted, 0, 0, false, 0);
    SDL_FreeSurface(converted);
    // Pictures carry no transparency of their own.
    SDL_Surface* s = g.surfaces[n];
    for (int y = 0; y < s->h; ++y) {
        std::uint32_t* r = row(s, y);
        for (int x = 0; x < s->w; ++x) r[x] |= kOpaque;
    }
}

void DTSetColorKey(std::int32_t n, std::int32_t key) {
    logCall("DTSetColorKey", {n, key});
    SDL_Surface* s = get(n);
    if (!s) return;
    // -1: the key colour is the colour of the top-left pixel.
    g.keys[n] = key == -1 ? row(s, 0)[0] : argbFromColorRef(key);
    g.keyed[n] = true;
}

void DTClear(std::int32_t n, std::int32_t colour, std::int32_t flags) {
    logCall("DTClear", {n, colour, flags});
    // Plain stores: SDL_FillRect streams past the cache, and the frame's copies that
    // follow would then read the whole back buffer from memory again.
    if (SDL_Surface* s = get(n); s && composing()) {
        const std::uint32_t c = argbFromColorRef(colour);
        for (int y = 0; y < s->h; ++y) std::fill(row(s, y), row(s, y) + s->w, c);
    }
}

bool media::detail::drawing = false;

void media::detail::bitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, std::int32_t source, std::int32_t sourceX,
                           std::int32_t sourceY, std::int32_t mode) {
    if (g.logging) logCall("DTBitBlt", {dest, x, y, width, height, source, sourceX, sourceY, mode});
    if (!composing()) return;
    SDL_Surface* src = get(source);
    bool keyed = mode == 0 && source > 0 && source < kSurfaces && g.keyed[source];
    copyRect(get(dest), x, y, width, height, src, sourceX, sourceY, keyed, keyed ? g.keys[source] : 0);
}

void media::detail::stretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, std::int32_t source, std::int32_t sourceX,
                               std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                               std::int32_t mode) {
    if (g.logging) {
        logCall("DTStretchBlt",
                {dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, mode});
    }
    if (!composing()) return;
    SDL_Surface* dst = get(dest);
    SDL_Surface* src = get(source);
    if (!dst || !src || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    bool keyed = g.keyed[source];
    std::uint32_t key = g.keys[source];
    int x0 = std::max(0, x), x1 = std::min(dst->w, x + width);
    int y0 = std::max(0, y), y1 = std::min(dst->h, y + height);
    for (int dy = y0; dy < y1; ++dy) {
        int syy = sourceY + static_cast<int>(static_cast<std::int64_t>(dy - y) * sourceHeight / height);
        if (syy < 0 || syy >= src->h) continue;
        const std::uint32_t* s = row(src, syy);
        std::uint32_t* d = row(dst, dy);
        for (int dx = x0; dx < x1; ++dx) {
            int sxx = sourceX + static_cast<int>(static_cast<std::int64_t>(dx - x) * sourceWidth / width);
            if (sxx < 0 || sxx >= src->w) continue;
            std::uint32_t p = s[sxx];
            if (!keyed || ((p ^ key) & 0x00FFFFFFu) != 0) d[dx] = p;
        }
    }
}

HDC DTGetDC(std::int32_t n) {
    logCall("DTGetDC", {n});
    return n >= 0 && n < kSurfaces ? static_cast<HDC>(n + 1) : 0;
}

void DTReleaseDC(std::int32_t n, HDC dc) { logCall("DTReleaseDC", {n, static_cast<std::int64_t>(dc)}); }

void DTUpdate(std::int32_t n) {
    logCall("DTUpdate", {n});
    if (!pixelWork()) return;
    composePresented();
    present();
}

void DTEnd() {
    logCall("DTEnd", {});
    destroyAll();
}

void FormPSet(std::int32_t x, std::int32_t y) {
    penX = x;
    penY = y;
    addFormOp({FormOp::Point, double(x), double(y), 0, 0});
}

void FormLineStep(double dx, double dy) {
    double x1 = penX + dx, y1 = penY + dy;
    addFormOp({FormOp::Line, penX, penY, x1, y1});
    penX = x1;
    penY = y1;
}

void FormCircle(std::int32_t x, std::int32_t y, std::int32_t radius) {
    addFormOp({FormOp::Circle, double(x), double(y), double(radius), 0});
}

namespace media {

SDL_Renderer* createWindowRenderer(SDL_Window* window) {
    if (!window) return nullptr;
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // Never a framebuffer emulated through GL behind the software renderer: where the
    // window has no framebuffer of its own, a GL renderer is better used directly.
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    const char* asked = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (asked && *asked) {
        if (SDL_Renderer* r = SDL_CreateRenderer(window, -1, 0)) return r;
    }
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
        SDL_RendererInfo info{};
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && std::string(info.name) == "software") {
            if (SDL_Renderer* r = SDL_CreateRenderer(window, i, 0)) return r;
            break;
        }
    }
    return SDL_CreateRenderer(window, -1, 0);
}

std::string rendererName(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (!renderer || SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return "";
    return info.name;
}

std::string windowRendererName() { return g.windowSurface ? "window surface" : rendererName(g.renderer); }

void setDrawBackend(DrawBackend backend) {
    g.backend = backend;
    detail::drawing = composing() || g.logging;
}
DrawBackend drawBackend() { return g.backend; }
void setComposing(bool on) {
    // Written only when it changes: headless games run side by side all leave it on.
    if (g.composing == on) return;
    g.composing = on;
    detail::drawing = composing() || g.logging;
}
bool drawsPixels() { return composing(); }
SDL_Surface* surface(int n) { return get(n); }
SDL_Surface* presentedPicture() { return g.shown; }

void presentAgain() {
    if (g.backend == DrawBackend::Window) present();
}

bool savePresentedPng(const std::string& path) {
    if (!g.shown) return false;
    return writePng(path, static_cast<const std::uint32_t*>(g.shown->pixels), g.shown->w, g.shown->h,
                    g.shown->pitch / 4);
}

void setDrawLogging(bool on) {
    g.logging = on;
    g.log.clear();
    detail::drawing = composing() || g.logging;
}
bool drawLogging() { return g.logging; }
std::vector<DrawCall>& drawLog() { return g.log; }

} // namespace media
