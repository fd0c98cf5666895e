// Helpers shared by the records tests: a scratch folder for the records, whole-file
// reads and writes, a child process without the privileges that would let it write
// into a read-only folder, and a live game driven frame by frame by scripted keys.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "media/dtools.h"
#include "media/platform_null.h"
#include "records/records.h"
#include "session/harness.h"

namespace records_test {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "tolvane-records-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
        fs::permissions(path_, fs::perms::all); // reachable from an unprivileged child
    }
    ~TempDir() {
        std::error_code ec;
        for (auto& e : fs::recursive_directory_iterator(path_, ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

    // Every name in the folder.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (auto& e : fs::directory_iterator(path_)) out.insert(e.path().filename().string());
        return out;
    }

  private:
    fs::path path_;
};

// A fresh folder that the records are read from and written to during a test.
class RecordsDir : public TempDir {
  public:
    RecordsDir() : previous_(tolvane::recordsDirectory()) { tolvane::setRecordsDirectory(path()); }
    ~RecordsDir() { tolvane::setRecordsDirectory(previous_); }

  private:
    fs::path previous_;
};

// The bytes of a string literal, embedded zeros included.
template <std::size_t N> std::string raw(const char (&s)[N]) { return std::string(s, N - 1); }

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Replay file bytes for a count and entries, written the long way round.
inline std::string replayBytes(std::int32_t count, const std::string& entries) {
    auto u = static_cast<std::uint32_t>(count);
    std::string out{static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
                    static_cast<char>((u >> 16) & 0xFF), static_cast<char>(u >> 24)};
    return out + entries;
}

// Runs `body` in a child process and returns its exit status (-1 if it did not exit).
// With `unprivileged` the child first drops to the user nobody when it runs as root,
// so that folder and file permissions apply to it; `fileSizeLimit` > 0 makes every
// write past that many bytes fail as on a full disk.
inline int inChild(const std::function<int()>& body, bool unprivileged, rlim_t fileSizeLimit = 0) {
    pid_t pid = ::fork();
    if (pid == 0) {
        if (unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(120);
        if (fileSizeLimit > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{fileSizeLimit, fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(121);
        }
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Runs a command and returns its standard output.
inline std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = ::pclose(p);
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

// tolvane-replay verify on a file: its line, and its exit status in *status.
inline std::string verify(const fs::path& replay, int* status) {
    return run(std::string(TOLVANE_REPLAY_TOOL) + " verify '" + replay.string() + "'", status);
}

// The outcome of ranking, packed into an exit status: rank + 1 (0..101) and the flag.
inline int packOutcome(const tolvane::World& w) {
    return (w.hiscoreRank + 1) * 2 + (w.recordNotSaved ? 1 : 0);
}
inline int rankOf(int packed) { return packed / 2 - 1; }
inline bool notSavedOf(int packed) { return packed % 2 == 1; }

// A live game run frame by frame, its input taken by readInput from the null
// platform's keys, exactly as the window's loop does it, without the pacing.
struct LiveGame {
    tolvane::Session session;
    tolvane::World& w = session.world();

    // `script` false leaves the stage script empty, so only the time-out ends the game.
    explicit LiveGame(bool script = true) {
        platform::null::reset();
        media::setDrawBackend(media::DrawBackend::Null);
        DTInit(1, nullptr);
        session.prepareLive();
        w.running = 1;
        session.begin(script);
    }

    // Runs frames until the end-of-game object has run, `keys` setting the null
    // platform's keys before each frame. Returns the frame in which the game ended, or
    // -1 if it had not ended after `limit` frames.
    long playToEnd(const std::function<void(long frame)>& keys, long limit = 30000) {
        for (long f = 0; f < limit; ++f) {
            long index = session.nextFrame();
            if (keys) keys(index);
            session.frame();
            if (w.gameEnded) return index;
        }
        return -1;
    }
};

} // namespace records_test
