// What showing one frame in a real window costs, step by step, for a busy frame of the
// autoplay game in windows of several sizes (needs a display; bench/present.sh runs it
// under its own Xvfb):
//   BM_PresentAsBefore       the presentation as it was: SDL's software renderer, an
//                            ARGB texture, the logical size, the whole window cleared;
//                            counters: upload, clear, copy (scaling), present
//   BM_PresentWindowSurface  the default now: scaled straight into the window's pixels
//                            (third argument 1: with the playback panel over it)
//   BM_PresentRenderer       SDL_RENDER_DRIVER's renderer now (software, opengl, ...)
//   BM_EncodePng             the screenshot's PNG
//   BM_EndOfAWholeGame       End pressed at the first frame of a replay
// Times are wall-clock: they include the X server's share of the present.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "media/dtools.h"
#include "media/overlay.h"
#include "media/png_writer.h"
#include "media/present.h"
#include "presentation/presentation.h"
#include "session/harness.h"

namespace {

using Clock = std::chrono::steady_clock;

// The picture of frame 17100 of the autoplay game, composed once.
const SDL_Surface* busyPicture() {
    static const SDL_Surface* picture = [] {
        media::setDrawBackend(media::DrawBackend::Offscreen);
        DTInit(1, nullptr);
        tolvane::createSpriteSheets();
        static tolvane::Session game;
        std::string why;
        if (!game.startPlayback(std::string(TOLVANE_TEST_DATA) + "/autoplay.rep", &why))
            return (SDL_Surface*)nullptr;
        game.world().frameSkip = 1; // frames not shown are not composed
        while (game.nextFrame() < 17100) game.frame();
        game.world().frameSkip = 0;
        game.frame();
        DTUpdate(0);
        // A copy of its own: the presented picture is the back buffer, which later frames redraw.
        const SDL_Surface* shown = media::presentedPicture();
        return shown ? SDL_DuplicateSurface(const_cast<SDL_Surface*>(shown)) : nullptr;
    }();
    return picture;
}

bool videoReady(benchmark::State& state) {
    // As the game does: a window's own pixels are the X server's shared memory, never
    // a texture of a GL driver.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        state.SkipWithError("no display (run it under bench/present.sh)");
        return false;
    }
    if (!busyPicture()) {
        state.SkipWithError("the busy frame could not be composed");
        return false;
    }
    return true;
}

SDL_Window* openWindow(int w, int h) {
    SDL_Window* window = SDL_CreateWindow("present_bench", 0, 0, w, h, SDL_WINDOW_SHOWN);
    SDL_Event e;
    for (int i = 0; i < 20; ++i) {
        while (SDL_PollEvent(&e)) {
        }
        SDL_Delay(10);
    }
    return window;
}

double since(Clock::time_point t) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t).count();
}

void BM_PresentAsBefore(benchmark::State& state) {
    if (!videoReady(state)) return;
    const SDL_Surface* picture = busyPicture();
    SDL_Window* window = openWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_Renderer* r = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    SDL_RenderSetLogicalSize(r, 640, 480);
    SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, 640, 480);
    double upload = 0, clear = 0, copy = 0, present = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        SDL_UpdateTexture(t, nullptr, picture->pixels, picture->pitch);
        upload += since(t0);
        t0 = Clock::now();
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        SDL_RenderFlush(r);
        clear += since(t0);
        t0 = Clock::now();
        SDL_RenderCopy(r, t, nullptr, nullptr);
        SDL_RenderFlush(r);
        copy += since(t0);
        t0 = Clock::now();
        SDL_RenderPresent(r);
        present += since(t0);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["upload_us"] = upload / n;
    state.counters["clear_us"] = clear / n;
    state.counters["copy_us"] = copy / n;
    state.counters["present_us"] = present / n;
    SDL_DestroyTexture(t);
    SDL_DestroyRenderer(r);
    SDL_DestroyWindow(window);
}

