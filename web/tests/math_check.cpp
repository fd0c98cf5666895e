// The arithmetic the simulation relies on, printed exactly (hexadecimal floats), so that
// the native and the web build can be compared line for line: sin and cos of every
// whole-degree heading and of the whole numbers newGame uses, atan of ratios of screen
// positions, and the roundings of doubles to floats and to whole numbers.
//   sections: "degree", "whole", "round" must be the same bytes in both builds;
//   "atan" is compared and its differences counted (see check_math.sh).
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// A fixed sequence of numbers: the same in both builds.
std::uint64_t state = 0x853c49e6748fea9bULL;
std::uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
}

} // namespace

int main() {
    for (int a = -1440; a <= 1440; ++a) {
        const double r = a * 3.14 / 180;
        std::printf("degree %d %a %a\n", a, std::sin(r), std::cos(r));
    }
    for (int k = 0; k <= 400; ++k) std::printf("whole %d %a\n", k, std::sin(static_cast<double>(k)));
    for (int i = 0; i < 100000; ++i) {
        // Positions as the game stores them (floats on and around the screen), their
        // products and quotients in double, stored back as floats and as integers.
        const float x = static_cast<float>(static_cast<int>(next() % 1600) - 480) + (next() % 64) / 64.0f;
        const float y = static_cast<float>(static_cast<int>(next() % 1200) - 360) + (next() % 64) / 64.0f;
        const double v = x * 0.37 - y / 3.0 + 0.5;
        std::printf("round %a %a %.9g %a %a %ld\n", static_cast<double>(static_cast<float>(v)),
                    static_cast<double>(static_cast<float>(x * y / 7.0)),
                    static_cast<double>(static_cast<float>(v)), std::nearbyint(v), std::floor(v / 3),
                    std::lround(v * 2));
        if (y != 0)
            std::printf("atan %a %a\n", x / static_cast<double>(y), std::atan(x / static_cast<double>(y)));
    }
    return 0;
}
