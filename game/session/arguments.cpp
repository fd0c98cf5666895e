// The command line of `tolvane`: a rival in front, a take-over's frame at the end.
#include "session/arguments.h"

#include <algorithm>

namespace tolvane {

bool parseGameArguments(const std::vector<std::string>& args, GameArguments& out, std::string* why) {
    auto refuse = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    out = {};
    std::size_t first = 0, last = args.size();
    if (args.size() >= 2 && args[0] == "--rival") {
        out.rival = args[1];
        first = 2;
    }
    if (last > first && args[last - 1] == "--take-over")
        return refuse("--take-over needs a frame number after it");
    if (last >= first + 2 && args[last - 2] == "--take-over") {
        const std::string& n = args[last - 1];
        // A whole number of at most nine digits (a game has fewer than 25,001 frames).
        if (n.empty() || n.size() > 9 ||
            !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return refuse("--take-over " + n + ": the frame must be a whole number (0, 1, 2, ...)");
        out.takeOver = std::stol(n);
        last -= 2;
        if (last == first) return refuse("--take-over needs a replay to take over");
    }
    for (std::size_t i = first; i < last; ++i) {
        if (i > first) out.commandLine += ' ';
        out.commandLine += args[i];
    }
    // An empty argument string is a live game, which has nothing to take over.
    if (out.takeOver >= 0 && out.commandLine.empty())
        return refuse("--take-over needs a replay to take over");
    return true;
}

} // namespace tolvane
