// The replay file: what a live game writes, what playback accepts and refuses, and a
// whole live game checked against its replay played back by tolvane-replay.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "media/stools.h"
#include "records_test_support.h"

using namespace tolvane;
using namespace records_test;

namespace {

// Scripted keys for a live game: held directions that change every 23 frames, a burst
// of up/down taps, and bomb taps.
void scriptedKeys(long frame) {
    static const int dirs[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN};
    std::uint32_t h = static_cast<std::uint32_t>(frame / 23) * 2654435761u;
    for (int i = 0; i < 4; ++i) platform::null::setKey(dirs[i], (h >> (8 + i * 5)) % 3 == 0);
    if (frame >= 1000 && frame < 1100 && frame % 4 == 0) platform::null::tapKey(frame % 8 ? VK_UP : VK_DOWN);
    if (frame % 1500 == 700) platform::null::tapKey(VK_Z);
}

std::string verifyLine(const World& w, long endFrame) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "{\"frames\": %ld, \"endFrame\": %ld, \"score\": %d, \"level\": %d, \"maxChain\": %d, "
                  "\"totalContacts\": %d, \"timeBonus\": %d, \"finalBonus\": %d, \"timeLeft\": %d}\n",
                  endFrame + 1, endFrame, w.score, w.level, w.maxChain, w.totalContacts, w.timeBonus,
                  w.finalBonus, w.timeLeft);
    return buf;
}

// The end-of-game messages among the message boxes shown (start-up may show others,
// about the program's own resources).
std::vector<std::pair<std::string, std::string>> rankMessages() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& box : platform::null::messageBoxes()) {
        if (box.first.starts_with("今回のスコア")) out.push_back(box);
    }
    return out;
}

std::int32_t countOf(const std::string& file) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = u << 8 | static_cast<unsigned char>(file[i]);
    return static_cast<std::int32_t>(u);
}

} // namespace

// A live game writes N + 5 bytes, N being the frame count up to and including the
// frame that ended it; the last entry is the unplayed frame, 0.
TEST(Replay, LiveGameWritesCountPlusFiveBytes) {
    struct Case {
        const char* name;
        i32 scriptEnd; // frame of a script entry that ends the game; 0: only the time-out
        long endFrame;
        std::size_t bytes;
    };
    for (const Case& c : {Case{"time-out with the time never changed", 0, 10799, 10805},
                          Case{"ended by the stage script", 500, 500, 506}}) {
        SCOPED_TRACE(c.name);
        RecordsDir dir;
        LiveGame game(false);
        if (c.scriptEnd) addScriptEntry(game.w, c.scriptEnd, kGameEnd, 6, 0);
        long end = game.playToEnd([](long f) {
            platform::null::setKey(VK_UP, f >= 100 && f < 120);
            if (f == 130) platform::null::tapKey(VK_Z);
        });
        ASSERT_EQ(end, c.endFrame);
        std::string file = readFile(dir / "NewReplay.rep");
        const std::size_t n = static_cast<std::size_t>(end) + 1;
        ASSERT_EQ(file.size(), c.bytes);
        EXPECT_EQ(countOf(file), static_cast<i32>(n));
        EXPECT_EQ(file[4 + 110], 1) << "up held";
        EXPECT_EQ(file[4 + 130], 16) << "bomb newly pressed";
        EXPECT_EQ(file[4 + 131], 0);
        EXPECT_EQ(file.back(), 0) << "the frame not yet played";
        EXPECT_EQ(std::memcmp(file.data() + 4, game.w.replayInput, n), 0);
    }
}

TEST(Replay, OverwritingALongerFileLeavesNothingOfIt) {
    RecordsDir dir;
    writeFile(dir / "NewReplay.rep", std::string(30000, '\xAB'));
    auto w = std::make_unique<World>();
    w->replayFrame = 3;
    w->replayInput[0] = 5;
    w->replayInput[2] = 16;
    saveReplay(*w, "New");
    EXPECT_EQ(readFile(dir / "NewReplay.rep"), replayBytes(3, std::string("\x05\0\x10\0", 4)));
    EXPECT_EQ(dir.names(), (std::set<std::string>{"NewReplay.rep"})) << "no temporary file left";
}

