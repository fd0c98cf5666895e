// tolvane-replay: plays a replay file back headless, as fast as it can, and reports.
//   verify FILE                 the end result as one JSON line
//   verify FILE FILE ...        one line per file, in the order given, each starting
//                               with "file"; the files are played side by side
//   trace FILE [--objects] [--sounds] [--every K] [--until F]
//                               the world after every K-th frame, one JSON line each;
//                               --sounds adds the sound calls made in that frame
//   render FILE [--rival FILE] --frame N [--frame M ...] --out DIR
//                               the picture the window shows after frame N, as PNG
//   compare A B                 two runs side by side: their scores every 60 frames and
//                               at each split, both end results, where A lost most
// Exit status: 0 done, 2 the file cannot be used, 1 anything else.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/version.h"
#include "media/dtools.h"
#include "presentation/presentation.h"
#include "records/records.h"
#include "session/harness.h"
#include "session/race.h"
#include "session/trace.h"

using namespace tolvane;

namespace {

constexpr long kMaxFrames = 1000000; // a game always ends long before this

// A game that has not ended when the whole replay buffer has been played is not one the
// game could have recorded (the stage script ends every game by frame 24400; only a full
// object table at the end can keep it going). Verification stops there.
constexpr long kMaxVerifyFrames = kReplaySlots;

int usage() {
    std::fprintf(stderr,
                 "usage: tolvane-replay verify FILE [FILE ...]\n"
                 "       tolvane-replay trace FILE [--objects] [--sounds] [--every K] [--until F]\n"
                 "       tolvane-replay render FILE [--rival FILE] --frame N [--frame M ...] --out DIR\n"
                 "       tolvane-replay compare A B\n");
    return 1;
}

constexpr const char* kHelp =
    "Usage: tolvane-replay verify FILE [FILE ...]\n"
    "       tolvane-replay trace FILE [--objects] [--sounds] [--every K] [--until F]\n"
    "       tolvane-replay render FILE [--rival FILE] --frame N [--frame M ...] --out DIR\n"
    "       tolvane-replay compare A B\n"
    "Plays a Tolvane replay headless, as fast as it can, and reports: the end result as\n"
    "one JSON line (verify), the world after every K-th frame as JSON lines (trace; with\n"
    "--sounds also the sound calls made in that frame), or\n"
    "the pictures the game window shows after the chosen frames as PNG files (render;\n"
    "with --rival also that run's ghost, the score gap and the splits, as the game shows\n"
    "them in a race).\n"
    "compare plays two replays side by side and writes JSON lines: every 60th frame\n"
    "{\"frame\", \"a\", \"b\", \"diff\"} (the scores after that frame, diff = a - b), one\n"
    "line at each split (stage starts and boss entries: \"split\": \"stage 2\", \"boss 1\", ...),\n"
    "{\"lost\": [{\"from\", \"to\", \"by\"}, ...]}, the three 10-second spans that do not overlap\n"
    "in which A lost most against B, and last both end results as verify gives them\n"
    "({\"a\": {...}, \"b\": {...}, \"diff\"}).\n"
    "Several files to verify are played side by side on every core: one line each, in\n"
    "the order given, starting with \"file\", or {\"file\": ..., \"error\": \"why\"}.\n"
    "Exit status: 0 done, 2 the file cannot be used, 1 anything else.\n";

// Starts the playback of a file headless, with the sheets when pictures are wanted.
// False, with the reason on stderr, when the file cannot be used.
bool start(Session& game, const std::string& file, bool pictures) {
    media::setDrawBackend(pictures ? media::DrawBackend::Offscreen : media::DrawBackend::Null);
    std::string why;
    if (!game.preparePlayback(file, &why)) {
        std::fprintf(stderr, "tolvane-replay: %s\n", why.c_str());
        return false;
    }
    DTInit(1, nullptr);
    if (pictures) createSpriteSheets();
    game.world().running = 1;
    game.begin();
    return true;
}

// The end result of one replay: the keys of its verify line, or why it cannot be used.
struct Verdict {
    bool ok = false;
    std::string keys;   // "\"frames\": F, ..., \"timeLeft\": T"
    std::string why;    // the whole message, naming the file
    std::string reason; // the same without the file's name
};

// The keys of a verify line for a game that ended in frame `index`.
std::string verdictKeys(const World& w, long index) {
    char buf[320];
    std::snprintf(buf, sizeof buf,
                  "\"frames\": %ld, \"endFrame\": %ld, \"score\": %d, \"level\": %d, \"maxChain\": %d, "
                  "\"totalContacts\": %d, \"timeBonus\": %d, \"finalBonus\": %d, \"timeLeft\": %d",
                  index + 1, index, w.score, w.level, w.maxChain, w.totalContacts, w.timeBonus, w.finalBonus,
                  w.timeLeft);
    return buf;
}

// Plays one replay to its end. Headless drawing must be set up already; this touches
// nothing but its own game, so several may run at once on different threads.
Verdict verdictOf(const std::string& file) {
    Verdict v;
    Session game;
    if (!game.startPlayback(file, &v.why)) {
        // loadReplay names the file first: "PATH": reason.
        const std::string prefix = "\"" + replayPathFromCommandLine(file) + "\": ";
        v.reason = v.why.starts_with(prefix) ? v.why.substr(prefix.size()) : v.why;
        return v;
    }
    const long index = game.runToEnd(kMaxVerifyFrames);
    if (index < 0) {
        v.reason = "the game did not end within " + std::to_string(kMaxVerifyFrames) + " frames";
        v.why = "\"" + replayPathFromCommandLine(file) + "\": " + v.reason;
        return v;
    }
    v.ok = true;
    v.keys = verdictKeys(game.world(), index);
    return v;
}

void setUpHeadless() {
    media::setDrawBackend(media::DrawBackend::Null);
    DTInit(1, nullptr);
}

int verify(const std::string& file) {
    setUpHeadless();
    const Verdict v = verdictOf(file);
    if (!v.ok) {
        std::fprintf(stderr, "tolvane-replay: %s\n", v.why.c_str());
        return 2;
    }
    std::printf("{%s}\n", v.keys.c_str());
    return 0;
}

// Every file on its own game, on as many threads as there are cores; each line is
// printed as soon as it and every line before it are known, so a reader sees the
// results come in.
int verifyMany(const std::vector<std::string>& files) {
    setUpHeadless();
    const std::size_t n = files.size();
    std::vector<Verdict> verdicts(n);
    std::vector<char> done(n, 0);
    std::mutex m;
    std::condition_variable cv;
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < n;) {
            Verdict v = verdictOf(files[i]);
            std::lock_guard lock(m);
            verdicts[i] = std::move(v);
            done[i] = 1;
            cv.notify_one();
        }
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < std::min(cores, n); ++t) workers.emplace_back(work);

    int status = 0;
    for (std::size_t i = 0; i < n; ++i) {
        Verdict v;
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return done[i] != 0; });
            v = std::move(verdicts[i]);
        }
        std::string line = "{\"file\": " + jsonText(files[i]);
        if (v.ok) {
            line += ", " + v.keys;
        } else {
            line += ", \"error\": " + jsonText(v.reason);
            status = 2;
        }
        line += "}\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    for (auto& t : workers) t.join();
    return status;
}

