// Fuzzes the name rule (names/name_rule.h) with arbitrary bytes and checks its answers:
// everything it returns is UTF-8, normalising twice changes nothing, a name and its
// normal form have one skeleton, and an accepted name's normal form is accepted too,
// holds 1 to 24 characters and nothing the rule would leave out.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "names/name_rule.h"

namespace {

// The number of code points when `s` is UTF-8 (shortest forms, no surrogates, nothing past
// U+10FFFF), else -1. Written apart from ICU so that the fuzzer checks ICU's answers.
long codePoints(std::string_view s) {
    long count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
        const unsigned char c = b(i);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07;
        } else {
            return -1;
        }
        if (i + extra >= s.size()) return -1;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((b(i + k) & 0xC0) != 0x80) return -1;
            cp = cp << 6 | (b(i + k) & 0x3F);
        }
        static const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return -1;
        i += extra + 1;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const auto why = names::problem(name);
    const std::string normal = names::normalized(name);
    const std::string key = names::skeleton(name);
    check(codePoints(normal) >= 0 && codePoints(key) >= 0);
    check(!why || (!why->empty() && codePoints(*why) >= 0));
    check(names::normalized(normal) == normal);
    check(names::skeleton(normal) == key);
    check(codePoints(names::withoutRefused(name)) >= 0);
    if (codePoints(name) < 0) {
        check(why.has_value()); // bytes that are not UTF-8 are never a name
        return 0;
    }
    const auto normalWhy = names::problem(normal);
    check(why.has_value() == normalWhy.has_value());
    if (!why) {
        const long characters = codePoints(normal);
        check(characters >= 1 && characters <= names::kMaxCharacters);
        check(normal.front() != ' ' && normal.back() != ' ');
        check(names::withoutRefused(name) == normal);
    }
    return 0;
}
