// The replay file: the recorded input of one live game, one byte per frame, after a
// 32-bit little-endian count N. The file is N + 5 bytes: entries 0 to N. Entry N
// belongs to the frame that had not been played when the game ended, so it is 0.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/records.h"

namespace tolvane {

std::string replayPathFromCommandLine(const std::string& commandLine) {
    if (commandLine.size() >= 2 && commandLine.front() == '"' && commandLine.back() == '"') {
        return commandLine.substr(1, commandLine.size() - 2);
    }
    return commandLine;
}

std::string replayFileBytes(const World& w) {
    const i32 n = w.replayFrame;
    if (n < 0 || n > kLastReplayIndex) return {};
    const auto u = static_cast<std::uint32_t>(n);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(n) + 5);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 0xFF));
    bytes.append(reinterpret_cast<const char*>(w.replayInput), static_cast<std::size_t>(n) + 1);
    return bytes;
}

void saveReplay(World& w, const std::string& prefix) {
    const std::string bytes = replayFileBytes(w);
    // The buffer ends at entry 25000; a count beyond it has no file to go with it.
    if (bytes.empty() || !writeRecord(prefix + "Replay.rep", bytes)) w.recordNotSaved = 1;
}

namespace {

// Reads up to `limit` bytes; false on a read error.
bool readUpTo(int fd, std::string& out, std::size_t limit) {
    out.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        ssize_t n = ::read(fd, out.data() + got, limit - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return true;
}

} // namespace

bool loadReplayBytes(World& w, std::string_view bytes, std::string* why) {
    auto refuse = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (bytes.size() < 4)
        return refuse("the file is too short to be a replay (" + std::to_string(bytes.size()) + " bytes)");
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto n = static_cast<i32>(std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                                    std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24);
    if (n < 0 || n > kLastReplayIndex) {
        return refuse("its frame count " + std::to_string(n) + " is outside 0 to " +
                      std::to_string(kLastReplayIndex));
    }
    const std::size_t entries = static_cast<std::size_t>(n) + 1;
    if (bytes.size() < 4 + entries) {
        return refuse("the file ends before its " + std::to_string(entries) + " input bytes (" +
                      std::to_string(bytes.size() - 4) + " found)");
    }
    // Bytes after entry N are ignored; the frames after it play with no input.
    std::memcpy(w.replayInput, b + 4, entries);
    std::memset(w.replayInput + entries, 0, kReplaySlots - entries);
    w.replayFrame = 0;
    return true;
}

bool loadReplay(World& w, const std::string& commandLine, std::string* why) {
    const std::string path = replayPathFromCommandLine(commandLine);
    auto refuse = [&](const std::string& reason) {
        if (why) *why = "\"" + path + "\": " + reason;
        return false;
    };

    // Not blocking: a pipe or a device under that name must not hang the game.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || path.empty()) return refuse("the file does not exist");
        return refuse(std::string("the file cannot be read (") + std::strerror(errno) + ")");
    }
    struct stat st {};
    std::string bytes;
    int readError = 0;
    if (::fstat(fd, &st) != 0) {
        readError = errno;
    } else if (S_ISREG(st.st_mode) && !readUpTo(fd, bytes, 4 + static_cast<std::size_t>(kReplaySlots))) {
        // Nothing past entry 25000 can ever be needed.
        readError = errno;
    }
    ::close(fd);
    if (readError != 0)
        return refuse(std::string("the file cannot be read (") + std::strerror(readError) + ")");
    if (S_ISDIR(st.st_mode)) return refuse("this is a folder, not a replay file");
    if (!S_ISREG(st.st_mode)) return refuse("this is not a regular file");

    std::string reason;
    if (!loadReplayBytes(w, bytes, &reason)) return refuse(reason);
    return true;
}

} // namespace tolvane
