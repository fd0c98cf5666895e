// tolvane: the game. No argument plays a live game; any argument plays back the
// replay file it names (the arguments joined with blanks, so an unquoted path with
// blanks arrives whole). A leading `--rival FILE` races the game, live or played back,
// against the run of that replay; it is read only as the first two arguments. Two
// trailing words `--take-over FRAME` take the playback over at that frame.
#include <cstdio>
#include <string>
#include <vector>

#include "session/arguments.h"
#include "session/session.h"
#include "verdict/verdict.h"

namespace {

constexpr const char* kUsage = "usage: tolvane [--rival RIVAL.rep] [REPLAY.rep [--take-over FRAME]]\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    tolvane::GameArguments chosen;
    std::string why;
    if (!tolvane::parseGameArguments(args, chosen, &why)) {
        std::fprintf(stderr, "tolvane: %s\n%s", why.c_str(), kUsage);
        return 2;
    }
    // The run id names a take-over's replay after its original.
    return tolvane::runGame(chosen.commandLine, chosen.rival, chosen.takeOver,
                            [](std::string_view bytes) { return tolvane::verdict::verifyReplay(bytes).id; });
}
