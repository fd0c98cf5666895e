// The drawing backends that do pixel work: the surfaces are SDL software surfaces, so a
// frame is composed the same way with or without a window. With a window (the Window
// backend) every update presents the picture there; without one (Offscreen) it is only
// kept, for the pictures the headless tool writes and the tests read.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "media/draw_device.h"
#include "media/pixels.h"
#include "media/present.h"
#include "media/window_renderer.h"

namespace media::detail {
namespace {

constexpr int kSurfaces = 9; // 0 back buffer, 1..8 sheets
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
using pixels::kOpaque;
constexpr int kMaxFormOps = 4096;

SDL_Surface* newSurface(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s) SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    return s;
}

std::uint32_t* row(SDL_Surface* s, int y) {
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
}

using pixels::argbFromColorRef;

pixels::View view(SDL_Surface* s) {
    if (!s) return {};
    return {static_cast<std::uint32_t*>(s->pixels), s->w, s->h, s->pitch / 4};
}

void copyRect(SDL_Surface* dst, int x, int y, int w, int h, SDL_Surface* src, int sx, int sy, bool keyed,
              std::uint32_t key) {
    pixels::copyRect(view(dst), x, y, w, h, view(src), sx, sy, keyed, key);
}

class SurfaceDevice final : public DrawDevice {
  public:
    void init(HWND window) override {
        end();
        surfaces_[0] = newSurface(kScreenW, kScreenH);
        if (!window) return;
        window_ = window;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        // Cheapest: scaled straight into the window's own pixels (X11's shared memory), no
        // renderer at all, unless SDL_RENDER_DRIVER asks for one or the window has none.
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
        windowSurface_ = useWindowSurface(window);
        if (windowSurface_) return;
        renderer_ = createWindowRenderer(window);
        if (!renderer_) {
            std::fprintf(stderr, "tolvane: cannot draw in the window: %s\n", SDL_GetError());
            return;
        }
        // The format of the window's own pixels (no alpha), so that the renderer copies
        // and scales without converting; where it is placed, see presentPicture.
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kScreenW,
                                     kScreenH);
    }

    void end() override {
        for (auto& s : surfaces_) {
            SDL_FreeSurface(s);
            s = nullptr;
        }
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        texture_ = nullptr;
        renderer_ = nullptr;
        window_ = nullptr;
        windowSurface_ = false;
        shown_ = nullptr;
        formOpCount_ = 0;
    }

    void createSprite(int n, const Bitmap& bitmap, int width, int height) override {
        if (n < 1 || n >= kSurfaces) return;
        SDL_FreeSurface(surfaces_[n]);
        surfaces_[n] = newSurface(std::max(1, width), std::max(1, height));
        if (!surfaces_[n] || !bitmap.data) return;
        SDL_Surface* loaded =
            SDL_LoadBMP_RW(SDL_RWFromConstMem(bitmap.data, static_cast<int>(bitmap.size)), 1);
        if (!loaded) {
            std::fprintf(stderr, "tolvane: picture %d cannot be read: %s\n", n - 1, SDL_GetError());
            return;
        }
        SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(loaded);
        if (!converted) return;
        copyRect(surfaces_[n], 0, 0, width, height, converted, 0, 0, false, 0);
        SDL_FreeSurface(converted);
        // Pictures carry no transparency of their own.
        SDL_Surface* s = surfaces_[n];
        for (int y = 0; y < s->h; ++y) {
            std::uint32_t* r = row(s, y);
            for (int x = 0; x < s->w; ++x) r[x] |= kOpaque;
        }
    }

    void setColorKey(int n, std::int32_t key) override {
        SDL_Surface* s = surface(n);
        if (!s) return;
        // -1: the key colour is the colour of the top-left pixel.
        keys_[n] = key == -1 ? row(s, 0)[0] : argbFromColorRef(key);
        keyed_[n] = true;
    }

    void clear(int n, std::int32_t colour) override {
        if (SDL_Surface* s = surface(n)) pixels::fill(view(s), argbFromColorRef(colour));
    }

    void bitBlt(int dest, int x, int y, int width, int height, int source, int sourceX, int sourceY,
                int mode) override {
        bool keyed = mode == 0 && source > 0 && source < kSurfaces && keyed_[source];
        copyRect(surface(dest), x, y, width, height, surface(source), sourceX, sourceY, keyed,
                 keyed ? keys_[source] : 0);
    }

    void stretchBlt(int dest, int x, int y, int width, int height, int source, int sourceX, int sourceY,
                    int sourceWidth, int sourceHeight, int) override {
        const bool keyed = source >= 0 && source < kSurfaces && keyed_[source];
        pixels::stretchRect(view(surface(dest)), x, y, width, height, view(surface(source)), sourceX, sourceY,
                            sourceWidth, sourceHeight, keyed, keyed ? keys_[source] : 0);
    }

    void addFormOp(const FormOp& op) override {
        if (formOpCount_ < kMaxFormOps) formOps_[formOpCount_++] = op;
    }

    void update() override {
        composePresented();
        present();
    }

    void presentAgain() override {
        if (window_) present();
    }

    SDL_Surface* surface(int n) override { return n >= 0 && n < kSurfaces ? surfaces_[n] : nullptr; }
    SDL_Surface* shown() override { return shown_; }
    std::string rendererName() override {
        return windowSurface_ ? "window surface" : media::rendererName(renderer_);
    }

  private:
    // The picture the window shows: the back buffer with the window's own drawing on top.
    // Without such drawing (most frames) it is the back buffer itself, not a copy: it stays
    // as it is until a frame is composed again, and everything that reads it (the window,
    // a screenshot, a paused window shown again) does so before then.
    void composePresented() {
        SDL_Surface* back = surfaces_[0];
        shown_ = back;
        if (!back || formOpCount_ == 0) return;
        if (!presented_) presented_ = newSurface(kScreenW, kScreenH);
        if (!presented_) return;
        shown_ = presented_;
        copyRect(presented_, 0, 0, kScreenW, kScreenH, back, 0, 0, false, 0);
        const std::uint32_t white = 0xFFFFFFFFu;
        for (int i = 0; i < formOpCount_; ++i) {
            const FormOp& op = formOps_[i];
            switch (op.kind) {
            case FormOp::Point:
                pixels::plot(view(presented_), static_cast<int>(op.x0), static_cast<int>(op.y0), white);
                break;
            case FormOp::Line: pixels::drawLine(view(presented_), op.x0, op.y0, op.x1, op.y1, white); break;
            case FormOp::Circle:
                pixels::drawCircle(view(presented_), static_cast<int>(op.x0), static_cast<int>(op.y0),
                                   static_cast<int>(op.x1), white);
                break;
            }
        }
        formOpCount_ = 0;
    }

    void present() {
        if (windowSurface_)
            presentToWindowSurface(window_, shown_);
        else
            presentPicture(renderer_, texture_, shown_);
    }

    std::array<SDL_Surface*, kSurfaces> surfaces_{};
    std::array<std::uint32_t, kSurfaces> keys_{};
    std::array<bool, kSurfaces> keyed_{};
    SDL_Surface* presented_ = nullptr; // the back buffer with the window's drawing over it
    SDL_Surface* shown_ = nullptr;     // the picture of the last update: presented_, or surface 0
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool windowSurface_ = false; // presenting into the window's own pixels, no renderer
    std::array<FormOp, kMaxFormOps> formOps_{};
    int formOpCount_ = 0;
};

} // namespace

DrawDevice& surfaceDevice() {
    static SurfaceDevice device;
    return device;
}

} // namespace media::detail

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

} // namespace media
