#include "common/fontmap.h"

#include <array>
#include <fontconfig/fontconfig.h>
#include <utility>

namespace common {
namespace {

// The Windows face names the programs ask for, and the installed families that stand in.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kFaces{{
    {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},
    {"ＭＳ ゴシック", "IPAGothic"},
    {"ＭＳ 明朝", "IPAMincho"},
    {"System", "DejaVu Sans"},
    {"Terminal", "DejaVu Sans Mono"},
    {"sans-serif", "DejaVu Sans"},
    {"monospace", "DejaVu Sans Mono"},
}};

// Asks fontconfig for the best font of a family; `exact` when the family matched.
FontMatch match(const std::string& family, bool bold) {
    FontMatch result;
    result.family = family;
    if (!FcInit()) return result;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult res = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &res);
    if (found) {
        FcChar8* file = nullptr;
        FcChar8* foundFamily = nullptr;
        int index = 0;
        if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
            result.file = reinterpret_cast<const char*>(file);
        }
        if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
        // A family can have several names (IPAPGothic, IPA Pゴシック); any of them counts.
        for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &foundFamily) == FcResultMatch; ++i) {
            if (family == reinterpret_cast<const char*>(foundFamily)) result.exact = true;
        }
        FcPatternDestroy(found);
    }
    FcPatternDestroy(pattern);
    return result;
}

} // namespace

std::string familyForFace(std::string_view face) {
    for (const auto& [name, family] : kFaces) {
        if (name == face) return std::string(family);
    }
    return std::string(face);
}

FontMatch findFont(std::string_view face, bool bold) {
    FontMatch m = match(familyForFace(face), bold);
    if (!m.exact) {
        // Anything readable is better than no text: take fontconfig's default sans.
        FontMatch fallback = match("sans-serif", bold);
        if (m.file.empty()) m.file = fallback.file;
    }
    return m;
}

} // namespace common
