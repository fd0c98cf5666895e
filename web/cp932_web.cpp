// CP932 in the web build, which has no iconv that knows it: the native build's own
// conversion, carried as tables (web/assets.h, made by tolvane-webassets), read the way
// iconv reads: a byte or a lead and trail byte a character; a byte that starts no valid
// character becomes U+FFFD and reading goes on with the next one.
#include "common/cp932.h"

#include <algorithm>

#include "media/utf8.h"
#include "web/assets.h"

namespace common {
namespace {

const web::assets::CodePair* find(const web::assets::CodePair* first, std::size_t count, std::uint32_t key,
                                  bool byCode) {
    const web::assets::CodePair* last = first + count;
    const auto* at =
        std::lower_bound(first, last, key, [byCode](const web::assets::CodePair& p, std::uint32_t k) {
            return (byCode ? p.code : p.point) < k;
        });
    return at != last && (byCode ? at->code : at->point) == key ? at : nullptr;
}

} // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    const web::assets::Cp932Table& t = web::assets::cp932();
    std::string out;
    bool ok = true;
    media::forEachCodePoint(utf8, [&](std::uint32_t cp) {
        const web::assets::CodePair* p = ok ? find(t.byPoint, t.points, cp, false) : nullptr;
        if (!p) {
            ok = false;
            return;
        }
        if (p->code > 0xFF) out += static_cast<char>(p->code >> 8);
        out += static_cast<char>(p->code & 0xFF);
    });
    if (!ok) return std::nullopt;
    return out;
}

std::string cp932ToUtf8(std::string_view cp932, bool* valid) {
    const web::assets::Cp932Table& t = web::assets::cp932();
    if (valid) *valid = true;
    std::string out;
    for (std::size_t i = 0; i < cp932.size();) {
        const auto lead = static_cast<unsigned char>(cp932[i]);
        const web::assets::CodePair* p = find(t.byCode, t.codes, lead, true);
        std::size_t used = 1;
        if (!p && i + 1 < cp932.size()) {
            p = find(t.byCode, t.codes, lead << 8 | static_cast<unsigned char>(cp932[i + 1]), true);
            used = 2;
        }
        if (p) {
            media::appendUtf8(out, p->point);
            i += used;
        } else {
            if (valid) *valid = false;
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

} // namespace common
