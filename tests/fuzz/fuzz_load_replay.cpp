// Fuzzes loadReplay with arbitrary file contents. Whether a file is taken is fully
// determined by its length and count, so every answer is checked, not only crashes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_check.h"
#include "records/records.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One in-memory file, rewritten for every input and opened through its path.
    static const int fd = memfd_create("replay", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static World* w = new World();
    check(fd >= 0 && ftruncate(fd, 0) == 0);
    check(size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));

    std::memset(w->replayInput, 0xA5, sizeof w->replayInput); // what an earlier load left
    w->replayFrame = -7;
    std::string why;
    const bool loaded = loadReplay(*w, size % 2 ? "\"" + path + "\"" : path, &why);

    std::int64_t n = -1;
    if (size >= 4) {
        n = static_cast<std::int32_t>(std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                                      std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24);
    }
    const bool usable =
        size >= 4 && n >= 0 && n <= kLastReplayIndex && size >= static_cast<std::size_t>(n) + 5;
    check(loaded == usable);
    if (!loaded) {
        check(!why.empty() && w->replayFrame == -7 && w->replayInput[0] == 0xA5 &&
              w->replayInput[kLastReplayIndex] == 0xA5);
        return 0;
    }
    check(w->replayFrame == 0);
    check(std::memcmp(w->replayInput, data + 4, static_cast<std::size_t>(n) + 1) == 0);
    for (int i = static_cast<int>(n) + 1; i < kReplaySlots; ++i) check(w->replayInput[i] == 0);
    return 0;
}
