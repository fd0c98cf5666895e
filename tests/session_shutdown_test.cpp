// How a game ends, through the window's whole program on the null platform: the order of
// the unload against events still queued, SIGTERM and SIGINT, a save past the file-size
// limit, and what an interrupted save left behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "media/stools.h"
#include "records_test_support.h"

using namespace tolvane;
using namespace records_test;
namespace pn = platform::null;

namespace {

// Runs `action` once `path` exists, looking every second of clock time.
void whenFileAppears(const fs::path& path, std::function<void()> action) {
    std::function<void()> look = [=]() {
        if (fs::exists(path)) {
            action();
        } else {
            whenFileAppears(path, action);
        }
    };
    pn::scheduleAt(timeGetTime() + 1000, look);
}

std::vector<std::string> drawNames() {
    std::vector<std::string> names;
    for (const auto& c : media::drawLog()) names.push_back(c.name);
    return names;
}

std::string zeroReplay(const fs::path& dir, int n) {
    fs::path path = dir / "zero.rep";
    writeFile(path, replayBytes(n, std::string(static_cast<std::size_t>(n) + 1, '\0')));
    return path.string();
}

} // namespace

// Alt+F4 queues the window's close and, behind it, the quit of the last window; a click
// and an Esc may be queued too. The first of them ends the game: one shut-down, then one
// box, which drops the rest, and nothing is drawn or played after the shut-down.
TEST(Shutdown, AWindowCloseWithItsQueuedQuitShowsOneBoxAfterTheShutDown) {
    pn::setTime(1000, 1);
    for (auto e : {platform::FormEvent{platform::FormEvent::Close, 0},
                   platform::FormEvent{platform::FormEvent::Close, 0},
                   platform::FormEvent{platform::FormEvent::MouseDown, 0},
                   platform::FormEvent{platform::FormEvent::KeyDown, VK_ESCAPE}})
        pn::pushEvent(e, 1100);
    media::setDrawLogging(true);
    media::setSoundLogging(true);
    std::size_t drawsAtBox = 0;
    std::string lastDrawAtBox, lastSoundAtBox;
    pn::onMessageBox([&] {
        drawsAtBox = media::drawLog().size();
        lastDrawAtBox = media::drawLog().back().name;
        lastSoundAtBox = media::soundLog().back().name;
    });
    EXPECT_EQ(runGame(""), 0);
    ASSERT_EQ(pn::messageBoxes().size(), 1u);
    EXPECT_EQ(pn::messageBoxes()[0].first, "今回のスコアはランク外です。");
    EXPECT_EQ(lastDrawAtBox, "DTEnd");
    EXPECT_EQ(lastSoundAtBox, "MTStop");
    EXPECT_EQ(media::drawLog().size(), drawsAtBox) << "drawn after the shut-down";
    EXPECT_EQ(pn::droppedByBox().size(), 3u) << "the queued quit, click and Esc went to no one";
    EXPECT_EQ(pn::pendingEvents(), 0u);
    const auto names = drawNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "DTEnd"), 1);
}

// SIGTERM or SIGINT ends the game as Esc does, at the next presented frame, with no box.
TEST(Shutdown, ATerminationSignalEndsTheGameAtTheNextFrameWithoutABox) {
    TempDir dir;
    struct Case {
        const char* what;
        std::uint32_t at; // clock time of the signal; 0: before start-up
        bool playback;
        int framesAfter; // frames presented after the signal
    } cases[] = {{"in the middle of a live game", 1500, false, 1},
                 {"during start-up", 0, false, 0},
                 {"in the middle of a playback", 1500, true, 1}};
    for (const Case& c : cases) {
        pn::reset();
        media::setDrawLogging(true);
        media::setSoundLogging(true);
        pn::setTime(1000, 1);
        std::size_t drawsAtSignal = 0;
        if (c.at == 0) {
            pn::requestTermination();
        } else {
            pn::scheduleAt(c.at, [&] {
                pn::requestTermination();
                drawsAtSignal = media::drawLog().size();
            });
        }
        EXPECT_EQ(runGame(c.playback ? zeroReplay(dir.path(), 2000) : ""), 0) << c.what;
        EXPECT_TRUE(pn::messageBoxes().empty()) << c.what;
        auto names = drawNames();
        ASSERT_FALSE(names.empty()) << c.what;
        EXPECT_EQ(names.back(), "DTEnd") << c.what;
        EXPECT_EQ(std::count(names.begin() + static_cast<long>(drawsAtSignal), names.end(), "DTUpdate"),
                  c.framesAfter)
            << c.what;
        ASSERT_FALSE(media::soundLog().empty()) << c.what;
        EXPECT_EQ(media::soundLog().back().name, "MTStop") << c.what;
        EXPECT_EQ(pn::cursorShows(), 0) << c.what;
    }
}

