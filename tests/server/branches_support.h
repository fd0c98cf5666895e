// Replays for the branch tests and the index's bench: games of random human-like input
// from a seeded generator, and the ways a leader's game is copied.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A replay file of `input` (one byte per frame) and the 0 entry after it.
inline std::string replayOf(const std::string& input) {
    const auto n = static_cast<std::uint32_t>(input.size());
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(n >> (8 * i));
    return s + input + '\0';
}

constexpr unsigned char kUp = 1, kDown = 2, kLeft = 4, kRight = 8, kBomb = 16;

// Input as a person plays: a direction (or none) held for a random while, now and then a
// bomb. `frames` long.
inline std::string humanInput(std::uint32_t seed, std::size_t frames) {
    std::mt19937 rng(seed);
    static const unsigned char moves[] = {0,           kUp,          kDown,         kLeft,         kRight,
                                          kUp | kLeft, kUp | kRight, kDown | kLeft, kDown | kRight};
    std::string out;
    while (out.size() < frames) {
        const unsigned char move = moves[std::uniform_int_distribution<int>(0, 8)(rng)];
        const std::size_t hold = std::uniform_int_distribution<std::size_t>(4, 90)(rng);
        for (std::size_t i = 0; i < hold && out.size() < frames; ++i) out += static_cast<char>(move);
        if (std::uniform_int_distribution<int>(0, 30)(rng) == 0)
            out.back() = static_cast<char>(out.back() | kBomb);
    }
    return out;
}

// A whole game of human-like input: long enough for the time to run out.
inline std::string humanGame(std::uint32_t seed) { return replayOf(humanInput(seed, 12000)); }

struct Cheat {
    const char* what;
    std::string bytes;
    long stops;        // the frame where the copied play stops
    double share;      // the share of its pressed frames that is the leader's, at least
    bool worldsDiffer; // no world after the change is the leader's
};

// The ways of making a leader's game (the bytes of Verified::game) one's own.
inline std::vector<Cheat> cheats(const std::string& game) {
    const std::string input = game.substr(4, game.size() - 5);
    const long n = static_cast<long>(input.size());
    // Where a changed input first differs from the leader's, from `from` on.
    auto firstDifference = [&](const std::string& changed, long from) {
        for (long f = from; f < static_cast<long>(changed.size()); ++f)
            if ((changed[static_cast<std::size_t>(f)] & 0x1F) != (input[static_cast<std::size_t>(f)] & 0x1F))
                return f;
        return static_cast<long>(changed.size());
    };
    auto replaced = [&](std::string in, long from, long to, std::uint32_t seed) {
        const std::string other = humanInput(seed, static_cast<std::size_t>(to - from));
        in.replace(static_cast<std::size_t>(from), other.size(), other);
        return in;
    };
    std::vector<Cheat> out;
    {
        const std::string in = replaced(input, n - 1800, n, 11);
        out.push_back({"the last 30 s replaced", replayOf(in), firstDifference(in, n - 1800), 0.85, false});
    }
    {
        const std::string in = replaced(input, n / 2 - 900, n / 2 + 900, 12);
        out.push_back(
            {"30 s in the middle replaced", replayOf(in), firstDifference(in, n / 2 - 900), 0.85, false});
    }
    {
        std::string in = replaced(input, n - 1800, n, 13);
        in[0] = static_cast<char>(kLeft); // during the fly-in: changes nothing
        out.push_back({"a press that changes nothing, and a new end", replayOf(in), firstDifference(in, 1),
                       0.85, false});
    }
    {
        // The first press after 10 s, started three frames early.
        std::string in = input;
        long p = 600;
        while (p < n && (in[static_cast<std::size_t>(p)] == in[static_cast<std::size_t>(p - 1)] ||
                         !(in[static_cast<std::size_t>(p)] & 0x0F)))
            ++p;
        for (long f = p - 3; f < p; ++f) in[static_cast<std::size_t>(f)] = in[static_cast<std::size_t>(p)];
        out.push_back({"a press moved three frames earlier", replayOf(in), n, 0.95, true});
    }
    {
        std::string in = input;
        for (long f = 60; f + 1 < n; f += 60) {
            in[static_cast<std::size_t>(f)] = static_cast<char>(kLeft);
            in[static_cast<std::size_t>(f + 1)] = static_cast<char>(kRight);
        }
        out.push_back({"a step left and back every second", replayOf(in), n, 0.9, false});
    }
    {
        std::string in = input;
        for (long f = n / 2; f < n; ++f) in[static_cast<std::size_t>(f)] = 0;
        out.push_back({"the first half only", replayOf(in), firstDifference(in, n / 2), 0.99, false});
    }
    return out;
}

} // namespace testsupport
