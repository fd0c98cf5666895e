// Verification runs the game exactly as `tolvane-replay verify` does: a Session in
// playback, headless, until the frame in which the end-of-game object is spawned.
#include "server/verify.h"

#include <sodium.h>

#include "media/dtools.h"
#include "records/records.h"
#include "session/harness.h"

namespace tolvane::server {

namespace {

// The game recorded no byte past the buffer; a game still going there was not recorded.
constexpr long kMaxVerifyFrames = kReplaySlots;

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

Verified verifyReplay(std::string_view bytes) {
    Verified v;
    Session game;
    if (!loadReplayBytes(game.world(), bytes, &v.reason)) return v;
    // What is played is the buffer as loaded; the id is taken from it before play.
    std::string input(reinterpret_cast<const char*>(game.world().replayInput), kReplaySlots);
    game.preparePlayback();
    game.world().running = 1;
    game.begin();
    const long end = game.runToEnd(kMaxVerifyFrames);
    if (end < 0) {
        v.reason = "the game did not end within " + std::to_string(kMaxVerifyFrames) + " frames";
        return v;
    }
    const World& w = game.world();
    v.figures = {end + 1,         end,         w.score,      w.level,   w.maxChain,
                 w.totalContacts, w.timeBonus, w.finalBonus, w.timeLeft};
    input.resize(static_cast<std::size_t>(end) + 1);
    for (char& b : input) b = static_cast<char>(b & 0x1F);
    v.id = sha256Hex(input);
    v.ok = true;
    return v;
}

} // namespace tolvane::server
