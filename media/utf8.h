// Walking UTF-8 text code point by code point, for the text drawing of the game and of
// the window layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace media {

// Calls f with each code point of s in order; a malformed or cut-off sequence gives
// U+FFFD for its first byte and decoding goes on with the next.
template <typename F> void forEachCodePoint(std::string_view s, F f) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            f(std::uint32_t{0xFFFD});
            ++i;
            continue;
        }
        std::uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        f(cp);
        i += n;
    }
}

} // namespace media
