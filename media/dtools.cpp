// The drawing library's calls: each is logged when a test asks, and what draws goes to
// the device of the backend chosen at start-up (draw_device.h).
#include "media/dtools.h"

#include <SDL.h>

#include <algorithm>

#include "media/draw_device.h"
#include "media/pixels.h"
#include "media/png_writer.h"

namespace {

using media::detail::DrawDevice;
using media::detail::FormOp;

constexpr int kSurfaces = 9; // 0 back buffer, 1..8 sheets

// Set up once, before any game runs, and only read while games run headless.
struct DrawState {
    media::DrawBackend backend = media::DrawBackend::Null;
    DrawDevice* device = &media::detail::nullDevice();
    bool composing = true;
    bool logging = false;
    bool unseen = false;
    bool composingBeforeUnseen = true;
    std::vector<media::DrawCall> log;
};

DrawState g;

// The window's pen. The game moves it even when nothing is drawn, so every thread has
// its own: headless games simulated side by side must not share it.
thread_local double penX = 0, penY = 0;

DrawDevice& device() { return *g.device; }

// Pixel work into the back buffer: none headless, none for a frame nobody will see.
bool composing() { return g.backend != media::DrawBackend::Null && g.composing && !g.unseen; }

void updateDrawing() { media::detail::drawing = composing() || (g.logging && !g.unseen); }

void logCall(const char* name, std::initializer_list<std::int64_t> args) {
    if (g.logging && !g.unseen) g.log.push_back({name, std::vector<std::int64_t>(args)});
}

void addFormOp(const FormOp& op) {
    if (composing()) device().addFormOp(op);
}

} // namespace

void DTInit(std::int32_t mode, HWND window) {
    logCall("DTInit", {mode});
    device().end();
    device().init(g.backend == media::DrawBackend::Window ? window : nullptr);
}

void DTSetPaletteEntries(const std::uint8_t*, std::int32_t first, std::int32_t count) {
    // The surfaces hold true colour, so the sheets already carry their colours; the
    // palette changes nothing on screen.
    logCall("DTSetPaletteEntries", {first, count});
}

void DTSetMemoryMode(std::int32_t mode) { logCall("DTSetMemoryMode", {mode}); }

void DTCreateSprite(std::int32_t n, const Bitmap& bitmap, std::int32_t width, std::int32_t height) {
    logCall("DTCreateSprite", {n, width, height});
    device().createSprite(n, bitmap, width, height);
}

void DTSetColorKey(std::int32_t n, std::int32_t key) {
    logCall("DTSetColorKey", {n, key});
    device().setColorKey(n, key);
}

void DTClear(std::int32_t n, std::int32_t colour, std::int32_t flags) {
    logCall("DTClear", {n, colour, flags});
    if (composing()) device().clear(n, colour);
}

bool media::detail::drawing = false;

void media::detail::bitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, std::int32_t source, std::int32_t sourceX,
                           std::int32_t sourceY, std::int32_t mode) {
    if (g.logging) logCall("DTBitBlt", {dest, x, y, width, height, source, sourceX, sourceY, mode});
    if (composing()) device().bitBlt(dest, x, y, width, height, source, sourceX, sourceY, mode);
}

void media::detail::stretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                               std::int32_t height, std::int32_t source, std::int32_t sourceX,
                               std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight,
                               std::int32_t mode) {
    if (g.logging) {
        logCall("DTStretchBlt",
                {dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, mode});
    }
    if (composing()) {
        device().stretchBlt(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                            mode);
    }
}

void DTSilhouette(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t colour,
                  std::int32_t percent) {
    logCall("DTSilhouette", {dest, x, y, width, height, source, sourceX, sourceY, colour, percent});
    if (!composing() || source < 1 || source >= kSurfaces || dest < 0 || dest >= kSurfaces) return;
    auto view = [](SDL_Surface* s) {
        return s ? media::pixels::View{static_cast<std::uint32_t*>(s->pixels), s->w, s->h, s->pitch / 4}
                 : media::pixels::View{};
    };
    const media::pixels::View to = view(device().surface(dest)), from = view(device().surface(source));
    if (!to || !from || from.w < 1 || from.h < 1) return;
    const std::uint32_t rgb = media::pixels::argbFromColorRef(colour) & 0x00FFFFFFu;
    const int alpha = std::clamp(percent, 0, 100) * 256 / 100;
    media::pixels::blendSilhouette(to, x, y, width, height, from, sourceX, sourceY, from.row(0)[0], rgb,
                                   alpha);
}

HDC DTGetDC(std::int32_t n) {
    logCall("DTGetDC", {n});
    return n >= 0 && n < kSurfaces ? static_cast<HDC>(n + 1) : 0;
}

void DTReleaseDC(std::int32_t n, HDC dc) { logCall("DTReleaseDC", {n, static_cast<std::int64_t>(dc)}); }

void DTUpdate(std::int32_t n) {
    logCall("DTUpdate", {n});
    device().update();
}

void DTEnd() {
    logCall("DTEnd", {});
    device().end();
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

std::string windowRendererName() { return device().rendererName(); }

void setDrawBackend(DrawBackend backend) {
    DrawDevice* next = backend == DrawBackend::Null ? &detail::nullDevice() : &detail::surfaceDevice();
    // The pictures of one backend are no use to another.
    if (next != g.device) g.device->end();
    g.backend = backend;
    g.device = next;
    updateDrawing();
}
DrawBackend drawBackend() { return g.backend; }
void setComposing(bool on) {
    // Written only when it changes: headless games run side by side all leave it on.
    if (g.composing == on) return;
    g.composing = on;
    updateDrawing();
}
bool drawsPixels() { return composing(); }
void setUnseen(bool unseen) {
    if (g.unseen == unseen) return;
    if (unseen)
        g.composingBeforeUnseen = g.composing;
    else
        g.composing = g.composingBeforeUnseen;
    g.unseen = unseen;
    updateDrawing();
}
SDL_Surface* surface(int n) { return device().surface(n); }
SDL_Surface* presentedPicture() { return device().shown(); }

void presentAgain() { device().presentAgain(); }

bool savePresentedPng(const std::string& path) {
    SDL_Surface* shown = device().shown();
    if (!shown) return false;
    return writePng(path, static_cast<const std::uint32_t*>(shown->pixels), shown->w, shown->h,
                    shown->pitch / 4);
}

void setDrawLogging(bool on) {
    g.logging = on;
    g.log.clear();
    updateDrawing();
}
bool drawLogging() { return g.logging; }
std::vector<DrawCall>& drawLog() { return g.log; }

} // namespace media
