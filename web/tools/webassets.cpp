// Writes the pictures and the lettering of the web build as C++ source, made by the
// native game's own code: the eight sprite sheets as the drawing library decodes them
// (a palette of the colours each sheet uses and one index a pixel), and the glyphs of
// the time display and of a race's readouts as the text library draws them, and the
// CP932 conversion as the native build's iconv makes it. The web build then needs neither
// the fonts nor a picture decoder, and draws exactly what the window draws.
//   usage: tolvane-webassets OUT.cpp
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp932.h"
#include "media/dtools.h"
#include "media/gdi.h"
#include "media/utf8.h"
#include "presentation/presentation.h"
#include "presentation/sheets.h"
#include "web/assets.h"

#include <SDL.h>

namespace {

// Every character the game's text pass can draw: "Time " and the seconds left.
constexpr char32_t kTimeCharacters[] = U"Time 0123456789.";
// And the race's (game/session/race.cpp, in the source language as tolvane-replay
// draws them): the gap, "ステージ2  +1,234  (前回から ▲+567)", "ライバルとの差: −89".
constexpr char kRaceCharacters[] =
    "0123456789,+\u2212\u00B1\u25B2\u25BC ():ステージボス前回からライバルとの差";

// The code points of `utf8` as the text library draws them: each character through
// CP932, as the game hands text over; characters CP932 lacks are never drawn.
std::u32string drawnCodePoints(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string_view one = utf8.substr(i, n);
        i += n;
        const auto cp932 = common::utf8ToCp932(one);
        if (!cp932) continue;
        media::forEachCodePoint(common::cp932ToUtf8(*cp932), [&](std::uint32_t cp) {
            if (out.find(static_cast<char32_t>(cp)) == std::u32string::npos) out += static_cast<char32_t>(cp);
        });
    }
    return out;
}

std::string utf8Of(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | cp >> 6);
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | cp >> 12);
        s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | cp >> 18);
        s += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// Every valid CP932 code and its code point, as the native conversion reads them; then
// every code point the native conversion writes, and its code.
std::string cp932Tables() {
    std::map<int, std::uint32_t> byCode;
    auto one = [&](const std::string& bytes, int code) {
        bool valid = false;
        const std::string utf8 = common::cp932ToUtf8(bytes, &valid);
        std::u32string points;
        media::forEachCodePoint(utf8, [&](std::uint32_t cp) { points += static_cast<char32_t>(cp); });
        if (valid && points.size() == 1) byCode[code] = points[0];
    };
    for (int b = 0; b < 256; ++b) one(std::string(1, static_cast<char>(b)), b);
    for (int lead = 0x80; lead < 256; ++lead) {
        if (byCode.count(lead)) continue; // a character of its own, never a lead byte
        for (int trail = 0; trail < 256; ++trail)
            one(std::string{static_cast<char>(lead), static_cast<char>(trail)}, lead << 8 | trail);
    }
    // Every code point of the Basic Multilingual Plane (CP932 holds none beyond it), for
    // those written as a code that reads back as another (U+2212 as 0x817C, read U+FF0D).
    std::map<std::uint32_t, int> byPoint;
    for (std::uint32_t point = 0; point < 0x10000; ++point) {
        if (point >= 0xD800 && point < 0xE000) continue;
        const auto bytes = common::utf8ToCp932(utf8Of(point));
        if (!bytes || bytes->empty() || bytes->size() > 2) continue;
        const auto b0 = static_cast<unsigned char>((*bytes)[0]);
        byPoint[point] = bytes->size() == 1 ? b0 : b0 << 8 | static_cast<unsigned char>((*bytes)[1]);
    }
    std::string out = "const CodePair kByCode[] = {\n";
    int n = 0;
    for (const auto& [code, point] : byCode)
        out += "{" + std::to_string(point) + "u," + std::to_string(code) + "}," + (++n % 8 ? "" : "\n");
    out += "};\nconst CodePair kByPoint[] = {\n";
    n = 0;
    for (const auto& [point, code] : byPoint)
        out += "{" + std::to_string(point) + "u," + std::to_string(code) + "}," + (++n % 8 ? "" : "\n");
    out += "};\nconst Cp932Table kCp932{kByCode, " + std::to_string(byCode.size()) + ", kByPoint, " +
           std::to_string(byPoint.size()) + "};\n";
    return out;
}

