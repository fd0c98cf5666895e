// Text of the web build: the GDI calls the game makes, with the fonts' glyphs carried
// as generated assets (web/assets.h) instead of fonts. The glyphs are drawn as the
// native text library draws them: an opaque background fills the cell box of the whole
// text first, then each glyph's coverage mixes the ink into the picture.
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/cp932.h"
#include "media/gdi.h"
#include "media/pixels.h"
#include "media/utf8.h"
#include "web/assets.h"
#include "web/media_web.h"

namespace {

namespace px = media::pixels;

struct FontHandle {
    bool used = false;
    const web::assets::Font* font = nullptr; // null: a font the web build does not carry
};

constexpr HFONT kStockFont = 1000;
constexpr int kMaxFonts = 64;
constexpr int kMaxDcs = 9;

struct DcState {
    HFONT font = kStockFont;
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0;
};

std::array<FontHandle, kMaxFonts + 1> fonts; // handle 0 is never used
std::array<DcState, kMaxDcs + 1> dcs;        // HDC n+1 for surface n

FontHandle* fontOf(HFONT h) { return h > 0 && h <= kMaxFonts && fonts[h].used ? &fonts[h] : nullptr; }
DcState* dcOf(HDC dc) { return dc > 0 && dc <= kMaxDcs ? &dcs[dc] : nullptr; }

const web::assets::Glyph* glyphOf(const web::assets::Font& f, std::uint32_t cp) {
    for (std::size_t i = 0; i < f.count; ++i)
        if (f.glyphs[i].codePoint == cp) return &f.glyphs[i];
    return nullptr;
}

} // namespace

HFONT CreateFontA(int height, int, int, int, int weight, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  const char* faceName) {
    for (int h = 1; h <= kMaxFonts; ++h) {
        FontHandle& f = fonts[h];
        if (f.used) continue;
        f.used = true;
        f.font = nullptr;
        for (int n = 0; n < web::assets::kFontCount && faceName; ++n) {
            const web::assets::Font& t = web::assets::font(n);
            if (!std::strcmp(faceName, t.face) && height == t.height && weight == t.weight) f.font = &t;
        }
        return h;
    }
    return 0;
}

HFONT SelectObject(HDC dc, HFONT font) {
    DcState* d = dcOf(dc);
    return d ? std::exchange(d->font, font) : 0;
}

bool DeleteObject(HFONT font) {
    FontHandle* f = fontOf(font);
    if (!f) return false;
    f->used = false;
    return true;
}

int SetBkMode(HDC dc, int mode) {
    DcState* d = dcOf(dc);
    return d ? std::exchange(d->bkMode, mode) : 0;
}
COLORREF SetBkColor(HDC dc, COLORREF colour) {
    DcState* d = dcOf(dc);
    return d ? std::exchange(d->bkColor, colour) : 0;
}
COLORREF SetTextColor(HDC dc, COLORREF colour) {
    DcState* d = dcOf(dc);
    return d ? std::exchange(d->textColor, colour) : 0;
}

bool TextOutA(HDC dc, int x, int y, const char* text, int length) {
    DcState* d = dcOf(dc);
    if (!d || !text || length < 0) return false;
    if (dc != 1 || !media::drawsPixels()) return true; // text goes only into the back buffer
    FontHandle* f = fontOf(d->font);
    if (!f || !f->font) return false; // not a font the game writes with
    const web::assets::Font& font = *f->font;
    const px::View target = web::backBuffer();

    // CP932 bytes, as the native library reads them: ASCII as it is, the rest decoded.
    const std::string_view bytes(text, static_cast<std::size_t>(length));
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    const std::string utf8 = ascii ? std::string(bytes) : common::cp932ToUtf8(bytes);
    std::vector<const web::assets::Glyph*> line;
    media::forEachCodePoint(utf8, [&](std::uint32_t cp) { line.push_back(glyphOf(font, cp)); });

    int width = 0;
    for (const auto* gl : line)
        if (gl) width += gl->advance;
    if (d->bkMode == OPAQUE) {
        const std::uint32_t bk = px::argbFromColorRef(static_cast<std::int32_t>(d->bkColor));
        for (int j = std::max(0, y); j < std::min(target.h, y + font.cellHeight); ++j)
            for (int i = std::max(0, x); i < std::min(target.w, x + width); ++i) target.row(j)[i] = bk;
    }
    const std::uint32_t ink = px::argbFromColorRef(static_cast<std::int32_t>(d->textColor));
    int penX = x;
    for (const auto* gl : line) {
        if (!gl) continue;
        for (int j = 0; j < gl->h; ++j) {
            int ty = y + j;
            if (ty < 0 || ty >= target.h) continue;
            std::uint32_t* dst = target.row(ty);
            for (int i = 0; i < gl->w; ++i) {
                int tx = penX + i;
                std::uint32_t a = gl->coverage[j * gl->w + i];
                if (a == 0 || tx < 0 || tx >= target.w) continue;
                dst[tx] = a == 255 ? ink : px::mix(dst[tx], ink, a);
            }
        }
        penX += gl->advance;
    }
    return true;
}

namespace media {
int liveFontCount() {
    int n = 0;
    for (int h = 1; h <= kMaxFonts; ++h) n += fonts[h].used ? 1 : 0;
    return n;
}
} // namespace media