TEST(Replay, ArgumentStringRules) {
    RecordsDir dir;
    fs::create_directories(dir / "my replays");
    const std::string blanks = (dir / "my replays" / "best game.rep").string();
    const std::string plain = (dir / "plain.rep").string();
    writeFile(blanks, replayBytes(2, raw("\x01\x02\x00")));
    writeFile(plain, replayBytes(1, std::string("\x08\0", 2)));
    writeFile(dir / "\"odd\".rep", replayBytes(0, std::string(1, '\0')));
    struct Case {
        std::string commandLine;
        std::string path; // what the argument names
        bool loads;
    };
    const std::string odd = (dir / "\"odd\".rep").string();
    for (const Case& c : {
             Case{"\"" + blanks + "\"", blanks, true}, // quoted, with blanks
             Case{blanks, blanks, true},               // unquoted path with blanks, used whole
             Case{"\"" + plain + "\"", plain, true},   // quoted without blanks
             Case{plain, plain, true},                 //
             Case{"\"" + odd + "\"", odd, true},       // one pair removed, the inner quotes kept
             Case{"\"" + plain, "\"" + plain, false},  // an opening quote alone stays
             Case{plain + "\"", plain + "\"", false},  // a closing quote alone stays
             Case{"\"", "\"", false},                  // a lone quote is not a pair
             Case{"\"\"", "", false},                  // an empty name
         }) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(replayPathFromCommandLine(c.commandLine), c.path);
        auto w = std::make_unique<World>();
        std::string why;
        EXPECT_EQ(loadReplay(*w, c.commandLine, &why), c.loads) << why;
        if (!c.loads) {
            EXPECT_NE(why.find("\"" + c.path + "\""), std::string::npos) << why;
        }
    }
    auto w = std::make_unique<World>();
    ASSERT_TRUE(loadReplay(*w, blanks, nullptr));
    EXPECT_EQ(w->replayInput[0], 1);
    EXPECT_EQ(w->replayInput[1], 2);
    EXPECT_EQ(w->replayFrame, 0);
}

// Every refusal leaves the world as it was and names the file and the reason.
TEST(Replay, RefusesFilesThatCannotBeUsed) {
    RecordsDir dir;
    fs::create_directories(dir / "folder.rep");
    struct Case {
        const char* name;
        std::string bytes; // written to the file unless `file` names something else
        const char* reason;
    };
    const std::string full(25001, '\x01');
    for (const Case& c : {
             Case{"missing", "", "does not exist"},
             Case{"folder.rep", "", "folder"},
             Case{"empty", "", "too short"},
             Case{"three bytes", std::string("\x01\0\0", 3), "too short"},
             Case{"count -1", replayBytes(-1, full), "frame count -1 is outside 0 to 25000"},
             Case{"count INT_MIN", replayBytes(INT_MIN, full), "outside 0 to 25000"},
             Case{"count 25001", replayBytes(25001, full + "x"), "frame count 25001 is outside"},
             Case{"count INT_MAX", replayBytes(INT_MAX, full), "outside 0 to 25000"},
             Case{"one byte short", replayBytes(10, std::string(10, '\0')), "ends before its 11 input bytes"},
             Case{"count only", replayBytes(0, ""), "ends before its 1 input bytes"},
             Case{"full buffer short", replayBytes(25000, std::string(25000, '\0')), "ends before its 25001"},
         }) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        if (std::string(c.name) != "missing" && std::string(c.name) != "folder.rep") writeFile(path, c.bytes);
        auto w = std::make_unique<World>();
        std::memset(w->replayInput, 7, sizeof w->replayInput);
        w->replayFrame = 1234;
        std::string why;
        EXPECT_FALSE(loadReplay(*w, path.string(), &why));
        EXPECT_NE(why.find(path.string()), std::string::npos) << why;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_EQ(w->replayFrame, 1234);
        EXPECT_TRUE(std::all_of(w->replayInput, w->replayInput + kReplaySlots, [](u8 b) { return b == 7; }));
        if (std::string(c.name) == "missing" || std::string(c.name) == "folder.rep") continue;
        // The same bytes handed over whole: the same reason, without the file's name.
        std::string whyBytes;
        EXPECT_FALSE(loadReplayBytes(*w, c.bytes, &whyBytes));
        EXPECT_EQ("\"" + path.string() + "\": " + whyBytes, why);
        EXPECT_EQ(w->replayFrame, 1234);
        EXPECT_TRUE(std::all_of(w->replayInput, w->replayInput + kReplaySlots, [](u8 b) { return b == 7; }));
    }
}

