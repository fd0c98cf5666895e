// The command line of `tolvane`.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// The arguments of `tolvane`: [--rival FILE] [REPLAY ...] [--take-over FRAME]. The words
// between are joined with blanks into the replay's argument string, as ever.
struct GameArguments {
    std::string rival;
    std::string commandLine;
    long takeOver = -1; // -1: none
};
// False, with a message for stderr, when the arguments cannot be used: a frame that is
// not a whole number, or a take-over without a replay.
bool parseGameArguments(const std::vector<std::string>& args, GameArguments& out, std::string* why);

} // namespace tolvane
