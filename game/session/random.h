// The game's one random generator: PCG32 (XSH-RR, 64-bit state, 32-bit output).
// Every draw of a game comes from it, so the input bytes alone reproduce a game.
#pragma once

#include <cstdint>

namespace tolvane {

struct Pcg32 {
    std::uint64_t state;
    std::uint64_t inc;
};

// pcg32_srandom_r: seeds with an initial state and a stream selector.
void pcg32Seed(Pcg32& rng, std::uint64_t initState, std::uint64_t initSeq);

// The next 32-bit output.
std::uint32_t pcg32Next(Pcg32& rng);

// A draw in [0, 1): the top 24 bits of the next output, exact as a float.
float randomDraw(Pcg32& rng);

} // namespace tolvane