TEST(Replay, AcceptsExactAndLongerFiles) {
    RecordsDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        i32 count;
    };
    std::string full(25001, '\0');
    full[25000] = 3;
    for (const Case& c : {Case{"exact", replayBytes(2, raw("\x01\x02\x00")), 2},
                          Case{"extra bytes ignored", replayBytes(2, raw("\x01\x02\x00\x1F\x1F")), 2},
                          Case{"zero frames", replayBytes(0, std::string(1, '\0')), 0},
                          Case{"the whole buffer", replayBytes(25000, full + "tail"), 25000}}) {
        SCOPED_TRACE(c.name);
        writeFile(dir / c.name, c.bytes);
        auto w = std::make_unique<World>();
        std::memset(w->replayInput, 9, sizeof w->replayInput); // an earlier load
        w->replayFrame = 77;
        std::string why;
        ASSERT_TRUE(loadReplay(*w, (dir / c.name).string(), &why)) << why;
        EXPECT_EQ(w->replayFrame, 0);
        for (int i = 0; i < kReplaySlots; ++i) {
            u8 expected = i <= c.count ? static_cast<u8>(c.bytes[4 + i]) : 0;
            ASSERT_EQ(w->replayInput[i], expected) << "entry " << i;
        }
    }
}

TEST(Replay, UnreadableFileIsRefused) {
    RecordsDir dir;
    const fs::path path = dir / "locked.rep";
    writeFile(path, replayBytes(0, std::string(1, '\0')));
    ::chmod(path.c_str(), 0);
    int status = inChild(
        [&] {
            auto w = std::make_unique<World>();
            std::string why;
            bool ok = loadReplay(*w, path.string(), &why);
            return !ok && why.find("cannot be read") != std::string::npos ? 0 : 1;
        },
        true);
    EXPECT_EQ(status, 0);
}

// Bits 32, 64 and 128 are never recorded; in playback they change nothing at all.
TEST(Replay, HighBitsPlayExactlyLikeTheByteWithoutThem) {
    RecordsDir dir;
    std::string plain, noisy;
    std::uint32_t r = 12345;
    for (int i = 0; i < 3000; ++i) {
        r = r * 1103515245u + 12345u;
        u8 b = static_cast<u8>((r >> 16) & 0x1F);
        if ((r >> 24) % 5) b &= 0x0F; // bombs now and then
        plain.push_back(static_cast<char>(b));
        noisy.push_back(static_cast<char>(b | (((r >> 8) & 7) << 5)));
    }
    plain.push_back('\0');
    noisy.push_back('\xE0');
    writeFile(dir / "plain.rep", replayBytes(3000, plain));
    writeFile(dir / "noisy.rep", replayBytes(3000, noisy));
    writeFile(dir / "idle.rep", replayBytes(3000, std::string(3001, '\0')));

    auto play = [&](const char* name) {
        auto game = std::make_unique<Session>();
        EXPECT_TRUE(game->startPlayback((dir / name).string(), nullptr));
        for (int f = 0; f < 3100; ++f) game->frame();
        World& w = game->world();
        std::memset(w.replayInput, 0, sizeof w.replayInput);
        return game;
    };
    media::setDrawBackend(media::DrawBackend::Null);
    auto a = play("plain.rep");
    auto b = play("noisy.rep");
    auto idle = play("idle.rep");
    EXPECT_NE(std::memcmp(&a->world(), &idle->world(), sizeof(World)), 0) << "the input changed the game";
    EXPECT_EQ(std::memcmp(&a->world(), &b->world(), sizeof(World)), 0) << "the two plays differ";
}