int trace(const std::string& file, bool objects, bool sounds, long every, long until) {
    Session game;
    if (!start(game, file, false)) return 2;
    media::setSoundLogging(sounds);
    std::string line;
    for (long f = 0; f < kMaxFrames; ++f) {
        long index = game.nextFrame();
        media::soundLog().clear(); // the calls of this frame only
        bool ended = game.frame();
        if (index % every == 0) {
            line = traceLine(game.world(), index, objects, sounds ? &media::soundLog() : nullptr);
            std::fputs(line.c_str(), stdout);
            std::fputc('\n', stdout);
        }
        if (until >= 0 ? index >= until : ended) return 0;
    }
    return 1;
}

int render(const std::string& file, const std::string& rival, const std::set<long>& frames,
           const std::string& dir) {
    Session game;
    if (!start(game, file, true)) return 2;
    // The race as the window shows it, with the game's own look.
    Race race(game, RaceLook{});
    if (!rival.empty()) {
        std::string why;
        if (!race.load(rival, &why)) {
            std::fprintf(stderr, "tolvane-replay: %s\n", why.c_str());
            return 2;
        }
        race.begin();
    }
    std::error_code ec; // the folder is made only for a replay that was accepted
    std::filesystem::create_directories(dir, ec);
    long last = *frames.rbegin();
    for (long f = 0; f <= last; ++f) {
        long index = game.nextFrame();
        game.frame();
        if (!rival.empty()) race.afterFrame();
        DTUpdate(0);
        if (!frames.count(index)) continue;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05ld.png", index);
        std::string path = (std::filesystem::path(dir) / name).string();
        if (!media::savePresentedPng(path)) {
            std::fprintf(stderr, "tolvane-replay: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

std::string lineOf(long frame, const World& a, const World& b) {
    return "\"frame\": " + std::to_string(frame) + ", \"a\": " + std::to_string(a.score) +
           ", \"b\": " + std::to_string(b.score) +
           ", \"diff\": " + std::to_string(static_cast<long long>(a.score) - b.score);
}

// Two replays side by side, frame by frame, until both have ended; one that has ended
// keeps its final score.
int compare(const std::string& fileA, const std::string& fileB) {
    setUpHeadless();
    Session a, b;
    std::string why;
    for (auto [game, file] : {std::pair{&a, &fileA}, std::pair{&b, &fileB}}) {
        if (!game->startPlayback(*file, &why)) {
            std::fprintf(stderr, "tolvane-replay: %s\n", why.c_str());
            return 2;
        }
    }
    const std::vector<SplitPoint> points = splitPoints(a.world());
    std::size_t next = 0;
    long endA = -1, endB = -1;
    std::vector<long long> gap;
    std::string out;
    for (long f = 0; (endA < 0 || endB < 0) && f < kMaxVerifyFrames; ++f) {
        if (endA < 0 && a.frame()) endA = f;
        if (endB < 0 && b.frame()) endB = f;
        gap.push_back(static_cast<long long>(a.world().score) - b.world().score);
        if (f % 60 == 0) out += "{" + lineOf(f, a.world(), b.world()) + "}\n";
        // A split of A's game: the banner or boss came, so the game still ran.
        for (; next < points.size() && points[next].frame <= f; ++next) {
            if (points[next].frame != f || a.world().timeUpDone != 0) continue;
            const std::string l = lineOf(f, a.world(), b.world());
            out += "{" + l.substr(0, l.find(',')) + ", \"split\": " + jsonText(points[next].name()) +
                   l.substr(l.find(',')) + "}\n";
        }
        if (out.size() > 65536) {
            std::fputs(out.c_str(), stdout);
            out.clear();
        }
    }
    std::fputs(out.c_str(), stdout);
    for (auto [end, file] : {std::pair{endA, &fileA}, std::pair{endB, &fileB}}) {
        if (end < 0) {
            std::fprintf(stderr, "tolvane-replay: \"%s\": the game did not end within %ld frames\n",
                         replayPathFromCommandLine(*file).c_str(), kMaxVerifyFrames);
            return 2;
        }
    }
    std::string lost = "{\"lost\": [";
    bool first = true;
    for (const Loss& l : worstSpans(gap, 600, 3)) {
        lost += std::string(first ? "" : ", ") + "{\"from\": " + std::to_string(l.from) +
                ", \"to\": " + std::to_string(l.to) + ", \"by\": " + std::to_string(l.by) + "}";
        first = false;
    }
    std::printf("%s]}\n", lost.c_str());
    std::printf("{\"a\": {%s}, \"b\": {%s}, \"diff\": %lld}\n", verdictKeys(a.world(), endA).c_str(),
                verdictKeys(b.world(), endB).c_str(),
                static_cast<long long>(a.world().score) - b.world().score);
    return 0;
}

bool number(const char* s, long& out) {
    char* end = nullptr;
    out = std::strtol(s, &end, 10);
    return end && *end == '\0' && end != s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("tolvane-replay %s\n", TOLVANE_VERSION);
        return 0;
    }
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc < 3) return usage();
    // A picture past the file-size limit (ulimit -f) is then a write that fails, told
    // as such, instead of the signal killing the tool halfway through the file.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string command = argv[1];
    const std::string file = argv[2];
    if (command == "verify") {
        if (argc == 3) return verify(file);
        return verifyMany(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (command == "trace") {
        bool objects = false, sounds = false;
        long every = 1, until = -1;
        for (int i = 3; i < argc; ++i) {
            if (!std::strcmp(argv[i], "--objects")) {
                objects = true;
            } else if (!std::strcmp(argv[i], "--sounds")) {
                sounds = true;
            } else if (!std::strcmp(argv[i], "--every") && i + 1 < argc && number(argv[i + 1], every) &&
                       every > 0) {
                ++i;
            } else if (!std::strcmp(argv[i], "--until") && i + 1 < argc && number(argv[i + 1], until) &&
                       until >= 0) {
                ++i;
            } else {
                return usage();
            }
        }
        return trace(file, objects, sounds, every, until);
    }
    if (command == "compare") {
        if (argc != 4) return usage();
        return compare(file, argv[3]);
    }
    if (command == "render") {
        std::set<long> frames;
        std::string dir, rival;
        for (int i = 3; i < argc; ++i) {
            long n = 0;
            if (!std::strcmp(argv[i], "--frame") && i + 1 < argc && number(argv[i + 1], n) && n >= 0) {
                frames.insert(n);
                ++i;
            } else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) {
                dir = argv[++i];
            } else if (!std::strcmp(argv[i], "--rival") && i + 1 < argc) {
                rival = argv[++i];
            } else {
                return usage();
            }
        }
        if (frames.empty() || dir.empty()) return usage();
        return render(file, rival, frames, dir);
    }
    return usage();
}
