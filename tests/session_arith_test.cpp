// The arithmetic of the world: rounding ties to even, wrapping stores, Int.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "session/arith.h"

using namespace tolvane;

TEST(Arith, RoundsToNearestWithTiesToEven) {
    struct Case {
        double x;
        long long r;
    } cases[] = {{0.5, 0},
                 {1.5, 2},
                 {2.5, 2},
                 {-0.5, 0},
                 {-1.5, -2},
                 {-2.5, -2},
                 {0.49999999999999994, 0},
                 {8.5, 8},
                 {255.5, 256},
                 {-270.52, -271},
                 {1e15 + 0.5, 1000000000000000},
                 {4503599627370497.0, 4503599627370497},
                 {3e18, 3000000000000000000LL},
                 {-0.0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(roundToInt(c.x), c.r) << c.x;
        if (std::fabs(c.x) < 1e18) {
            EXPECT_EQ(roundToInt(c.x), static_cast<long long>(std::nearbyint(c.x))) << c.x;
        }
    }
    EXPECT_EQ(roundToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}

// The rounding the game had before it used the processor's conversion: adding and
// taking away 1.5 * 2^52 below 2^51, nearbyint above, modulo 2^32 beyond 9e18.
long long roundByMagicNumber(double x) {
    if (std::fabs(x) < 2251799813685248.0) {
        volatile double shifted = x + 6755399441055744.0;
        return static_cast<long long>(shifted - 6755399441055744.0);
    }
    double r = std::nearbyint(x);
    if (std::isnan(r)) return 0;
    if (r >= 9.0e18 || r <= -9.0e18) r = std::fmod(r, 4294967296.0);
    return static_cast<long long>(r);
}

TEST(Arith, TheProcessorsConversionRoundsLikeTheMagicNumber) {
    std::vector<double> edges = {
        0.0,    0.5,    1.0,          1.5,          2.5,          0.49999999999999994,
        1e-310, 5e-324, 2147483647.5, 2147483648.5, 4294967295.5, 4294967296.5};
    for (int e = 0; e <= 63; ++e) {
        double p = std::ldexp(1.0, e);
        for (double d : {-1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.5}) edges.push_back(p + d);
    }
    for (double big : {4503599627370496.0, 9007199254740992.0, 9.0e18, 9223372036854775808.0, 1e300,
                       std::numeric_limits<double>::max()}) {
        edges.push_back(big);
        edges.push_back(std::nextafter(big, 0.0));
        edges.push_back(std::nextafter(big, HUGE_VAL));
    }
    // Every tie and its neighbours over the range of the 16-bit fields and beyond.
    for (int k = -70000; k <= 70000; ++k) {
        double tie = k + 0.5;
        edges.push_back(tie);
        edges.push_back(std::nextafter(tie, -HUGE_VAL));
        edges.push_back(std::nextafter(tie, HUGE_VAL));
    }
    for (double x : edges) {
        for (double v : {x, -x}) {
            if (!std::isfinite(v)) continue; // below
            ASSERT_EQ(roundToInt(v), roundByMagicNumber(v)) << std::hexfloat << v;
            ASSERT_EQ(round16(v), static_cast<std::int16_t>(roundByMagicNumber(v))) << std::hexfloat << v;
            ASSERT_EQ(round32(v), static_cast<std::int32_t>(roundByMagicNumber(v))) << std::hexfloat << v;
        }
    }
    // NaN and the infinities leave nothing in a field.
    for (double v : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(roundToInt(v), 0) << v;
        EXPECT_EQ(round32(v), 0) << v;
    }
}

TEST(Arith, StoresWrapToTheFieldsWidth) {
    EXPECT_EQ(wrap16(32767 + 1), -32768);
    EXPECT_EQ(wrap16(-32769), 32767);
    EXPECT_EQ(wrap8(256 + 7), 7);
    EXPECT_EQ(add32(2147483647, 1), -2147483647 - 1);
    EXPECT_EQ(round16(65536.0 + 300.4), 300);
    EXPECT_EQ(round32(4294967296.0 * 3 + 5.5), 6);
}

TEST(Arith, IntRoundsDownAndAnglesUseThreePointOneFour) {
    EXPECT_EQ(intPart(-3.5), -4);
    EXPECT_EQ(intPart(3.99), 3);
    EXPECT_DOUBLE_EQ(radians(180), 3.14);
    EXPECT_DOUBLE_EQ(radians(90), 90 * 3.14 / 180);
}
