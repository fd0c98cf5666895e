// Fuzzes the game's command line (game/session/arguments.h): the bytes are the arguments,
// split at NUL as the program gets them. An accepted line keeps every word but the
// options in order, takes over only at the whole number written, and never without a
// replay; a refused one says why.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "session/arguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string word;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) args.push_back(word);

    tolvane::GameArguments got;
    std::string why;
    if (!tolvane::parseGameArguments(args, got, &why)) {
        check(!why.empty());
        return 0;
    }
    // The words as the rule reads them, worked out here again.
    std::size_t first = 0, last = args.size();
    if (args.size() >= 2 && args[0] == "--rival") first = 2;
    check(got.rival == (first == 2 ? args[1] : std::string()));
    check(got.takeOver >= -1 && got.takeOver <= 999999999);
    if (got.takeOver >= 0) {
        check(last >= first + 3 && args[last - 2] == "--take-over");
        const std::string& n = args[last - 1];
        check(!n.empty() && n.find_first_not_of("0123456789") == std::string::npos);
        long value = 0;
        for (char c : n) value = value * 10 + (c - '0');
        check(value == got.takeOver);
        check(!got.commandLine.empty());
        last -= 2;
    } else {
        check(last == first || args[last - 1] != "--take-over");
    }
    std::string joined;
    for (std::size_t i = first; i < last; ++i) joined += (i > first ? " " : "") + args[i];
    check(got.commandLine == joined);
    return 0;
}