// On the results screen the records of the ended game are already written; a signal
// then ends the program without a box and leaves them whole.
TEST(Shutdown, ASignalOnTheResultsScreenKeepsTheRecordsOfTheEndedGame) {
    RecordsDir dir;
    pn::setTime(0, 1);
    whenFileAppears(dir / "NewReplay.rep",
                    [] { pn::scheduleAt(timeGetTime() + 300, pn::requestTermination); });
    ASSERT_EQ(runGame(""), 0);
    EXPECT_TRUE(pn::messageBoxes().empty());
    int status = -1;
    std::string out = verify(dir / "NewReplay.rep", &status);
    EXPECT_EQ(status, 0) << out;
    HiscoreTable table{};
    EXPECT_TRUE(parseHiscore(readFile(dir / "Hiscore.txt"), table, nullptr));
    EXPECT_EQ(dir.names().count("Hiscore.txt") + dir.names().count("NewReplay.rep"), 2u);
    for (const auto& name : dir.names()) EXPECT_NE(name[0], '.') << "left behind: " << name;
}

// Under `ulimit -f` the replay cannot be written whole: the game is not killed for it
// (SIGXFSZ), the old replay stays, no temporary is left and the box says so.
TEST(Shutdown, ASaveOverTheFileSizeLimitFailsAndTheBoxSaysSo) {
    RecordsDir dir;
    const std::string oldReplay = replayBytes(3, raw("\x01\x02\x04\x08"));
    writeFile(dir / "NewReplay.rep", oldReplay);
    pid_t pid = ::fork();
    if (pid == 0) {
        // The limit lets the high-score table through (about 1.5 KB) but not a replay
        // (one byte a frame, and a game lasts well over 4096 frames).
        rlimit lim{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(121);
        pn::reset();
        pn::setTime(0, 1);
        whenFileAppears(dir / "Hiscore.txt", [] {
            pn::scheduleAt(timeGetTime() + 300, [] {
                pn::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE});
            });
        });
        if (runGame("") != 0 || pn::messageBoxes().size() != 1) ::_exit(3);
        const std::string& text = pn::messageBoxes()[0].first;
        bool saysNotSaved = text.find("位に入りました。\n記録を保存できませんでした。") != std::string::npos;
        ::_exit(saysNotSaved ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: no single box, 4: the box does not say the record was not saved";
    EXPECT_TRUE(readFile(dir / "NewReplay.rep") == oldReplay) << "the old replay was replaced";
    EXPECT_EQ(dir.names(), (std::set<std::string>{"Hiscore.txt", "NewReplay.rep"})) << "no temporary left";
}

// Temporaries of our records that a killed save left behind are removed at start-up once
// they are a minute old; anything else in the folder stays.
TEST(Shutdown, StaleTemporariesOfOurRecordsAreRemovedAtStartUp) {
    RecordsDir dir;
    auto age = [&](const std::string& name, int seconds) {
        timeval times[2];
        ::gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= seconds;
        times[1] = times[0];
        ASSERT_EQ(::lutimes((dir / name).c_str(), times), 0) << name;
    };
    const std::vector<std::string> stale = {".NewReplay.rep.Ab3xZ9", ".Hiscore.txt.000000",
                                            ".HiReplay.rep.qwerty",
                                            ".takeover-7847ac1e171d-f357-20261209-085124.rep.k2Lm9Q"};
    const std::vector<std::string> kept = {
        ".NewReplay.rep.fresh1", // being written by another game right now
        ".NewReplay.rep.abc",    // not a name of ours
        ".Other.rep.Ab3xZ9",
        ".NewReplay.rep.Ab3x-9",
        "NewReplay.rep",
        "Hiscore.txt.bad-20240101-120000",
        ".takeover-7847ac1e171d-f357-20261209-085124.rep", // no temporary's letters
        ".takeover-x.txt.k2Lm9Q",                          // not a replay
        ".Hiscore.txt.folder",                             // a folder
        ".Hiscore.txt.linkto",                             // a symbolic link
    };
    for (const auto& name : stale) writeFile(dir / name, "half a file");
    for (const auto& name : kept) {
        if (name == ".Hiscore.txt.folder") {
            fs::create_directory(dir / name);
        } else if (name == ".Hiscore.txt.linkto") {
            fs::create_symlink("NewReplay.rep", dir / name);
        } else {
            writeFile(dir / name, "someone's");
        }
    }
    for (const auto& name : stale) age(name, 120);
    for (const auto& name : kept) {
        if (name != ".NewReplay.rep.fresh1") age(name, 120);
    }
    pn::setTime(1000, 1);
    pn::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE});
    ASSERT_EQ(runGame(""), 0);
    EXPECT_EQ(dir.names(), std::set<std::string>(kept.begin(), kept.end()));
}