// A refused file costs one message box: nothing is drawn, played or written.
TEST(Replay, RefusedFileEndsTheGameWithOneMessage) {
    RecordsDir dir;
    writeFile(dir / "short.rep", replayBytes(100, "abc"));
    for (const std::string name : {"missing.rep", "short.rep"}) {
        SCOPED_TRACE(name);
        platform::null::reset();
        media::setDrawLogging(true);
        media::drawLog().clear();
        media::setSoundLogging(true);
        media::soundLog().clear();
        const auto before = dir.names();
        const std::string path = (dir / name).string();
        EXPECT_EQ(runGame("\"" + path + "\""), 2);
        auto& boxes = platform::null::messageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].second, "Tolvane");
        EXPECT_NE(boxes[0].first.find(path), std::string::npos) << boxes[0].first;
        EXPECT_TRUE(media::drawLog().empty());
        EXPECT_TRUE(media::soundLog().empty());
        EXPECT_EQ(dir.names(), before);
        media::setDrawLogging(false);
        media::setSoundLogging(false);
    }
}

// The window's whole program playing a replay to its end and beyond, at every speed:
// the records beside the game stay exactly as they were, and no message is shown.
TEST(Replay, PlaybackNeverTouchesTheRecords) {
    RecordsDir dir;
    fs::create_directories(dir / "copies");
    writeFile(dir / "Hiscore.txt", formatHiscore(defaultHiscoreTable()));
    writeFile(dir / "NewReplay.rep", replayBytes(1, raw("\x01\x00")));
    writeFile(dir / "HiReplay.rep", replayBytes(1, raw("\x02\x00")));
    // A game to its time-out, with bombs.
    std::string input(10801, '\0');
    for (int i = 0; i < 10800; i += 40) input[i] = 16;
    writeFile(dir / "copies" / "a copy.rep", replayBytes(10800, input));
    auto stamp = [&](const char* n) { return fs::last_write_time(dir / n); };
    const auto times = std::vector{stamp("Hiscore.txt"), stamp("NewReplay.rep"), stamp("HiReplay.rep")};
    const auto names = dir.names();

    platform::null::reset();
    platform::null::setTime(0, 1);
    using platform::FormEvent;
    for (auto [at, key] : {std::pair{1000u, VK_F1}, {1500u, VK_F1}, {2000u, VK_F2}, {3000u, VK_F3}}) {
        platform::null::scheduleAt(at, [key] { platform::null::pushEvent({FormEvent::KeyDown, key}); });
    }
    // At speed 255 a frame takes a millisecond: the game has ended some time before.
    platform::null::scheduleAt(16000, [] { platform::null::pushEvent({FormEvent::KeyDown, VK_ESCAPE}); });
    EXPECT_EQ(runGame((dir / "copies" / "a copy.rep").string()), 0);

    EXPECT_TRUE(rankMessages().empty());
    EXPECT_EQ(dir.names(), names);
    EXPECT_EQ(readFile(dir / "Hiscore.txt"), formatHiscore(defaultHiscoreTable()));
    EXPECT_EQ(readFile(dir / "NewReplay.rep"), replayBytes(1, raw("\x01\x00")));
    EXPECT_EQ(readFile(dir / "HiReplay.rep"), replayBytes(1, raw("\x02\x00")));
    EXPECT_EQ((std::vector{stamp("Hiscore.txt"), stamp("NewReplay.rep"), stamp("HiReplay.rep")}), times);
}

