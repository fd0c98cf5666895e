// Shared play between two runs: world hashes, the index keys (MinHash bands over aligned
// blocks of input, exact world keys) and the frame-by-frame comparison.
#include "server/branches.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <unordered_set>

#include "session/world_state.h"

namespace tolvane::server::branches {

namespace {

constexpr unsigned char kInputBits = 0x1F;
// An unshared frame weighs as much as the shared ones a copy keeps beside it.
constexpr long kUnsharedWeight = kSharePercent / (100 - kSharePercent);

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

struct Hasher {
    std::uint64_t h = 0x6A09E667F3BCC908ull;
    void add(std::uint64_t v) { h = mix(h ^ v); }
};

std::int64_t asKey(std::uint64_t h) {
    const auto k = static_cast<std::int64_t>(h);
    return k == 0 ? 1 : k;
}

// One seed per MinHash function, the same for every run and every version of the server
// that keeps these keys.
const std::array<std::uint64_t, kBands * kRows>& seeds() {
    static const auto s = [] {
        std::array<std::uint64_t, kBands * kRows> out{};
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = mix(0x7E57AB1Eull + i);
        return out;
    }();
    return s;
}

} // namespace

std::uint64_t worldHash(const World& w) {
    Hasher h;
    for (std::int64_t v :
         {std::int64_t{w.frameCounter},  std::int64_t{w.timeLeft},      std::int64_t{w.gameEnded},
          std::int64_t{w.shipX},         std::int64_t{w.shipY},         std::int64_t{w.entryTimer},
          std::int64_t{w.blinkTimer},    std::int64_t{w.bombStock},     std::int64_t{w.bombTimer},
          std::int64_t{w.aimAngle},      std::int64_t{w.score},         std::int64_t{w.chain},
          std::int64_t{w.chainBase},     std::int64_t{w.maxChain},      std::int64_t{w.totalContacts},
          std::int64_t{w.gauge},         std::int64_t{w.level},         std::int64_t{w.gaugePenalty},
          std::int64_t{w.finalBonus},    std::int64_t{w.timeBonus},     std::int64_t{w.bombBonus},
          std::int64_t{w.shakeBoost},    std::int64_t{w.scriptCursor},  std::int64_t{w.prevUp},
          std::int64_t{w.prevDown},      std::int64_t{w.prevLeft},      std::int64_t{w.prevRight},
          std::int64_t{w.tapWindowUp},   std::int64_t{w.tapWindowDown}, std::int64_t{w.tapWindowLeft},
          std::int64_t{w.tapWindowRight}})
        h.add(static_cast<std::uint64_t>(v));
    h.add(w.rng.state);
    h.add(w.rng.inc);
    // The objects in play are left out: scanning every slot after every frame would cost
    // about as much as the game itself, and the generator's state, drawn from by what
    // they do, already tells two worlds apart.
    return h.h;
}

std::uint64_t frameHash(const World& w) {
    auto pack = [](std::initializer_list<std::int64_t> values, int bits) {
        std::uint64_t word = 0;
        for (std::int64_t v : values)
            word = (word << bits) | (static_cast<std::uint64_t>(v) & ((1ull << bits) - 1));
        return word;
    };
    // The 32-bit fields two to a word, the 16-bit ones four to a word: every bit kept.
    const std::uint64_t words[] = {
        pack({w.frameCounter, w.timeLeft}, 32),
        pack({w.score, w.chain}, 32),
        pack({w.chainBase, w.maxChain}, 32),
        pack({w.totalContacts, w.finalBonus}, 32),
        pack({w.timeBonus, w.bombBonus}, 32),
        pack({w.gameEnded, w.shipX, w.shipY, w.entryTimer}, 16),
        pack({w.blinkTimer, w.bombStock, w.bombTimer, w.aimAngle}, 16),
        pack({w.gauge, w.level, w.gaugePenalty, w.shakeBoost}, 16),
        pack({w.scriptCursor, w.prevUp, w.prevDown, w.prevLeft}, 16),
        pack({w.prevRight, w.tapWindowUp, w.tapWindowDown, w.tapWindowLeft}, 16),
        pack({w.tapWindowRight}, 16),
        w.rng.state,
        w.rng.inc,
    };
    // A multiply-rotate step per word and one full mix at the end.
    std::uint64_t h = 0x243F6A8885A308D3ull;
    for (std::uint64_t v : words) {
        h = (h ^ v) * 0x9FB21C651E98DF25ull;
        h = (h << 29) | (h >> 35);
    }
    return mix(h);
}

Played play(std::string_view replay) {
    Played out;
    std::vector<std::uint64_t> world, blocks;
    world.reserve(9000);
    blocks.reserve(9000 / kBlock + 1);
    out.verdict = verdict::verifyReplay(replay, [&](const World& w, long index) {
        world.push_back(frameHash(w));
        if ((index + 1) % kBlock == 0) blocks.push_back(worldHash(w));
    });
    if (!out.verdict.ok) return out;
    const auto frames = static_cast<std::size_t>(out.verdict.figures.frames);
    // The game's bytes: the count, the input of each frame played (unused bits cleared).
    out.play.input = out.verdict.game.substr(4, frames);
    world.resize(frames);
    blocks.resize(static_cast<std::size_t>(frames) / kBlock);
    out.play.world = std::move(world);
    out.play.blocks = std::move(blocks);
    return out;
}

std::vector<std::int64_t> keys(const Play& p, std::vector<std::int64_t>* worldKeys) {
    const long blocks = p.frames() / kBlock;
    if (blocks == 0) return {};
    // Every block keeps its world key and its bands; the chunks share what is left of the
    // budget, each run keeping the first ones of the same order, so that a long run and a
    // short one still have their first chunks in common.
    const long chunks =
        std::clamp<long>(static_cast<long>(kMaxKeys) / blocks - 1 - kBands, 0, kBlock / kChunk);
    const auto& seed = seeds();
    std::vector<std::int64_t> out;
    std::unordered_set<std::int64_t> seen;
    auto put = [&](std::uint64_t h) {
        const std::int64_t k = asKey(h);
        if (out.size() < kMaxKeys && seen.insert(k).second) out.push_back(k);
    };
    auto in = [&](long f) {
        return static_cast<unsigned char>(p.input[static_cast<std::size_t>(f)]) & kInputBits;
    };
    long pressedSoFar = 0;
    std::array<std::uint64_t, kBands * kRows> sig{};
    for (long b = 0; b < blocks; ++b) {
        const long start = b * kBlock, end = start + kBlock;
        long pressed = 0;
        for (long f = start; f < end; ++f) pressed += in(f) != 0;
        pressedSoFar += pressed;
        // Early worlds are the same for everyone who is still in a corner of the screen.
        if (b >= kFirstWorldBlock && pressedSoFar >= kBlockActive &&
            static_cast<std::size_t>(b) < p.blocks.size()) {
            Hasher h;
            h.add(2);
            h.add(static_cast<std::uint64_t>(b));
            h.add(p.blocks[static_cast<std::size_t>(b)]);
            const std::size_t before = out.size();
            put(h.h);
            if (worldKeys && out.size() > before) worldKeys->push_back(out.back());
        }
        if (pressed < kBlockActive) continue;
        sig.fill(~0ull);
        for (long f = start; f < end; ++f) {
            if (!in(f)) continue;
            const std::uint64_t element = (static_cast<std::uint64_t>(f) << 8) | in(f);
            for (std::size_t i = 0; i < sig.size(); ++i) sig[i] = std::min(sig[i], mix(element ^ seed[i]));
        }
        for (int band = 0; band < kBands; ++band) {
            Hasher h;
            h.add(1);
            h.add(static_cast<std::uint64_t>(b));
            h.add(static_cast<std::uint64_t>(band));
            for (int r = 0; r < kRows; ++r) h.add(sig[static_cast<std::size_t>(band * kRows + r)]);
            put(h.h);
        }
        // Chunks of exact input, in a fixed order that spreads them over the block; only
        // those with a few changes of input, which no two players make at the same frames.
        for (long c = 0; c < chunks; ++c) {
            const long from = start + ((c * 7) % (kBlock / kChunk)) * kChunk;
            long changes = 0, down = 0;
            Hasher h;
            h.add(3);
            h.add(static_cast<std::uint64_t>(from));
            for (long f = from; f < from + kChunk; ++f) {
                changes += f > 0 && in(f) != in(f - 1);
                down += in(f) != 0;
                h.add(in(f));
            }
            if (changes >= kChunkChanges && down >= kChunk / 3) put(h.h);
        }
    }
    return out;
}

bool inputsCopy(const Play& run, std::string_view originalGame) {
    if (originalGame.size() < 4) return false;
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n |= static_cast<std::uint32_t>(static_cast<unsigned char>(originalGame[static_cast<std::size_t>(i)]))
             << (8 * i);
    Play inputs;
    inputs.input = std::string(originalGame.substr(4, std::min<std::size_t>(n, originalGame.size() - 4)));
    // Worlds that never meet the run's: only the inputs can be shared.
    inputs.world.resize(inputs.input.size());
    for (std::size_t f = 0; f < inputs.world.size(); ++f)
        inputs.world[f] = f < run.world.size() ? ~run.world[f] : 0;
    return compare(run, inputs).branch;
}

Sharing compare(const Play& run, const Play& original) {
    Sharing s;
    const long n = run.frames();
    const auto un = static_cast<std::size_t>(n);
    // Per frame: counts (either pressed), shared, and the run pressed.
    std::vector<unsigned char> counts(un), shared(un);
    std::vector<long> countSum(un + 1, 0), sharedSum(un + 1, 0);
    for (std::size_t f = 0; f < un; ++f) {
        const unsigned char a = static_cast<unsigned char>(run.input[f]) & kInputBits;
        const unsigned char b =
            f < original.input.size() ? static_cast<unsigned char>(original.input[f]) & kInputBits : 0;
        const bool sameWorld =
            f < run.world.size() && f < original.world.size() && run.world[f] == original.world[f];
        counts[f] = (a | b) != 0;
        shared[f] = counts[f] && (a == b || sameWorld);
        countSum[f + 1] = countSum[f] + counts[f];
        sharedSum[f + 1] = sharedSum[f] + shared[f];
        s.runActive += a != 0;
    }
    // The windows that are copies, and the frames they cover.
    std::vector<long> cover(un + 1, 0);
    // The first stretch of shared play runs from the first copied window to the first
    // window that is not a copy though enough was pressed in it; windows with little
    // pressed leave it going.
    long lastOfFirst = -1, stretchEnd = n;
    for (long start = 0; start + kWindow <= n; ++start) {
        const auto a = static_cast<std::size_t>(start), b = static_cast<std::size_t>(start + kWindow);
        const long c = countSum[b] - countSum[a], sh = sharedSum[b] - sharedSum[a];
        if (c < kWindowActive) continue;
        if (sh * 100 < c * kSharePercent) {
            if (lastOfFirst >= 0 && stretchEnd == n) stretchEnd = start + kWindow;
            continue;
        }
        ++cover[a];
        --cover[b];
        if (stretchEnd == n) lastOfFirst = start;
    }
    if (lastOfFirst < 0) return s;
    s.branch = true;
    long covered = 0;
    for (std::size_t f = 0; f < un; ++f) {
        covered += cover[f];
        if (covered > 0 && shared[f]) {
            ++s.shared;
            s.runShared += (static_cast<unsigned char>(run.input[f]) & kInputBits) != 0;
        }
    }
    // Where the first stretch stops: from its last copied window on, the last point
    // before unshared frames outweigh shared ones four to one (the share a copy keeps).
    long best = 0, sum = 0, at = lastOfFirst;
    for (long f = lastOfFirst; f < stretchEnd; ++f) {
        const auto i = static_cast<std::size_t>(f);
        if (counts[i]) sum += shared[i] ? 1 : -kUnsharedWeight;
        if (sum >= best) {
            best = sum;
            at = f + 1;
        }
    }
    s.frame = at;
    return s;
}

} // namespace tolvane::server::branches
