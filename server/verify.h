// Playing a submitted replay with the game itself: the figures the server stores are
// the ones the game computes, never the ones a client claims.
#pragma once

#include <string>
#include <string_view>

#include "server/store.h"

namespace tolvane::server {

// Once at start-up, before any game runs: headless drawing, no pictures. Games may
// then be verified on several threads at once.
void setUpHeadlessGames();

struct Verified {
    bool ok = false;
    std::string reason; // why the replay cannot be used, in the game's words
    Figures figures;
    // The run's id: SHA-256 (hex) of the input of every frame up to and including the
    // one in which the game ended, as the game reads it (the three unused bits of each
    // byte cleared, frames past the file's end as 0). What is pressed after the end, or
    // in bits the game ignores, does not make another game.
    std::string id;
};

Verified verifyReplay(std::string_view bytes);

// Lowercase hex digits of bytes, and SHA-256 of bytes in hex.
std::string hexOf(std::string_view bytes);
std::string sha256Hex(std::string_view bytes);

} // namespace tolvane::server