// A live game with scripted keys, played to its end: its replay, played back by the
// headless tool, ends in the same frame with the same results.
TEST(LiveGame, ReplayVerifiesToTheLiveResult) {
    RecordsDir dir;
    // A table that any score beats, so the game also writes HiReplay.rep.
    HiscoreTable low;
    low.fill(INT_MIN);
    writeFile(dir / "Hiscore.txt", formatHiscore(low));
    LiveGame game;
    long end = game.playToEnd(scriptedKeys);
    ASSERT_GE(end, 0);
    EXPECT_EQ(game.w.hiscoreRank, 1);
    EXPECT_EQ(game.w.recordNotSaved, 0);

    int status = -1;
    std::string out = verify(dir / "NewReplay.rep", &status);
    RecordProperty("verify", out);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, verifyLine(game.w, end));
    EXPECT_EQ(readFile(dir / "HiReplay.rep"), readFile(dir / "NewReplay.rep"));
    HiscoreTable table{};
    ASSERT_TRUE(parseHiscore(readFile(dir / "Hiscore.txt"), table, nullptr));
    EXPECT_EQ(table[0], game.w.score);
}

// The same through the window's whole program (start-up, paced loop, shut-down) on the
// null platform, keys scripted in clock time: the score in the table at the rank the
// message names is the score that the replay verifies to.
TEST(LiveGame, RankedScoreIsTheVerifiedScore) {
    RecordsDir dir;
    HiscoreTable low; // -10 .. -1000: any score from 0 up takes rank 1
    for (int k = 0; k < kHiscoreRanks; ++k) low[k] = -10 * (k + 1);
    writeFile(dir / "Hiscore.txt", formatHiscore(low));
    platform::null::reset();
    platform::null::setTime(0, 1);
    // Keys in clock time, 17 ms a frame: right, left, taps, a bomb.
    for (std::uint32_t f = 100; f < 10000; f += 97) {
        int key = (f / 97) % 2 ? VK_RIGHT : VK_LEFT;
        platform::null::scheduleAt(f * 17, [key] { platform::null::setKey(key, true); });
        platform::null::scheduleAt((f + 30) * 17, [key] { platform::null::setKey(key, false); });
    }
    platform::null::scheduleAt(700 * 17, [] { platform::null::tapKey(VK_Z); });
    // Quit soon after the game has ended, which is when NewReplay.rep appears.
    std::function<void()> quitAfterTheEnd = [&] {
        if (fs::exists(dir / "NewReplay.rep")) {
            platform::null::scheduleAt(timeGetTime() + 500, [] {
                platform::null::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE});
            });
        } else {
            platform::null::scheduleAt(timeGetTime() + 1000, quitAfterTheEnd);
        }
    };
    platform::null::scheduleAt(10000 * 17, quitAfterTheEnd);
    ASSERT_EQ(runGame(""), 0);

    auto boxes = rankMessages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], platform::null::messageBoxes().back()) << "shown last, at shut-down";
    EXPECT_EQ(boxes[0].second, "Tolvane");
    int rank = 0;
    ASSERT_EQ(std::sscanf(boxes[0].first.c_str(), "今回のスコアは%d位に入りました。", &rank), 1)
        << boxes[0].first;
    HiscoreTable table{};
    ASSERT_TRUE(parseHiscore(readFile(dir / "Hiscore.txt"), table, nullptr));
    ASSERT_GE(rank, 1);
    ASSERT_LE(rank, 100);

    int status = -1;
    std::string out = verify(dir / "NewReplay.rep", &status);
    RecordProperty("verify", out);
    ASSERT_EQ(status, 0) << out;
    int score = 0;
    long endFrame = 0;
    ASSERT_EQ(
        std::sscanf(out.c_str(), "{\"frames\": %*d, \"endFrame\": %ld, \"score\": %d", &endFrame, &score), 2);
    EXPECT_EQ(table[rank - 1], score);
    EXPECT_EQ(countOf(readFile(dir / "NewReplay.rep")), endFrame + 1);
    if (rank == 1) {
        EXPECT_EQ(readFile(dir / "HiReplay.rep"), readFile(dir / "NewReplay.rep"));
    }
}
