// Text drawn into a drawing surface through its device context, with the few GDI
// calls the game makes: fonts by face name, text and background colours, and TextOutA
// with CP932 bytes. Fonts are installed TrueType/OpenType fonts found through
// fontconfig; the Windows face names are mapped onto them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/dtools.h"

using HFONT = std::intptr_t;
using COLORREF = std::uint32_t; // 0x00BBGGRR

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int SHIFTJIS_CHARSET = 128;

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, std::uint32_t italic,
                  std::uint32_t underline, std::uint32_t strikeOut, std::uint32_t charSet,
                  std::uint32_t outPrecision, std::uint32_t clipPrecision, std::uint32_t quality,
                  std::uint32_t pitchAndFamily, const char* faceName);
// Selects a font into a device context; returns the font it displaced (0 for none).
HFONT SelectObject(HDC dc, HFONT font);
bool DeleteObject(HFONT font);
int SetBkMode(HDC dc, int mode);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF SetTextColor(HDC dc, COLORREF colour);
// Draws `length` bytes of CP932 text with its top-left corner at (x, y).
bool TextOutA(HDC dc, int x, int y, const char* text, int length);

namespace media {

// Fonts created and not yet deleted (tests check that no font outlives its frame).
int liveFontCount();

// A glyph as TextOutA draws it: the pen moves on by `advance`; the coverage (0..255, w x h,
// top row first) is drawn with its top-left corner at the pen and the text's y.
struct GlyphImage {
    std::uint32_t codePoint = 0;
    int advance = 0;
    int w = 0, h = 0;
    std::vector<std::uint8_t> coverage;
};
// The glyphs of the font that CreateFontA gives for a face, height and weight, and its
// cell height (the box an opaque background fills). False when there is no such font.
// The web build carries these instead of the fonts.
bool fontGlyphs(const char* face, int height, int weight, const std::u32string& codePoints, int& cellHeight,
                std::vector<GlyphImage>& glyphs);

} // namespace media
