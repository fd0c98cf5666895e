// The name rule on ICU: UTF-8 decoding, NFKC and its case fold, the character
// properties, and the spoof checker's confusable skeletons.
#include "names/name_rule.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>
#include <unicode/ustring.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace names {

namespace {

// Past this many bytes no name comes back to 24 characters, whatever NFKC composes; such
// input is refused before any work is spent on it.
constexpr std::size_t kMaxBytes = 1024;

void need(UErrorCode err, const char* what) {
    if (U_FAILURE(err)) throw std::runtime_error(std::string("ICU: ") + what + ": " + u_errorName(err));
}

// The text as UTF-16; every ill-formed sequence (overlong forms, surrogates, values past
// U+10FFFF, cut characters) becomes U+FFFD and is counted in `bad`.
icu::UnicodeString decode(std::string_view bytes, int32_t* bad = nullptr) {
    UErrorCode err = U_ZERO_ERROR;
    int32_t length = 0, subs = 0;
    const auto size = static_cast<int32_t>(bytes.size());
    u_strFromUTF8WithSub(nullptr, 0, &length, bytes.data(), size, 0xFFFD, &subs, &err);
    if (err != U_BUFFER_OVERFLOW_ERROR) need(err, "measuring UTF-8");
    if (bad) *bad = subs;
    icu::UnicodeString out;
    if (length == 0) return out;
    err = U_ZERO_ERROR;
    UChar* buffer = out.getBuffer(length);
    u_strFromUTF8WithSub(buffer, length, &length, bytes.data(), size, 0xFFFD, &subs, &err);
    out.releaseBuffer(U_SUCCESS(err) ? length : 0);
    need(err, "reading UTF-8");
    return out;
}

std::string encode(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

// ICU's normalisers, made once: the first thread to ask makes them under the language's
// own guard, which every other thread then sees (ICU's own lazy set-up is not visible to
// the thread sanitizer, and each call here would otherwise race it).
const icu::Normalizer2* normalizer(bool caseFold) {
    static const icu::Normalizer2* const forms[2] = {[] {
                                                         UErrorCode err = U_ZERO_ERROR;
                                                         const auto* n =
                                                             icu::Normalizer2::getNFKCInstance(err);
                                                         need(err, "NFKC");
                                                         return n;
                                                     }(),
                                                     [] {
                                                         UErrorCode err = U_ZERO_ERROR;
                                                         const auto* n =
                                                             icu::Normalizer2::getNFKCCasefoldInstance(err);
                                                         need(err, "NFKC case fold");
                                                         return n;
                                                     }()};
    return forms[caseFold ? 1 : 0];
}

icu::UnicodeString nfkc(const icu::UnicodeString& s) {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* n = normalizer(false);
    icu::UnicodeString out = n->normalize(s, err);
    need(err, "NFKC");
    return out;
}

// Shared by every thread: ICU's checks on a const checker may run side by side.
const USpoofChecker* spoofChecker() {
    static const std::unique_ptr<USpoofChecker, void (*)(USpoofChecker*)> checker = [] {
        UErrorCode err = U_ZERO_ERROR;
        USpoofChecker* sc = uspoof_open(&err);
        need(err, "opening the spoof checker");
        return std::unique_ptr<USpoofChecker, void (*)(USpoofChecker*)>(sc, uspoof_close);
    }();
    return checker.get();
}

std::string codePoint(UChar32 c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// What shows no ink: white space, the default-ignorable code points (the Hangul fillers
// among them), and the blank braille pattern, which is a symbol by its properties.
bool blankLooking(UChar32 c) {
    return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE) ||
           u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) || c == 0x2800;
}

bool combiningMark(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

// Why one code point of a normalised name cannot be in it, or nothing.
std::optional<std::string> refusedCharacter(UChar32 c) {
    const std::string at = " (" + codePoint(c) + ")";
    if (u_hasBinaryProperty(c, UCHAR_BIDI_CONTROL))
        return "the name contains an invisible character that turns text around" + at;
    switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: return "the name contains a control character" + at;
    case U_UNASSIGNED:
        if (u_hasBinaryProperty(c, UCHAR_NONCHARACTER_CODE_POINT))
            return "the name contains a noncharacter" + at;
        return "the name contains a character that Unicode has not assigned" + at;
    case U_PRIVATE_USE_CHAR: return "the name contains a private-use character" + at;
    case U_SURROGATE: return "the name is not valid UTF-8";
    case U_FORMAT_CHAR: return "the name contains an invisible formatting character" + at;
    default: break;
    }
    if (u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT))
        return "the name contains an invisible character" + at;
    return std::nullopt;
}

} // namespace

std::optional<std::string> problem(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (name.size() > kMaxBytes) return "the name is longer than 24 characters";
    int32_t bad = 0;
    const icu::UnicodeString text = nfkc(decode(name, &bad));
    if (bad > 0) return "the name is not valid UTF-8";

    int count = 0;
    bool showsSomething = false;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        showsSomething = showsSomething || !blankLooking(c);
        ++count;
    }
    if (!showsSomething) return "the name shows nothing: it is only blanks or invisible characters";
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1))
        if (auto why = refusedCharacter(text.char32At(i))) return why;
    if (count > kMaxCharacters) return "the name is longer than 24 characters";
    const UChar32 first = text.char32At(0);
    const UChar32 last = text.char32At(text.length() - 1);
    if (blankLooking(first) || blankLooking(last)) return "the name begins or ends with a blank";
    if (combiningMark(first)) return "the name begins with a combining mark (" + codePoint(first) + ")";
    return std::nullopt;
}

std::string normalized(std::string_view name) { return encode(nfkc(decode(name))); }

std::string skeleton(std::string_view name) {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* fold = normalizer(true);
    const std::string folded = encode(fold->normalize(decode(name), err));
    need(err, "NFKC case fold");
    if (folded.empty()) return folded; // a name of default-ignorables alone
    const auto size = static_cast<int32_t>(folded.size());
    const int32_t length = uspoof_getSkeletonUTF8(spoofChecker(), 0, folded.data(), size, nullptr, 0, &err);
    if (err != U_BUFFER_OVERFLOW_ERROR) need(err, "measuring a skeleton");
    err = U_ZERO_ERROR;
    std::string out(static_cast<std::size_t>(length), '\0');
    uspoof_getSkeletonUTF8(spoofChecker(), 0, folded.data(), size, out.data(), length, &err);
    need(err, "making a skeleton");
    return out;
}

std::string withoutRefused(std::string_view name) {
    const icu::UnicodeString text = nfkc(decode(name));
    icu::UnicodeString kept;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        if (refusedCharacter(c)) continue;
        if (kept.isEmpty() && (combiningMark(c) || blankLooking(c))) continue;
        kept.append(c);
    }
    while (!kept.isEmpty()) {
        const int32_t lastAt = kept.moveIndex32(kept.length(), -1);
        if (!blankLooking(kept.char32At(lastAt))) break;
        kept.truncate(lastAt);
    }
    return encode(nfkc(kept));
}

} // namespace names
