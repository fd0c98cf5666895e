// Two runs' scores side by side, as `tolvane-replay compare` gives them, for the page's
// plot: each game played headless on its own (a game's score never depends on the
// other's), then compared frame by frame, an ended game keeping its final score.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session/race.h"

namespace web {

struct PlayedGame {
    bool ok = false;
    long end = -1;                   // the frame in which the game ended
    std::vector<tolvane::i32> score; // after each frame 0..end
    std::vector<tolvane::SplitPoint> points;
    // Whether the game still ran at each point: after that frame, or at its end for a
    // point that comes later (then it counts only while the other game still runs).
    std::vector<char> running;
};

// Plays a replay's bytes to the end, drawing nothing and sounding nothing (beside a game
// that does). False, with the loader's reason, for bytes that are not a replay or a game
// that does not end within the replay's frames.
bool playHeadless(std::string_view bytes, PlayedGame& out, std::string* why);

// A against B as one JSON object: "every" (60), "a" and "b" (the scores after frames 0,
// 60, 120, ... up to the later end), "splits" (A's stage starts and boss entries while it
// ran: {"frame", "split", "a", "b", "diff"}), "lost" (the three 10-second spans in which
// A lost most: {"from", "to", "by"}), "endA", "endB" and the final scores "finalA",
// "finalB". {"error": ...} when either has not been played.
std::string compareJson(const PlayedGame& a, const PlayedGame& b);

} // namespace web
