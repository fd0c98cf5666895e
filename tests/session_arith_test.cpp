// The arithmetic of the world: rounding ties to even, wrapping stores, Int.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
        if (std::fabs(c.x) < 1e18)
            EXPECT_EQ(roundToInt(c.x), static_cast<long long>(std::nearbyint(c.x))) << c.x;
    }
    EXPECT_EQ(roundToInt(std::numeric_limits<double>::quiet_NaN()), 0);
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
