// The game's random generator: PCG32 seeded with 0 on stream 0.
#include <gtest/gtest.h>

#include "session/random.h"

using namespace tolvane;

TEST(Random, FirstOutputsAfterSeedingWithZero) {
    Pcg32 rng{};
    pcg32Seed(rng, 0, 0);
    const std::uint32_t expected[] = {0xe4c14788u, 0x379c6516u, 0x5c4ab3bbu, 0x601d23e0u};
    for (std::uint32_t e : expected) EXPECT_EQ(pcg32Next(rng), e);
}

TEST(Random, DrawsAreTheTop24BitsAsFloats) {
    Pcg32 rng{};
    pcg32Seed(rng, 0, 0);
    const float expected[] = {0.893574178f, 0.217230141f, 0.360514820f, 0.375444591f};
    for (float e : expected) EXPECT_FLOAT_EQ(randomDraw(rng), e);
    // Every draw is a multiple of 2^-24 below 1.
    for (int i = 0; i < 10000; ++i) {
        float r = randomDraw(rng);
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        EXPECT_EQ(r * 16777216.0f, static_cast<float>(static_cast<std::uint32_t>(r * 16777216.0f)));
    }
}

TEST(Random, ReseedingRestartsTheSequence) {
    Pcg32 a{}, b{};
    pcg32Seed(a, 0, 0);
    for (int i = 0; i < 100; ++i) pcg32Next(a);
    pcg32Seed(a, 0, 0);
    pcg32Seed(b, 0, 0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(pcg32Next(a), pcg32Next(b));
}
