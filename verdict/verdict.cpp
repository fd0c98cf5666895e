// A replay played as `tolvane-replay verify` plays it: a Session in playback, headless,
// until the frame in which the end-of-game object is spawned.
#include "verdict/verdict.h"

#include <sodium.h>

#include "media/dtools.h"
#include "records/records.h"
#include "session/harness.h"

namespace tolvane::verdict {

namespace {

// The game recorded no byte past the buffer; a game still going there was not recorded.
constexpr long kMaxVerifyFrames = kReplaySlots;

// The input bits the game reads: up, down, left, right, bomb.
constexpr unsigned char kInputBits = 0x1F;

} // namespace

void setUpHeadlessGames() {
    media::setDrawBackend(media::DrawBackend::Null);
    DTInit(1, nullptr);
}

std::string hexOf(std::string_view bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                   bytes.size());
    out.pop_back();
    return out;
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return hexOf({reinterpret_cast<const char*>(digest), sizeof digest});
}

std::string gameBytes(std::string_view replay, std::int64_t endFrame) {
    const std::int64_t frames = endFrame + 1;
    std::string out(static_cast<std::size_t>(4 + frames + 1), '\0');
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((frames >> (8 * i)) & 0xFF);
    // The file's own count: entries past it are not played, whatever bytes follow.
    std::int64_t count = -1;
    if (replay.size() >= 4) {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n |= static_cast<std::uint32_t>(static_cast<unsigned char>(replay[static_cast<std::size_t>(i)]))
                 << (8 * i);
        count = static_cast<std::int32_t>(n);
    }
    for (std::int64_t f = 0; f < frames && f <= count; ++f) {
        const std::size_t at = static_cast<std::size_t>(4 + f);
        // Frames past the file's end read 0, as in playback.
        if (at < replay.size())
            out[at] = static_cast<char>(static_cast<unsigned char>(replay[at]) & kInputBits);
    }
    return out;
}

Verified verifyReplay(std::string_view bytes, const FrameObserver& afterFrame) {
    Verified v;
    Session game;
    if (!loadReplayBytes(game.world(), bytes, &v.reason)) return v;
    // What is played is the buffer as loaded (the file's bytes, zeros past its end).
    std::string played(4, '\0');
    for (int i = 0; i < 4; ++i)
        played[static_cast<std::size_t>(i)] = static_cast<char>((kLastReplayIndex >> (8 * i)) & 0xFF);
    played.append(reinterpret_cast<const char*>(game.world().replayInput), kReplaySlots);
    game.preparePlayback();
    game.world().running = 1;
    game.begin();
    long end = -1;
    if (afterFrame) {
        for (long f = 0; f < kMaxVerifyFrames && end < 0; ++f) {
            const long index = game.nextFrame();
            const bool ended = game.frame();
            afterFrame(game.world(), index);
            if (ended) end = index;
        }
    } else {
        end = game.runToEnd(kMaxVerifyFrames);
    }
    if (end < 0) {
        v.reason = "the game did not end within " + std::to_string(kMaxVerifyFrames) + " frames";
        return v;
    }
    const World& w = game.world();
    v.figures = {end + 1,         end,         w.score,      w.level,   w.maxChain,
                 w.totalContacts, w.timeBonus, w.finalBonus, w.timeLeft};
    v.game = gameBytes(played, end);
    v.id = sha256Hex(std::string_view(v.game).substr(4, static_cast<std::size_t>(end) + 1));
    v.ok = true;
    return v;
}

} // namespace tolvane::verdict
