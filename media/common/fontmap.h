// Font faces named by the game and the launcher, mapped onto fonts installed here.
// The face names are the ones of the Japanese Windows system fonts; Debian knows none
// of them (fontconfig would answer with a font that has no Japanese glyphs), so the
// mapping is ours.
#pragma once

#include <string>
#include <string_view>

namespace common {

struct FontMatch {
    std::string family; // family name as fontconfig knows it ("IPAPGothic")
    std::string file;   // font file to open; empty when nothing at all was found
    int index = 0;      // face index inside the file (for collections)
    bool exact = false; // false when we fell back to some other installed font
};

// The installed family that stands for a face name ("ＭＳ Ｐゴシック" -> "IPAPGothic").
// Unknown names are passed through unchanged.
std::string familyForFace(std::string_view face);

// Finds the font file for a face name through fontconfig. When the mapped family is
// not installed, any installed font is taken and `exact` is false.
FontMatch findFont(std::string_view face, bool bold = false);

} // namespace common
