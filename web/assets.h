// The pictures and the lettering the web build carries, generated at build time by
// tolvane-webassets from the native game's own sheets and fonts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace web::assets {

constexpr int kSheetCount = 8;

// A sprite sheet: w x h pixels, each an index into the sheet's colours (0xAARRGGBB).
struct Sheet {
    int w, h;
    const std::uint32_t* palette;
    const unsigned char* pixels;
};
const Sheet& sheet(int n); // 1..8

// A glyph as the text library draws it: the pen moves on by `advance`; the coverage
// (w x h, 0..255) goes with its top-left corner at the pen.
struct Glyph {
    std::uint32_t codePoint;
    int advance, w, h;
    const unsigned char* coverage;
};
// A font the game writes with, and its glyphs.
struct Font {
    const char* face;
    int height, weight;
    int cellHeight;
    const Glyph* glyphs;
    std::size_t count;
};
// The fonts the game writes with: 0 the time display, 1 the race's readouts (the gap,
// the splits and the results line of game/session/race.cpp).
constexpr int kFontCount = 2;
const Font& font(int n);

// CP932 as the native build's iconv converts it (web/cp932_web.cpp): every valid code
// (a byte, or lead << 8 | trail) with its code point, in the order of the codes; and
// every code point with the code the native build writes it as, in code point order.
struct CodePair {
    std::uint32_t point;
    std::uint16_t code;
};
struct Cp932Table {
    const CodePair* byCode;
    std::size_t codes;
    const CodePair* byPoint;
    std::size_t points;
};
const Cp932Table& cp932();

// The native C library's sin and cos of a·3.14/180 for whole degrees |a| <= kDegreeRange,
// and its sin of the whole numbers 0..kWholeRange.
constexpr int kDegreeRange = 1440;
constexpr int kWholeRange = 400;
double sinOfDegree(int a);
double cosOfDegree(int a);
double sinOfWhole(int k);

} // namespace web::assets