// The window layer of a playback: the panel (a box, three lines, five lamps).
void describePanel() {
    media::overlayClear();
    media::overlayBox(452, 404, 184, 72, 0xB0000000u);
    media::overlayText(460, 408, "REPLAY", 16, 0xFFE040);
    media::overlayText(600, 408, "x1", 16, 0xFFFFFF);
    media::overlayText(460, 430, "frame 17100", 16, 0xFFFFFF);
    media::overlayText(460, 452, "\u25C0 \u25B2 \u25BC \u25B6 BOMB", 16, 0x505050);
}

void BM_PresentWindowSurface(benchmark::State& state) {
    if (!videoReady(state)) return;
    const SDL_Surface* picture = busyPicture();
    SDL_Window* window = openWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    unsetenv("SDL_RENDER_DRIVER");
    if (!media::useWindowSurface(window)) {
        state.SkipWithError("no window surface");
        SDL_DestroyWindow(window);
        return;
    }
    if (state.range(2)) describePanel();
    media::presentToWindowSurface(window, picture); // the bars, once
    for (auto _ : state) media::presentToWindowSurface(window, picture);
    media::overlayClear();
    SDL_DestroyWindow(window);
}

void BM_PresentRenderer(benchmark::State& state, const char* driver) {
    if (!videoReady(state)) return;
    const SDL_Surface* picture = busyPicture();
    SDL_Window* window = openWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, driver);
    SDL_Renderer* r = SDL_CreateRenderer(window, -1, 0);
    SDL_Texture* t =
        r ? SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, 640, 480) : nullptr;
    if (!t) {
        state.SkipWithError((std::string("no renderer: ") + SDL_GetError()).c_str());
    } else {
        for (auto _ : state) media::presentPicture(r, t, picture);
    }
    if (t) SDL_DestroyTexture(t);
    if (r) SDL_DestroyRenderer(r);
    SDL_DestroyWindow(window);
}

void BM_EncodePng(benchmark::State& state) {
    const SDL_Surface* p = busyPicture();
    if (!p) {
        state.SkipWithError("the busy frame could not be composed");
        return;
    }
    std::string png;
    for (auto _ : state) {
        media::encodePng(png, static_cast<const std::uint32_t*>(p->pixels), p->w, p->h, p->pitch / 4);
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = static_cast<double>(png.size());
}

// End in playback from the first frame: the whole game run without pixel work, then
// its first results frame composed, as the window does it.
void BM_EndOfAWholeGame(benchmark::State& state) {
    if (!busyPicture()) {
        state.SkipWithError("the sheets could not be made");
        return;
    }
    for (auto _ : state) {
        tolvane::Session game;
        std::string why;
        game.startPlayback(std::string(TOLVANE_TEST_DATA) + "/autoplay.rep", &why);
        game.world().frameSkip = 1;
        while (!game.ended()) game.frame();
        game.world().frameSkip = 0;
        game.frame();
        DTUpdate(0);
        benchmark::DoNotOptimize(game.world().score);
    }
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480, 0})->Args({1280, 960, 0})->Args({1920, 1080, 0});
    // Process CPU: a GL driver renders on threads of its own.
    b->Unit(benchmark::kMicrosecond)->UseRealTime()->MeasureProcessCPUTime()->MinTime(1.0);
}

BENCHMARK(BM_PresentAsBefore)->Apply(sizes);
BENCHMARK(BM_PresentWindowSurface)->Apply(sizes);
BENCHMARK(BM_PresentWindowSurface)
    ->Args({640, 480, 1})
    ->Args({1280, 960, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->MinTime(1.0);
BENCHMARK_CAPTURE(BM_PresentRenderer, software, "software")->Apply(sizes);
BENCHMARK_CAPTURE(BM_PresentRenderer, opengl, "opengl")->Apply(sizes);
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EndOfAWholeGame)->Unit(benchmark::kMillisecond);

} // namespace