void bytes(std::string& out, const std::vector<unsigned char>& v) {
    for (std::size_t i = 0; i < v.size(); ++i) {
        out += std::to_string(v[i]);
        out += (i % 32 == 31) ? ",\n" : ",";
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tolvane-webassets OUT.cpp\n");
        return 1;
    }
    media::setDrawBackend(media::DrawBackend::Offscreen);
    DTInit(1, nullptr);
    tolvane::createSpriteSheets();

    std::string out = "// Generated by tolvane-webassets from the game's own pictures and fonts.\n"
                      "#include \"web/assets.h\"\n\nnamespace web::assets {\nnamespace {\n";
    std::string table = "const Sheet kSheets[kSheetCount] = {\n";
    for (int n = 1; n <= tolvane::sheet::kPictures; ++n) {
        SDL_Surface* s = media::surface(n);
        if (!s) {
            std::fprintf(stderr, "tolvane-webassets: sheet %d was not made\n", n);
            return 1;
        }
        std::map<std::uint32_t, int> index;
        std::vector<std::uint32_t> palette;
        std::vector<unsigned char> pixels;
        for (int y = 0; y < s->h; ++y) {
            auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                               y * s->pitch);
            for (int x = 0; x < s->w; ++x) {
                auto [it, added] = index.emplace(row[x], static_cast<int>(palette.size()));
                if (added) palette.push_back(row[x]);
                pixels.push_back(static_cast<unsigned char>(it->second));
            }
        }
        if (palette.size() > 256) {
            std::fprintf(stderr, "tolvane-webassets: sheet %d has %zu colours\n", n, palette.size());
            return 1;
        }
        out += "const std::uint32_t kPalette" + std::to_string(n) + "[] = {";
        for (std::uint32_t c : palette) out += std::to_string(c) + "u,";
        out += "};\nconst unsigned char kPixels" + std::to_string(n) + "[] = {\n";
        bytes(out, pixels);
        out += "};\n";
        table += "    {" + std::to_string(s->w) + ", " + std::to_string(s->h) + ", kPalette" +
                 std::to_string(n) + ", kPixels" + std::to_string(n) + "},\n";
    }
    table += "};\n";

    // The time display (font 0) and the race's readouts (font 1), as misc.cpp and
    // race.cpp select them.
    struct FontWanted {
        const char* face;
        int height, weight;
        std::u32string codePoints;
    };
    const FontWanted wanted[web::assets::kFontCount] = {
        {tolvane::faceName("2"), 20, 400, kTimeCharacters},
        {tolvane::faceName("2"), 16, 700, drawnCodePoints(kRaceCharacters)},
    };
    std::string fontTable = "const Font kFonts[kFontCount] = {\n";
    for (int n = 0; n < web::assets::kFontCount; ++n) {
        const FontWanted& w = wanted[n];
        int cellHeight = 0;
        std::vector<media::GlyphImage> glyphs;
        if (!media::fontGlyphs(w.face, w.height, w.weight, w.codePoints, cellHeight, glyphs)) {
            std::fprintf(stderr, "tolvane-webassets: no font %s at %d px, weight %d\n", w.face, w.height,
                         w.weight);
            return 1;
        }
        const std::string tag = std::to_string(n);
        std::string glyphTable = "const Glyph kGlyphs" + tag + "[] = {\n";
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            const media::GlyphImage& g = glyphs[i];
            const std::string name = "kCoverage" + tag + "_" + std::to_string(i);
            out += "const unsigned char " + name + "[] = {0,\n";
            bytes(out, g.coverage);
            out += "};\n";
            glyphTable += "    {" + std::to_string(g.codePoint) + "u, " + std::to_string(g.advance) + ", " +
                          std::to_string(g.w) + ", " + std::to_string(g.h) + ", " + name + " + 1},\n";
        }
        out += glyphTable + "};\n";
        fontTable += "    {\"" + std::string(w.face) + "\", " + std::to_string(w.height) + ", " +
                     std::to_string(w.weight) + ", " + std::to_string(cellHeight) + ", kGlyphs" + tag + ", " +
                     std::to_string(glyphs.size()) + "},\n";
    }
    fontTable += "};\n";
    // The math library's results where the game's arguments are known ahead: every whole
    // degree of a heading, and the whole numbers newGame takes the sine of.
    char num[40];
    std::string trig = "const double kSinDegree[] = {\n";
    std::string cosTable = "const double kCosDegree[] = {\n";
    for (int a = -web::assets::kDegreeRange; a <= web::assets::kDegreeRange; ++a) {
        const double r = a * 3.14 / 180;
        std::snprintf(num, sizeof num, "%a,", std::sin(r));
        trig += num;
        std::snprintf(num, sizeof num, "%a,", std::cos(r));
        cosTable += num;
        if ((a + web::assets::kDegreeRange) % 8 == 7) trig += "\n", cosTable += "\n";
    }
    trig += "};\n" + cosTable + "};\nconst double kSinWhole[] = {\n";
    for (int k = 0; k <= web::assets::kWholeRange; ++k) {
        std::snprintf(num, sizeof num, "%a,", std::sin(static_cast<double>(k)));
        trig += num;
    }
    trig += "};\n";
    out += table + fontTable + trig + cp932Tables() + "} // namespace\n\n";
    out += "double sinOfDegree(int a) { return kSinDegree[a + kDegreeRange]; }\n";
    out += "double cosOfDegree(int a) { return kCosDegree[a + kDegreeRange]; }\n";
    out += "double sinOfWhole(int k) { return kSinWhole[k]; }\n";
    out += "const Sheet& sheet(int n) { return kSheets[n - 1]; }\n";
    out += "const Font& font(int n) { return kFonts[n]; }\n";
    out += "const Cp932Table& cp932() { return kCp932; }\n} // namespace web::assets\n";

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "tolvane-webassets: cannot write %s\n", argv[1]);
        return 1;
    }
    DTEnd();
    return 0;
}
