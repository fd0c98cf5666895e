// The picture in the window: whole-number scaling, centred and letterboxed; the copy
// into the texture is the only pass over the picture's pixels, and only the bars are
// cleared, so the renderer writes each window pixel once per frame.
#include "media/present.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "media/overlay.h"

namespace media {

namespace {
bool wholeMultiplesShown = true;
} // namespace

void setWholeMultiples(bool whole) { wholeMultiplesShown = whole; }

PictureRect pictureRect(int outputWidth, int outputHeight, int pictureWidth, int pictureHeight,
                        bool wholeMultiples) {
    if (outputWidth <= 0 || outputHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) return {0, 0, 0, 0};
    int w = 0, h = 0;
    const int k = wholeMultiples ? std::min(outputWidth / pictureWidth, outputHeight / pictureHeight) : 0;
    if (k >= 1) {
        w = pictureWidth * k;
        h = pictureHeight * k;
    } else if (static_cast<long long>(outputWidth) * pictureHeight <=
               static_cast<long long>(outputHeight) * pictureWidth) {
        // Narrower than the picture's aspect: the width decides.
        w = outputWidth;
        h = std::max(1, static_cast<int>(static_cast<long long>(outputWidth) * pictureHeight / pictureWidth));
    } else {
        h = outputHeight;
        w = std::max(1,
                     static_cast<int>(static_cast<long long>(outputHeight) * pictureWidth / pictureHeight));
    }
    return {(outputWidth - w) / 2, (outputHeight - h) / 2, w, h};
}

namespace {

struct SurfaceState {
    SDL_Surface* last = nullptr; // the window surface the bars were drawn on
    int lastW = 0, lastH = 0;
    SDL_Surface* scratch = nullptr; // the picture with the window layer over it
    std::vector<int> columns;       // source column of each output column (below 1x)
};
SurfaceState ws;

const std::uint32_t* rowOf(const SDL_Surface* s, int y) {
    return reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                  static_cast<std::ptrdiff_t>(y) * s->pitch);
}
std::uint32_t* rowOf(SDL_Surface* s, int y) {
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) +
                                            static_cast<std::ptrdiff_t>(y) * s->pitch);
}

// Each of n pixels k times; the usual factors are known to the compiler, which then
// writes whole vectors.
template <int K> void widen(std::uint32_t* d, const std::uint32_t* s, int n) {
    for (int x = 0; x < n; ++x)
        for (int i = 0; i < K; ++i) d[x * K + i] = s[x];
}
void widen(std::uint32_t* d, const std::uint32_t* s, int n, int k) {
    for (int x = 0; x < n; ++x)
        for (int i = 0; i < k; ++i) d[x * k + i] = s[x];
}

// The picture to show: its rows, except those in [top, bottom), which come from a copy
// with the window layer drawn over it.
struct Source {
    const SDL_Surface* picture;
    const SDL_Surface* layered;
    int top, bottom, w, h;
    const std::uint32_t* row(int y) const { return rowOf(y >= top && y < bottom ? layered : picture, y); }
};

// Nearest-neighbour scaling of `src` into the rectangle `r` of `dst`. Whole multiples
// write each source row once, widened, and copy it for the other k - 1 rows.
void scaleInto(SDL_Surface* dst, const PictureRect& r, const Source* src) {
    if (r.width <= 0 || r.height <= 0) return;
    const std::size_t rowBytes = static_cast<std::size_t>(r.width) * 4;
    if (r.width % src->w == 0 && r.height % src->h == 0 && r.width / src->w == r.height / src->h) {
        const int k = r.width / src->w;
        for (int y = 0; y < src->h; ++y) {
            const std::uint32_t* s = src->row(y);
            std::uint32_t* d = rowOf(dst, r.y + y * k) + r.x;
            if (k == 1) {
                std::memcpy(d, s, rowBytes);
                continue;
            }
            switch (k) {
            case 2: widen<2>(d, s, src->w); break;
            case 3: widen<3>(d, s, src->w); break;
            case 4: widen<4>(d, s, src->w); break;
            default: widen(d, s, src->w, k); break;
            }
            for (int i = 1; i < k; ++i) std::memcpy(rowOf(dst, r.y + y * k + i) + r.x, d, rowBytes);
        }
        return;
    }
    ws.columns.resize(static_cast<std::size_t>(r.width));
    for (int x = 0; x < r.width; ++x)
        ws.columns[x] = static_cast<int>(static_cast<long long>(x) * src->w / r.width);
    for (int y = 0; y < r.height; ++y) {
        const std::uint32_t* s = src->row(static_cast<int>(static_cast<long long>(y) * src->h / r.height));
        std::uint32_t* d = rowOf(dst, r.y + y) + r.x;
        for (int x = 0; x < r.width; ++x) d[x] = s[ws.columns[x]];
    }
}

} // namespace

