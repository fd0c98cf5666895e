// Whether a run's play is another run's: the play of a run (its input and a hash of its
// world after every frame), the keys that find the stored runs it may share play with,
// and the exact comparison that decides. Pure functions; the store keeps the keys.
//
// A frame counts when either run pressed something in it (input & 0x1F not zero); it is
// shared when both pressed the same or both worlds are equal after it. A run is a copy
// of another over a window of 10 s (600 frames) in which at least kWindowActive frames
// count and 80 % of those are shared; a run with such a window is a branch of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "verdict/verdict.h"

namespace tolvane {
struct World;
}

namespace tolvane::server::branches {

constexpr long kWindow = 600;       // 10 s
constexpr long kWindowActive = 150; // frames that count, at least, in a window that can be a copy
constexpr int kSharePercent = 80;   // of those, shared
// The keys, over aligned blocks of 5 s: the world after the block's last frame once the
// run has pressed kBlockActive frames (not in the first blocks); MinHash bands of the
// (frame, input) pairs of a block with at least kBlockActive pressed frames, strict
// enough that players who hold the same direction for a while rarely meet; and exact
// chunks of 0.5 s of input that change a few times, which scattered changes leave whole.
constexpr long kBlock = 300;
constexpr long kBlockActive = 60;
constexpr long kFirstWorldBlock = 2;
constexpr int kRows = 12; // MinHash values per band
constexpr int kBands = 2; // bands per block
constexpr long kChunk = 30;
constexpr long kChunkChanges = 2;
// A run's index: a row of (key, seq) is 16 bytes; 512 of them are 8 KiB.
constexpr std::size_t kKeyRowBytes = 16;
constexpr std::size_t kMaxKeys = 512;

// A run's play: the input of every frame played (the bits the game reads), a hash of
// the world after each of those frames (frameHash), and worldHash after the last frame
// of each whole block.
struct Play {
    std::string input;
    std::vector<std::uint64_t> world;
    std::vector<std::uint64_t> blocks;
    long frames() const { return static_cast<long>(input.size()); }
};

// The world's scalars that decide what follows: ship, score, chain, gauge, level, time,
// bombs, the input decoder's state and the random generator (which the objects in play
// draw from). The index's world keys are made of it, so it never changes: stored keys
// would stop meeting new ones.
std::uint64_t worldHash(const World& w);
// The same scalars, hashed for comparing two plays frame by frame: equal worlds give
// equal values, and it costs a third of worldHash. Never stored.
std::uint64_t frameHash(const World& w);

// The verdict on a replay, and its play, from one game.
struct Played {
    verdict::Verified verdict;
    Play play; // empty when the replay cannot be used
};
Played play(std::string_view replay);

// The keys of a run's index: at most kMaxKeys, none 0, no two the same. `worldKeys`, when
// given, gets those of them that stand for a world after a block.
std::vector<std::int64_t> keys(const Play& p, std::vector<std::int64_t>* worldKeys = nullptr);

// Whether the inputs alone, frame by frame, make `run` a copy of the game `original`
// (its stored bytes: verdict::Verified::game). Cheap, and no game is played: a stored
// run found by the index that neither passes this nor shares a world key with `run`
// cannot share 10 s of play with it, whatever its worlds are, closely enough to be worth
// playing again.
bool inputsCopy(const Play& run, std::string_view originalGame);

// What `run` shares with `original`, frame by frame.
struct Sharing {
    bool branch = false; // at least one window of 10 s is a copy
    long frame = 0;      // where the first stretch of shared play stops (0 to run.frames())
    long shared = 0;     // frames of shared play inside the copied windows
    long runShared = 0;  // of those, frames in which the run pressed something
    long runActive = 0;  // frames in which the run pressed something
    // The share of the run's pressed frames that are shared play.
    double fraction() const { return runActive ? static_cast<double>(runShared) / runActive : 0.0; }
};
Sharing compare(const Play& run, const Play& original);

} // namespace tolvane::server::branches
