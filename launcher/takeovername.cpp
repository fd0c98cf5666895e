#include "takeovername.h"

#include <cstdio>

namespace kestrow {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLowerHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f'); }

// Reads exactly `count` digits at `at` as a number; false when any is not a digit.
bool fixedNumber(std::string_view text, size_t at, size_t count, int* out) {
    if (at + count > text.size()) return false;
    int n = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!isDigit(text[i])) return false;
        n = n * 10 + (text[i] - '0');
    }
    *out = n;
    return true;
}

int daysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool consume(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

} // namespace

std::optional<TakeOverName> parseTakeOverName(std::string_view name) {
    std::string_view rest = name;
    if (!consume(rest, "takeover-")) return std::nullopt;
    TakeOverName out;
    if (rest.size() < 12) return std::nullopt;
    for (size_t i = 0; i < 12; ++i)
        if (!isLowerHex(rest[i])) return std::nullopt;
    out.origin = std::string(rest.substr(0, 12));
    rest.remove_prefix(12);
    if (!consume(rest, "-f")) return std::nullopt;
    // The frame: decimal digits, "0" or without a leading zero, within a replay.
    size_t digits = 0;
    while (digits < rest.size() && isDigit(rest[digits])) ++digits;
    if (digits == 0 || digits > 5 || (digits > 1 && rest[0] == '0')) return std::nullopt;
    long frame = 0;
    for (size_t i = 0; i < digits; ++i) frame = frame * 10 + (rest[i] - '0');
    if (frame > kLastTakeOverFrame) return std::nullopt;
    out.frame = frame;
    rest.remove_prefix(digits);
    // -YYYYMMDD-HHMMSS.rep and nothing after it.
    if (rest.size() != 1 + 8 + 1 + 6 + 4 || rest[0] != '-' || rest[9] != '-' || rest.substr(16) != ".rep")
        return std::nullopt;
    if (!fixedNumber(rest, 1, 4, &out.year) || !fixedNumber(rest, 5, 2, &out.month) ||
        !fixedNumber(rest, 7, 2, &out.day) || !fixedNumber(rest, 10, 2, &out.hour) ||
        !fixedNumber(rest, 12, 2, &out.minute) || !fixedNumber(rest, 14, 2, &out.second))
        return std::nullopt;
    if (out.year < 2000 || out.month < 1 || out.month > 12 || out.day < 1 ||
        out.day > daysIn(out.year, out.month) || out.hour > 23 || out.minute > 59 || out.second > 59)
        return std::nullopt;
    return out;
}

std::string takeOverFileName(const TakeOverName& n) {
    char tail[64];
    std::snprintf(tail, sizeof tail, "-f%ld-%04d%02d%02d-%02d%02d%02d.rep", n.frame, n.year, n.month, n.day,
                  n.hour, n.minute, n.second);
    return "takeover-" + n.origin + tail;
}

} // namespace kestrow