namespace {

// The picture with the window layer over a copy of the rows it draws on (the playback
// panel: a sixth of them); the picture itself is never drawn on.
Source withLayer(const SDL_Surface* picture) {
    Source src{picture, picture, 0, 0, picture->w, picture->h};
    if (overlayEmpty()) return src;
    if (!ws.scratch || ws.scratch->w != picture->w || ws.scratch->h != picture->h) {
        SDL_FreeSurface(ws.scratch);
        ws.scratch = SDL_CreateRGBSurfaceWithFormat(0, picture->w, picture->h, 32, SDL_PIXELFORMAT_RGB888);
        if (!ws.scratch) return src;
    }
    overlayRows(picture->h, &src.top, &src.bottom);
    for (int y = src.top; y < src.bottom; ++y)
        std::memcpy(rowOf(ws.scratch, y), rowOf(picture, y), static_cast<std::size_t>(picture->w) * 4);
    std::uint32_t* first = rowOf(ws.scratch, src.top);
    drawOverlay(first, ws.scratch->pitch / 4, picture->w, src.bottom - src.top, src.top);
    src.layered = ws.scratch;
    return src;
}

} // namespace

bool useWindowSurface(SDL_Window* window) {
    const char* driver = std::getenv("SDL_RENDER_DRIVER");
    if (!window || (driver && *driver)) return false;
    SDL_Surface* s = SDL_GetWindowSurface(window);
    if (!s || s->format->BytesPerPixel != 4) return false;
    // The picture's words are 0xAARRGGBB; the window must read them the same way.
    return s->format->Rmask == 0x00FF0000u && s->format->Gmask == 0x0000FF00u &&
           s->format->Bmask == 0x000000FFu;
}

void presentToWindowSurface(SDL_Window* window, const SDL_Surface* picture) {
    if (!window || !picture) return;
    SDL_Surface* out = SDL_GetWindowSurface(window); // a new one after the window changed size
    if (!out || out->format->BytesPerPixel != 4) return;
    const PictureRect r = pictureRect(out->w, out->h, picture->w, picture->h, wholeMultiplesShown);
    const bool fresh = out != ws.last || out->w != ws.lastW || out->h != ws.lastH;
    if (fresh) {
        SDL_FillRect(out, nullptr, 0);
        ws.last = out;
        ws.lastW = out->w;
        ws.lastH = out->h;
    }
    const Source src = withLayer(picture);
    scaleInto(out, r, &src);
    if (fresh) {
        SDL_UpdateWindowSurface(window);
    } else {
        const SDL_Rect rect{r.x, r.y, r.width, r.height};
        SDL_UpdateWindowSurfaceRects(window, &rect, 1);
    }
}

void presentPicture(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Surface* picture) {
    if (!renderer || !texture || !picture) return;
    // Uploaded straight from where the rows are (a GL driver copies them once, into the
    // texture): above the layer's rows, the layer's rows, below them.
    const Source src = withLayer(picture);
    const int bands[4] = {0, src.top, src.bottom, picture->h};
    for (int b = 0; b < 3; ++b) {
        if (bands[b + 1] <= bands[b]) continue;
        const SDL_Rect rows{0, bands[b], picture->w, bands[b + 1] - bands[b]};
        const SDL_Surface* from = b == 1 ? src.layered : picture;
        SDL_UpdateTexture(texture, &rows, rowOf(from, bands[b]), from->pitch);
    }
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(renderer, &outW, &outH) != 0) return;
    const PictureRect r = pictureRect(outW, outH, picture->w, picture->h, wholeMultiplesShown);
    // The bars: above and below the picture across the whole width, then left and right.
    SDL_Rect bars[4];
    int n = 0;
    if (r.y > 0) bars[n++] = {0, 0, outW, r.y};
    if (r.y + r.height < outH) bars[n++] = {0, r.y + r.height, outW, outH - r.y - r.height};
    if (r.x > 0) bars[n++] = {0, r.y, r.x, r.height};
    if (r.x + r.width < outW) bars[n++] = {r.x + r.width, r.y, outW - r.x - r.width, r.height};
    if (n > 0) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderFillRects(renderer, bars, n);
    }
    const SDL_Rect dst{r.x, r.y, r.width, r.height};
    SDL_RenderCopy(renderer, texture, nullptr, &dst);
    SDL_RenderPresent(renderer);
}

} // namespace media
