// The arithmetic of the world: integers wrap silently to the width of the field they
// are stored into, reals stored into integers round to nearest with ties to even, and
// Int rounds down. Doing the sums in a wider type and narrowing on store keeps all of
// this free of undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace tolvane {

// Narrowing stores: modulo 2^n, as C++20 defines the conversion.
constexpr std::int16_t wrap16(std::int64_t v) { return static_cast<std::int16_t>(v); }
constexpr std::int32_t wrap32(std::int64_t v) { return static_cast<std::int32_t>(v); }
constexpr std::uint8_t wrap8(std::int64_t v) { return static_cast<std::uint8_t>(v); }

// A real beyond the processor's conversion, always a whole number: only its value
// modulo 2^32 is kept, all that a field of the world can hold. NaN and the infinities
// give 0.
[[gnu::const, gnu::noinline]] inline std::int64_t roundToIntFar(double x) {
    if (!std::isfinite(x)) return 0;
    return static_cast<std::int64_t>(std::fmod(x, 4294967296.0));
}

// A real rounded to the nearest whole number, ties to even, as an exact 64-bit value
// that still wraps correctly when narrowed. The processor's conversion rounds in the
// current mode, which the game never changes from round-to-nearest-even, and is exact
// for every double below 2^63; 9e18 keeps clear of that edge.
inline std::int64_t roundToInt(double x) {
    if (std::fabs(x) < 9.0e18) {
#if defined(__x86_64__)
        return _mm_cvtsd_si64(_mm_set_sd(x));
#else
        return std::llrint(x);
#endif
    }
    return roundToIntFar(x);
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
