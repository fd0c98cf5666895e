// The arithmetic of the world: integers wrap silently to the width of the field they
// are stored into, reals stored into integers round to nearest with ties to even, and
// Int rounds down. Doing the sums in a wider type and narrowing on store keeps all of
// this free of undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>

namespace tolvane {

// Narrowing stores: modulo 2^n, as C++20 defines the conversion.
constexpr std::int16_t wrap16(std::int64_t v) { return static_cast<std::int16_t>(v); }
constexpr std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(v); }
constexpr std::uint8_t wrap8(std::int64_t v) { return static_cast<std::uint8_t>(v); }

// A real rounded to the nearest whole number, ties to even, as an exact 64-bit value
// that still wraps correctly when narrowed (NaN gives 0).
inline std::int64_t roundToInt(double x) {
    // Below 2^51 adding and taking away 1.5 * 2^52 leaves x rounded to the nearest
    // integer, ties to even (the default rounding of every double sum): no library call.
    if (std::fabs(x) < 2251799813685248.0) {
        double shifted = x + 6755399441055744.0; // not folded: no -ffast-math here
        return static_cast<std::int64_t>(shifted - 6755399441055744.0);
    }
    double r = std::nearbyint(x);
    if (std::isnan(r)) return 0;
    if (r >= 9.0e18 || r <= -9.0e18) r = std::fmod(r, 4294967296.0);
    return static_cast<std::int64_t>(r);
}

// A real stored into a 16-bit or 32-bit field.
inline std::int16_t round16(double x) { return wrap16(roundToInt(x)); }
inline std::int32_t round32(double x) { return wrap32(roundToInt(x)); }

// Int(): the whole part toward minus infinity.
inline double intPart(double x) { return std::floor(x); }

// Degrees to radians with the game's own value of pi, evaluated left to right.
inline double radians(double degrees) { return degrees * 3.14 / 180.0; }

// A 32-bit field plus a value, wrapping.
constexpr std::int32_t add32(std::int32_t a, std::int64_t b) {
    return wrap32(static_cast<std::int64_t>(a) + b);
}

} // namespace tolvane
