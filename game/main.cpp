// tolvane: the game. No argument plays a live game; any argument plays back the
// replay file it names (the arguments joined with blanks, so an unquoted path with
// blanks arrives whole). A leading `--rival FILE` races the game, live or played back,
// against the run of that replay; it is read only as the first two arguments.
#include <string>

#include "session/session.h"

int main(int argc, char** argv) {
    int first = 1;
    std::string rival;
    if (argc >= 3 && std::string(argv[1]) == "--rival") {
        rival = argv[2];
        first = 3;
    }
    std::string commandLine;
    for (int i = first; i < argc; ++i) {
        if (i > first) commandLine += ' ';
        commandLine += argv[i];
    }
    return tolvane::runGame(commandLine, rival);
}
