#include "media/gdi.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "common/cp932.h"
#include "common/fontmap.h"
#include "media/utf8.h"

namespace {

// An opened font of one face, size and style, shared by every HFONT that asks for it.
struct OpenFont {
    TTF_Font* font = nullptr;
    int ascent = 0;
    int height = 0;
    std::unordered_map<std::uint32_t, SDL_Surface*> glyphs; // white coverage masks
};

struct FontHandle {
    bool used = false;
    std::string face;
    int height = 0;
    int weight = 0;
    bool italic = false, underline = false;
    OpenFont* open = nullptr; // opened on first use for drawing
};

// The font every device context starts with, as a stock object: never deleted.
constexpr HFONT kStockFont = 1000;

struct DcState {
    HFONT font = kStockFont;
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
};

constexpr int kMaxFonts = 64;
constexpr int kMaxDcs = 9;

// Handles and device contexts belong to the thread that asks for them: every game's
// text pass makes and deletes a font each frame, and headless games may run side by
// side. The opened fonts are shared; only pixel work opens them, on one thread.
thread_local std::array<FontHandle, kMaxFonts + 1> fonts; // handle 0 is never used
thread_local std::array<DcState, kMaxDcs + 1> dcs;        // HDC n+1 for surface n
std::map<std::string, OpenFont> openFonts;
bool ttfReady = false;

FontHandle* fontOf(HFONT h) { return h > 0 && h <= kMaxFonts && fonts[h].used ? &fonts[h] : nullptr; }
DcState* dcOf(HDC dc) { return dc > 0 && dc <= kMaxDcs ? &dcs[dc] : nullptr; }

// Opens the installed font standing for the face, sized so that its cell is `height`
// pixels tall (GDI's positive height), or its em `-height` pixels (negative height).
OpenFont* openFont(FontHandle& f) {
    if (f.open) return f.open;
    if (!ttfReady) {
        if (TTF_Init() != 0) return nullptr;
        ttfReady = true;
    }
    int cell = f.height == 0 ? 16 : (f.height < 0 ? -f.height : f.height);
    std::string key = f.face + "/" + std::to_string(f.height) + "/" + std::to_string(f.weight) +
                      (f.italic ? "i" : "") + (f.underline ? "u" : "");
    auto it = openFonts.find(key);
    if (it != openFonts.end()) return f.open = &it->second;

    common::FontMatch m = common::findFont(f.face, f.weight >= 600);
    if (!m.exact) {
        std::fprintf(stderr, "tolvane: no font for \"%s\"; using %s\n", f.face.c_str(),
                     m.file.empty() ? "nothing" : m.file.c_str());
    }
    if (m.file.empty()) return nullptr;
    TTF_Font* font = TTF_OpenFontIndex(m.file.c_str(), cell, m.index);
    if (!font) return nullptr;
    if (f.height > 0) {
        // The cell (ascent + descent) should be `height`: scale the point size to it.
        int measured = TTF_FontHeight(font);
        if (measured > 0 && measured != cell) TTF_SetFontSize(font, cell * cell / measured);
    }
    int style = TTF_STYLE_NORMAL;
    if (f.weight >= 600) style |= TTF_STYLE_BOLD;
    if (f.italic) style |= TTF_STYLE_ITALIC;
    if (f.underline) style |= TTF_STYLE_UNDERLINE;
    TTF_SetFontStyle(font, style);
    OpenFont& of = openFonts[key];
    of.font = font;
    of.ascent = TTF_FontAscent(font);
    of.height = TTF_FontHeight(font);
    return f.open = &of;
}

SDL_Surface* glyph(OpenFont& of, std::uint32_t cp) {
    auto it = of.glyphs.find(cp);
    if (it != of.glyphs.end()) return it->second;
    SDL_Color white{255, 255, 255, 255};
    SDL_Surface* rendered = TTF_RenderGlyph32_Blended(of.font, cp, white);
    SDL_Surface* s = rendered ? SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
    SDL_FreeSurface(rendered);
    of.glyphs[cp] = s;
    return s;
}

std::uint32_t argb(COLORREF c) {
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

std::uint32_t mix(std::uint32_t under, std::uint32_t over, std::uint32_t alpha) {
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
        out |= ((a * (255 - alpha) + b * alpha) / 255) << shift;
    }
    return out;
}

} // namespace

HFONT CreateFontA(int height, int, int, int, int weight, std::uint32_t italic, std::uint32_t underline,
                  std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  const char* faceName) {
    for (int h = 1; h <= kMaxFonts; ++h) {
        FontHandle& f = fonts[h];
        if (f.used) continue;
        // The handle's name keeps its storage from one font to the next: a font a frame
        // costs no allocation.
        f.used = true;
        f.face.assign(faceName ? faceName : "");
        f.height = height;
        f.weight = weight;
        f.italic = italic != 0;
        f.underline = underline != 0;
        f.open = nullptr;
        return h;
    }
    return 0;
}

