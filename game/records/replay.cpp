// The replay file: the recorded input of one live game, one byte per frame, after a
// 32-bit little-endian count N. The file is N + 5 bytes: entries 0 to N.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "records/records.h"

namespace tolvane {

void saveReplay(World&, const std::string&) {}

std::string replayPathFromCommandLine(const std::string& commandLine) {
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"') {
        return commandLine.substr(1, commandLine.size() - 2);
    }
    return commandLine;
}

bool loadReplay(World& w, const std::string& commandLine, std::string* why) {
    const std::string path = replayPathFromCommandLine(commandLine);
    auto refuse = [&](const std::string& reason) {
        if (why) *why = "\"" + path + "\": " + reason;
        return false;
    };
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return refuse("the file does not exist");
    if (std::filesystem::is_directory(path, ec)) return refuse("this is a folder, not a replay file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return refuse("the file cannot be read");
    unsigned char head[4];
    if (!in.read(reinterpret_cast<char*>(head), 4)) return refuse("the file is too short to be a replay");
    const std::int32_t n = static_cast<std::int32_t>(static_cast<std::uint32_t>(head[0]) | (head[1] << 8) |
                                                     (head[2] << 16) | (static_cast<std::uint32_t>(head[3]) << 24));
    if (n < 0 || n > kLastReplayIndex) {
        return refuse("its frame count " + std::to_string(n) + " is outside 0 to " +
                      std::to_string(kLastReplayIndex));
    }
    if (!in.read(reinterpret_cast<char*>(w.replayInput), n + 1)) {
        return refuse("the file ends before its " + std::to_string(n + 1) + " input bytes");
    }
    w.replayFrame = 0;
    return true;
}

} // namespace tolvane
