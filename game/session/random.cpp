#include "session/random.h"

namespace tolvane {

std::uint32_t pcg32Next(Pcg32& rng) {
    std::uint64_t old = rng.state;
    rng.state = old * 6364136223846793005ULL + rng.inc;
    auto xorshifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    auto rot = static_cast<std::uint32_t>(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((0u - rot) & 31u));
}

void pcg32Seed(Pcg32& rng, std::uint64_t initState, std::uint64_t initSeq) {
    rng.state = 0;
    rng.inc = (initSeq << 1u) | 1u;
    pcg32Next(rng);
    rng.state += initState;
    pcg32Next(rng);
}

float randomDraw(Pcg32& rng) { return static_cast<float>(pcg32Next(rng) >> 8) * (1.0f / 16777216.0f); }

} // namespace tolvane
