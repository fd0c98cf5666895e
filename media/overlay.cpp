// The window layer: a short list of drawing steps, described anew for each
// presentation and carried out on the copy of the picture that the window shows.
// Text comes from an installed sans-serif font through SDL2_ttf, glyph by glyph, each
// glyph rendered once per size and kept.
#include "media/overlay.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/fontmap.h"
#include "media/utf8.h"

namespace media {
namespace {

struct Step {
    enum Kind { Dim, Box, Text } kind;
    int x, y, width, height; // Text: height is the size
    std::uint32_t colour;
    bool centred;
    std::string text;
};

struct Fonts {
    bool tried = false;
    std::string file;
    int index = 0;
    std::map<int, TTF_Font*> bySize;
    std::map<std::uint64_t, SDL_Surface*> glyphs; // (size << 32) | code point
};

std::vector<Step> steps;
Fonts fonts;

TTF_Font* fontOfSize(int size) {
    if (!fonts.tried) {
        fonts.tried = true;
        if (TTF_WasInit() == 0 && TTF_Init() != 0) return nullptr;
        common::FontMatch m = common::findFont("DejaVu Sans", true);
        fonts.file = m.file;
        fonts.index = m.index;
    }
    if (fonts.file.empty() || size <= 0) return nullptr;
    auto it = fonts.bySize.find(size);
    if (it != fonts.bySize.end()) return it->second;
    TTF_Font* font = TTF_OpenFontIndex(fonts.file.c_str(), size, fonts.index);
    if (font) {
        // The cell (ascent + descent) is `size` pixels tall.
        int measured = TTF_FontHeight(font);
        if (measured > 0 && measured != size) TTF_SetFontSize(font, size * size / measured);
        TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    }
    fonts.bySize[size] = font;
    return font;
}

// White glyph with its coverage in alpha, as wide as the glyph advances.
SDL_Surface* glyph(int size, std::uint32_t cp) {
    const std::uint64_t key = (static_cast<std::uint64_t>(size) << 32) | cp;
    auto it = fonts.glyphs.find(key);
    if (it != fonts.glyphs.end()) return it->second;
    SDL_Surface* s = nullptr;
    if (TTF_Font* font = fontOfSize(size)) {
        SDL_Surface* rendered = TTF_RenderGlyph32_Blended(font, cp, SDL_Color{255, 255, 255, 255});
        if (rendered) s = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(rendered);
    }
    fonts.glyphs[key] = s;
    return s;
}

std::uint32_t mix(std::uint32_t dst, std::uint32_t src, std::uint32_t a) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        std::uint32_t d = (dst >> shift) & 0xFF, s = (src >> shift) & 0xFF;
        out |= ((d * (255 - a) + s * a + 127) / 255) << shift;
    }
    return out;
}

// Picture rows first .. first + rows - 1, of `width` pixels.
struct Target {
    std::uint32_t* pixels;
    int pitch, width, first, rows;
    int top() const { return first; }
    int bottom() const { return first + rows; }
    std::uint32_t* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y - first) * pitch; }
};

void dim(const Target& t) {
    // Three eighths of the brightness.
    for (int y = t.top(); y < t.bottom(); ++y) {
        std::uint32_t* r = t.row(y);
        for (int x = 0; x < t.width; ++x) {
            std::uint32_t p = r[x];
            r[x] = ((p >> 2) & 0x3F3F3F) + ((p >> 3) & 0x1F1F1F);
        }
    }
}

void box(const Target& t, const Step& s) {
    const std::uint32_t a = s.colour >> 24;
    const int x0 = std::max(0, s.x), x1 = std::min(t.width, s.x + s.width);
    const int y0 = std::max(t.top(), s.y), y1 = std::min(t.bottom(), s.y + s.height);
    for (int y = y0; y < y1; ++y) {
        std::uint32_t* r = t.row(y);
        for (int x = x0; x < x1; ++x) r[x] = mix(r[x], s.colour, a);
    }
}

void text(const Target& t, const Step& s) {
    int x = s.centred ? s.x - overlayTextWidth(s.text, s.height) / 2 : s.x;
    forEachCodePoint(s.text, [&](std::uint32_t cp) {
        SDL_Surface* g = glyph(s.height, cp);
        if (!g) return;
        for (int j = 0; j < g->h; ++j) {
            const int y = s.y + j;
            if (y < t.top() || y >= t.bottom()) continue;
            const auto* src = reinterpret_cast<const std::uint32_t*>(
                static_cast<const std::uint8_t*>(g->pixels) + j * g->pitch);
            std::uint32_t* dst = t.row(y);
            for (int i = 0; i < g->w; ++i) {
                const int px = x + i;
                const std::uint32_t a = src[i] >> 24;
                if (a == 0 || px < 0 || px >= t.width) continue;
                dst[px] = mix(dst[px], s.colour, a);
            }
        }
        x += g->w;
    });
}

} // namespace

void overlayClear() { steps.clear(); }

void overlayDim() { steps.push_back({Step::Dim, 0, 0, 0, 0, 0, false, {}}); }

void overlayBox(int x, int y, int width, int height, std::uint32_t argb) {
    steps.push_back({Step::Box, x, y, width, height, argb, false, {}});
}

void overlayText(int x, int y, std::string_view text, int size, std::uint32_t rgb, bool centred) {
    steps.push_back({Step::Text, x, y, 0, size, rgb & 0xFFFFFFu, centred, std::string(text)});
}

int overlayTextWidth(std::string_view text, int size) {
    int width = 0;
    forEachCodePoint(text, [&](std::uint32_t cp) {
        if (SDL_Surface* g = glyph(size, cp)) width += g->w;
    });
    return width;
}

bool overlayEmpty() { return steps.empty(); }

void overlayRows(int height, int* top, int* bottom) {
    int t = height, b = 0;
    for (const Step& s : steps) {
        // A line of text is about `size` rows tall; twice that leaves room for any glyph.
        const int y0 = s.kind == Step::Dim ? 0 : s.y;
        const int y1 = s.kind == Step::Dim   ? height
                       : s.kind == Step::Box ? s.y + s.height
                                             : s.y + 2 * s.height;
        t = std::min(t, std::max(0, y0));
        b = std::max(b, std::min(height, y1));
    }
    *top = t;
    *bottom = std::max(t, b);
}

std::vector<std::string> overlayTexts() {
    std::vector<std::string> texts;
    for (const Step& s : steps) {
        if (s.kind == Step::Text) texts.push_back(s.text);
    }
    return texts;
}

bool overlayDimmed() {
    return std::any_of(steps.begin(), steps.end(), [](const Step& s) { return s.kind == Step::Dim; });
}

void drawOverlay(std::uint32_t* pixels, int pitchPixels, int width, int height, int firstRow) {
    if (!pixels) return;
    const Target t{pixels, pitchPixels, width, firstRow, height};
    for (const Step& s : steps) {
        switch (s.kind) {
        case Step::Dim: dim(t); break;
        case Step::Box: box(t, s); break;
        case Step::Text: text(t, s); break;
        }
    }
}

} // namespace media
