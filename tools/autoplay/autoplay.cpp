// autoplay: plays a whole game headless with a simple look-ahead player and writes its
// replay, as a live game would have saved it. Used to make golden replays and long
// games for tests and screenshots.
//   autoplay OUT.rep [--seed S] [--lookahead F] [--no-bombs]
// Each frame it tries every direction (held for the look-ahead), keeps the one that
// misses least, then scores most and stays near the lower middle; it bombs when every
// direction runs into a miss. The seed only breaks ties, so the play stays varied.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>

#include "media/dtools.h"
#include "records/records.h"
#include "session/harness.h"

using namespace tolvane;

namespace {

constexpr u8 kMoves[9] = {0, 1, 2, 4, 8, 1 | 4, 1 | 8, 2 | 4, 2 | 8};

struct Outcome {
    int misses = 0;
    long gained = 0;
    int distance = 0;
};

// Plays `frames` frames of a copy of the world holding one input.
Outcome tryMove(const World& from, Session& trial, u8 move, int frames) {
    World& scratch = trial.world();
    std::memcpy(static_cast<void*>(&scratch), &from, sizeof(World));
    Outcome o;
    for (int f = 0; f < frames && scratch.gameEnded == 0; ++f) {
        if (scratch.replayFrame >= 0 && scratch.replayFrame <= kLastReplayIndex) {
            scratch.replayInput[scratch.replayFrame] = move;
        }
        i16 entryBefore = scratch.entryTimer;
        trial.frame();
        if (entryBefore == 0 && scratch.entryTimer != 0) ++o.misses;
    }
    o.gained = static_cast<long>(scratch.score) - from.score;
    o.distance = std::abs(scratch.shipX - 320) + 2 * std::abs(scratch.shipY - 360);
    return o;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: autoplay OUT.rep [--seed S] [--lookahead F] [--no-bombs]\n");
        return 1;
    }
    unsigned seed = 1;
    int lookahead = 14;
    bool bombs = true;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = static_cast<unsigned>(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--lookahead") && i + 1 < argc)
            lookahead = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-bombs"))
            bombs = false;
    }
    media::setDrawBackend(media::DrawBackend::Null);
    Session game, trial;
    World& w = game.world();
    game.preparePlayback(); // the player writes each frame's byte before the frame decodes it
    game.begin();
    std::mt19937 rng(seed);
    u8 previous = 0;
    while (w.gameEnded == 0) {
        u8 best = 0;
        Outcome bestOutcome{1 << 30, 0, 1 << 30};
        int start = static_cast<int>(rng() % 9);
        for (int k = 0; k < 9; ++k) {
            u8 move = kMoves[(start + k) % 9];
            Outcome o = tryMove(w, trial, move, lookahead);
            bool better = o.misses < bestOutcome.misses ||
                          (o.misses == bestOutcome.misses &&
                           (o.gained * 4 - o.distance > bestOutcome.gained * 4 - bestOutcome.distance));
            if (better) {
                best = move;
                bestOutcome = o;
            }
        }
        u8 input = best;
        // A bomb when a miss looks certain (the bomb bit means "newly pressed").
        if (bombs && bestOutcome.misses > 0 && w.bombStock > 0 && w.bombTimer == 0 && !(previous & 16) &&
            w.entryTimer == 0) {
            input |= 16;
        }
        w.replayInput[w.replayFrame] = input;
        previous = input;
        game.frame();
    }
    // The file holds entries 0..N with N the frames played, the last entry 0.
    const std::int32_t n = w.replayFrame;
    w.replayInput[n] = 0;
    const std::string bytes = replayFileBytes(w);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::printf("{\"frames\": %d, \"score\": %d, \"level\": %d, \"maxChain\": %d, \"timeLeft\": %d}\n", n,
                w.score, w.level, w.maxChain, w.timeLeft);
    return out ? 0 : 1;
}
