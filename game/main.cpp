// tolvane: the game. No argument plays a live game; any argument plays back the
// replay file it names (the arguments joined with blanks, so an unquoted path with
// blanks arrives whole).
#include <string>

#include "session/session.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    return tolvane::runGame(commandLine);
}
