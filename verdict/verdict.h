// The verdict on a replay that came from outside (a submission, a download): the game
// played from its bytes headless, exactly as `tolvane-replay verify` plays a file, the
// figures it earns, the run's id, and the bytes that are the game itself. The server
// ranks by it; the menu checks what a server sends with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tolvane {
struct World;
}

namespace tolvane::verdict {

// Once at start-up, before any game runs: headless drawing, no pictures. Games may
// then be verified on several threads at once.
void setUpHeadlessGames();

// What the game computed for a replay, as `tolvane-replay verify` prints it.
struct Figures {
    std::int64_t frames = 0, endFrame = 0, score = 0, level = 0, maxChain = 0, totalContacts = 0,
                 timeBonus = 0, finalBonus = 0, timeLeft = 0;
    bool operator==(const Figures&) const = default;
};

struct Verified {
    bool ok = false;
    std::string reason; // why the replay cannot be used, in the game's words
    Figures figures;
    // The run's id: SHA-256 (hex) of the input of every frame up to and including the
    // one in which the game ended, as the game reads it (the three unused bits of each
    // byte cleared, frames past the file's end as 0). What is pressed after the end, or
    // in bits the game ignores, does not make another game.
    std::string id;
    // The game itself as a replay file: the count set to the frames played, the input
    // of those frames with the unused bits cleared, and the one 0 entry the game always
    // writes after them. Nothing the sender added past the end is kept.
    std::string game;
};

// Called after every frame that was played, with the world as it stands and the
// frame's index (0 first), in order; the world must not be changed.
using FrameObserver = std::function<void(const World&, long frame)>;

Verified verifyReplay(std::string_view bytes, const FrameObserver& afterFrame = {});

// The stored form of a replay file whose game ended in frame `endFrame` (see
// Verified::game): entries past the file's count, or past its end, play as 0.
std::string gameBytes(std::string_view replay, std::int64_t endFrame);

// Lowercase hex digits of bytes, and SHA-256 of bytes in hex.
std::string hexOf(std::string_view bytes);
std::string sha256Hex(std::string_view bytes);

} // namespace tolvane::verdict
