// Playing a submitted replay with the game itself (verdict/): the figures the server
// stores are the ones the game computes, never the ones a client claims.
#pragma once

#include "verdict/verdict.h"

namespace tolvane::server {

using verdict::Figures;
using verdict::FrameObserver;
using verdict::gameBytes;
using verdict::hexOf;
using verdict::setUpHeadlessGames;
using verdict::sha256Hex;
using verdict::Verified;
using verdict::verifyReplay;

} // namespace tolvane::server
