// The Misc module: the palette from bitmap resource 101, text drawn into a surface
// through its device context, and the wave resources handed to the sound slots.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/cp932.h"
#include "media/dtools.h"
#include "media/gdi.h"
#include "media/platform.h"
#include "media/stools.h"
#include "presentation/palette.h"
#include "presentation/presentation.h"
#include "resources/embedded.h"

namespace tolvane {

// ---- Palette ----

PaletteResult paletteFromResource(const unsigned char* d, std::size_t size, int format,
                                  std::array<std::uint8_t, 1024>& entries) {
    std::size_t start = 0;
    if (format == 2) {
        start = 40; // a bitmap resource: the 40-byte header, then the colour table
    } else {
        // A whole bitmap file: find its "BM" among the first bytes.
        bool found = false;
        for (std::size_t i = 0; i <= 5 && i + 1 < size; ++i) {
            if (d[i] == 'B' && d[i + 1] == 'M') {
                start = i + 54;
                found = true;
                break;
            }
        }
        if (!found) return PaletteResult::NoBitmap;
    }
    if (!d || size < start + 1024) return PaletteResult::TooShort;
    for (int c = 0; c < 256; ++c) {
        const unsigned char* q = d + start + 4 * c; // blue, green, red, flags
        entries[4 * c + 0] = q[2];
        entries[4 * c + 1] = q[1];
        entries[4 * c + 2] = q[0];
        entries[4 * c + 3] = q[3];
    }
    return PaletteResult::Ok;
}

void loadPaletteResource(int id, int format) {
    res::Blob blob = res::find(format == 2 ? "BITMAP" : "PALETTE", id);
    std::array<std::uint8_t, 1024> entries{};
    PaletteResult r =
        blob ? paletteFromResource(blob.data, blob.size, format, entries) : PaletteResult::Missing;
    switch (r) {
    case PaletteResult::Ok: DTSetPaletteEntries(entries.data(), 0, 256); break;
    case PaletteResult::NoBitmap: break; // not a bitmap file: the palette stays as it was
    case PaletteResult::Missing:
        platform::messageBox("326 Resource with identifier '" + std::to_string(id) + "' not found",
                             "Tolvane");
        break;
    case PaletteResult::TooShort: platform::messageBox("9 Subscript out of range", "Tolvane"); break;
    }
}

// ---- Text ----

const char* faceName(const std::string& faceNumber) {
    static const char* const kFaces[] = {"System", "Terminal", "ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝"};
    // The game's own case, one digit, read without a conversion.
    if (faceNumber.size() == 1 && faceNumber[0] >= '0' && faceNumber[0] <= '3')
        return kFaces[faceNumber[0] - '0'];
    char* end = nullptr;
    double n = std::strtod(faceNumber.c_str(), &end);
    if (end == faceNumber.c_str() || n < 0 || n > 3) n = 0;
    return kFaces[static_cast<int>(n)];
}

void beginText(TextPass& t, int surface) {
    if (t.dc != 0) return; // one pass at a time: the first surface is kept
    t.dc = DTGetDC(surface);
    t.surface = surface;
    t.font = 0;
    t.oldFont = 0;
}

void selectFont(TextPass& t, const std::string& faceNumber, int height, int width, int weight, int italic,
                int underline, int strikeOut) {
    if (t.dc == 0) return;
    if (t.font > 0) {
        SelectObject(t.dc, t.oldFont);
        DeleteObject(t.font);
    }
    t.font = CreateFontA(height, width, 0, 0, weight * 100, italic, underline, strikeOut, SHIFTJIS_CHARSET, 0,
                         0, 0, 0, faceName(faceNumber));
    t.oldFont = SelectObject(t.dc, t.font);
}

void setTextColors(TextPass& t, COLORREF textColor, COLORREF backColor, int transparent) {
    if (t.dc == 0) return;
    if (transparent != 0) {
        SetBkMode(t.dc, TRANSPARENT);
    } else {
        SetBkMode(t.dc, OPAQUE);
        SetBkColor(t.dc, backColor);
    }
    SetTextColor(t.dc, textColor);
}

void drawText(TextPass& t, const std::string& text, int x, int y) {
    if (t.dc == 0) return;
    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        TextOutA(t.dc, x, y, text.data(), static_cast<int>(text.size()));
        return;
    }
    // The length passed is in bytes of the converted text: a double-byte character counts two.
    std::string bytes = common::utf8ToCp932(text).value_or(std::string{});
    TextOutA(t.dc, x, y, bytes.data(), static_cast<int>(bytes.size()));
}

bool textDrawn(const TextPass& t) { return t.dc != 0 && media::drawing(); }

void endText(TextPass& t) {
    if (t.dc == 0) return;
    if (t.oldFont != 0) {
        SelectObject(t.dc, t.oldFont);
        DeleteObject(t.font);
    }
    DTReleaseDC(t.surface, t.dc);
    t.dc = 0;
}

// ---- Sprite sheets ----

void createSpriteSheets() {
    for (int i = 0; i < sheet::kPictures; ++i) {
        res::Blob b = res::find("PICTURE", i);
        const sheet::Size size = sheet::kSurfaceSize[i + 1];
        DTCreateSprite(i + 1, Bitmap{b.data, b.size}, size.width, size.height);
    }
    for (int n = 1; n <= sheet::kPictures; ++n) DTSetColorKey(n, -1);
}

void drawCell(int x, int y, const sheet::Cell& c, int mode) {
    DTBitBlt(sheet::kBackBuffer, x, y, c.width, c.height, c.surface, c.x, c.y, mode);
}

void drawCellPart(int x, int y, int width, int height, const sheet::Cell& c, int mode) {
    DTBitBlt(sheet::kBackBuffer, x, y, width, height, c.surface, c.x, c.y, mode);
}

// ---- Sound resources ----

void loadWaveResource(int slot, int id, const char* type, int voices) {
    res::Blob blob = res::find(type, id);
    if (!blob) return; // the slot stays empty: that sound is silent
    STReadBytes(slot, blob.data, blob.size, voices);
}

} // namespace tolvane