HFONT SelectObject(HDC dc, HFONT font) {
    DcState* d = dcOf(dc);
    if (!d) return 0;
    HFONT old = d->font;
    d->font = font;
    return old;
}

bool DeleteObject(HFONT font) {
    FontHandle* f = fontOf(font);
    if (!f) return false;
    f->used = false;
    f->open = nullptr;
    return true;
}

// Sets one field of a device context's state and returns what it held (0 for a
// context that does not exist).
template <typename T> T exchangeState(HDC dc, T DcState::*field, T value) {
    DcState* d = dcOf(dc);
    return d ? std::exchange(d->*field, value) : T{};
}

int SetBkMode(HDC dc, int mode) { return exchangeState(dc, &DcState::bkMode, mode); }
COLORREF SetBkColor(HDC dc, COLORREF colour) { return exchangeState(dc, &DcState::bkColor, colour); }
COLORREF SetTextColor(HDC dc, COLORREF colour) { return exchangeState(dc, &DcState::textColor, colour); }

bool TextOutA(HDC dc, int x, int y, const char* text, int length) {
    DcState* d = dcOf(dc);
    if (!d || !text || length < 0) return false;
    if (media::drawLogging()) media::drawLog().push_back({"TextOutA", {x, y, length}});
    SDL_Surface* target = media::surface(static_cast<int>(dc - 1));
    if (!target || !media::drawsPixels()) return true; // no pixel work (headless, or a skipped frame)
    FontHandle* f = fontOf(d->font);
    FontHandle fallback{true, "System", 16, 400, false, false, nullptr};
    OpenFont* of = openFont(f ? *f : fallback);
    if (!of) return false;

    std::string_view bytes(text, static_cast<std::size_t>(length));
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string utf8 = ascii ? std::string(bytes) : common::cp932ToUtf8(bytes);

    // Measure, fill the cell box in the background colour when opaque, then draw.
    int width = 0;
    media::forEachCodePoint(utf8, [&](std::uint32_t cp) {
        int minx, maxx, miny, maxy, advance = 0;
        if (TTF_GlyphMetrics32(of->font, cp, &minx, &maxx, &miny, &maxy, &advance) == 0) width += advance;
    });
    if (d->bkMode == OPAQUE) {
        SDL_Rect box{x, y, width, of->height};
        SDL_FillRect(target, &box, argb(d->bkColor));
    }
    const std::uint32_t ink = argb(d->textColor);
    int penX = x;
    media::forEachCodePoint(utf8, [&](std::uint32_t cp) {
        int minx, maxx, miny, maxy, advance = 0;
        TTF_GlyphMetrics32(of->font, cp, &minx, &maxx, &miny, &maxy, &advance);
        if (SDL_Surface* gs = glyph(*of, cp)) {
            for (int j = 0; j < gs->h; ++j) {
                int ty = y + j;
                if (ty < 0 || ty >= target->h) continue;
                auto* src = reinterpret_cast<const std::uint32_t*>(static_cast<std::uint8_t*>(gs->pixels) +
                                                                   j * gs->pitch);
                auto* dst = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(target->pixels) +
                                                             ty * target->pitch);
                for (int i = 0; i < gs->w; ++i) {
                    int tx = penX + i;
                    std::uint32_t a = src[i] >> 24;
                    if (a == 0 || tx < 0 || tx >= target->w) continue;
                    dst[tx] = a == 255 ? ink : mix(dst[tx], ink, a);
                }
            }
        }
        penX += advance;
    });
    return true;
}

namespace media {

bool fontGlyphs(const char* face, int height, int weight, const std::u32string& codePoints, int& cellHeight,
                std::vector<GlyphImage>& glyphs) {
    FontHandle f{true, face ? face : "", height, weight, false, false, nullptr};
    OpenFont* of = openFont(f);
    if (!of) return false;
    cellHeight = of->height;
    glyphs.clear();
    for (std::uint32_t cp : codePoints) {
        GlyphImage g;
        g.codePoint = cp;
        int minx, maxx, miny, maxy;
        TTF_GlyphMetrics32(of->font, cp, &minx, &maxx, &miny, &maxy, &g.advance);
        if (SDL_Surface* gs = glyph(*of, cp)) {
            g.w = gs->w;
            g.h = gs->h;
            for (int j = 0; j < gs->h; ++j) {
                auto* src = reinterpret_cast<const std::uint32_t*>(static_cast<std::uint8_t*>(gs->pixels) +
                                                                   j * gs->pitch);
                for (int i = 0; i < gs->w; ++i) g.coverage.push_back(static_cast<std::uint8_t>(src[i] >> 24));
            }
        }
        glyphs.push_back(std::move(g));
    }
    return true;
}

int liveFontCount() {
    int n = 0;
    for (int h = 1; h <= kMaxFonts; ++h) n += fonts[h].used ? 1 : 0;
    return n;
}

} // namespace media
