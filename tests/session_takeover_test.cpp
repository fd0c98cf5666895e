// Taking over a playback: the game's arguments, the worlds after a take-over against a
// playback of the same bytes, rewinds and retries against the worlds played before, the
// practice's loop and miss rewinds, and a take-over in the real window loop, which
// writes its own replay and leaves the high scores and the other replays alone.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/platform.h"
#include "media/platform_null.h"
#include "media/stools.h"
#include "records/records.h"
#include "session/arguments.h"
#include "session/harness.h"
#include "session/race.h"
#include "session/session.h"
#include "session/takeover.h"
#include "verdict/verdict.h"

using namespace tolvane;
namespace pn = platform::null;
namespace fs = std::filesystem;

namespace {

const fs::path kData = TOLVANE_TEST_DATA;
const fs::path kOriginal = kData / "autoplay.rep";

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// The original's replay buffer as the game loads it.
const std::vector<u8>& originalBuffer() {
    static const std::vector<u8> buffer = [] {
        Session s;
        std::string why;
        EXPECT_TRUE(s.preparePlayback(kOriginal.string(), &why)) << why;
        return std::vector<u8>(std::begin(s.world().replayInput), std::end(s.world().replayInput));
    }();
    return buffer;
}

std::string runIdOf(std::string_view bytes) { return verdict::verifyReplay(bytes).id; }

// A playback of `buffer`, begun, with no frame run.
std::unique_ptr<Session> playbackOf(const std::vector<u8>& buffer) {
    auto s = std::make_unique<Session>();
    std::copy(buffer.begin(), buffer.end(), std::begin(s->world().replayInput));
    s->preparePlayback();
    s->world().running = 1;
    s->begin();
    return s;
}

void runFrames(Session& s, long frames) {
    for (long f = 0; f < frames; ++f) s.frame();
}

// The game in a world: everything but how it is driven (live or played back, the
// window's timing, the recording buffer, the playback's copy of the held directions).
struct Game {
    std::unique_ptr<World> w = std::make_unique<World>();
};
void copyGame(World& w, const World& from) {
    std::memcpy(static_cast<void*>(&w), &from, sizeof(World));
    w.running = w.replayMode = w.playbackSpeed = w.frameSkip = w.takenOver = w.recordNotSaved = 0;
    w.lastFrameTime = 0;
    w.prevUp = w.prevDown = w.prevLeft = w.prevRight = 0;
    std::memset(w.replayInput, 0, sizeof w.replayInput);
}
Game gameOf(const World& from) {
    Game g;
    copyGame(*g.w, from);
    return g;
}
bool same(const Game& a, const Game& b) { return std::memcmp(a.w.get(), b.w.get(), sizeof(World)) == 0; }
bool same(const World& a, const World& b) {
    static const Game x, y; // compared every frame: made once
    copyGame(*x.w, a);
    copyGame(*y.w, b);
    return same(x, y);
}

// The keys held live in frame index `f`, and the byte the replay has for them.
struct Keys {
    int pattern = 0; // 0 none, 1 right held, 2 a changing mix
    void hold(long f) const {
        const bool right = pattern == 1 || (pattern == 2 && f % 97 < 40);
        const bool up = pattern == 2 && f % 61 < 20;
        const bool left = pattern == 2 && f % 113 >= 90;
        pn::setKey(VK_RIGHT, right);
        pn::setKey(VK_UP, up);
        pn::setKey(VK_LEFT, left);
    }
    u8 byte(long f) const {
        return static_cast<u8>((pattern == 1 || (pattern == 2 && f % 97 < 40) ? 8 : 0) |
                               (pattern == 2 && f % 61 < 20 ? 1 : 0) |
                               (pattern == 2 && f % 113 >= 90 ? 4 : 0));
    }
};

// One live frame of a take-over with the keys of that frame held.
void liveFrame(Session& s, TakeOver& t, const Keys& keys) {
    keys.hold(s.nextFrame());
    s.frame();
    t.afterFrame();
}

long originalEnd() {
    static const long end = [] {
        auto s = playbackOf(originalBuffer());
        return s->runToEnd(kReplaySlots);
    }();
    return end;
}

// The first frame from `from` on whose original byte has (`set`) or lacks the right bit.
long frameWithRight(long from, bool set) {
    const auto& b = originalBuffer();
    for (long f = from; f < kReplaySlots; ++f)
        if (((b[static_cast<std::size_t>(f)] & 8) != 0) == set && (b[static_cast<std::size_t>(f)] & 4) == 0)
            return f;
    return -1;
}

std::vector<fs::path> takeOverFiles() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(recordsDirectory()))
        if (e.path().filename().string().rfind("takeover-", 0) == 0) out.push_back(e.path());
    return out;
}

} // namespace

TEST(TakeOver, TheGamesArguments) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        std::string rival, commandLine;
        long frame;
        std::string why; // a part of the refusal
    };
    const Case cases[] = {
        {{}, true, "", "", -1, ""},
        {{"a.rep"}, true, "", "a.rep", -1, ""},
        {{"my", "game.rep"}, true, "", "my game.rep", -1, ""},
        {{"a.rep", "--take-over", "1200"}, true, "", "a.rep", 1200, ""},
        {{"my", "game.rep", "--take-over", "0"}, true, "", "my game.rep", 0, ""},
        {{"--rival", "r.rep", "a.rep", "--take-over", "7"}, true, "r.rep", "a.rep", 7, ""},
        {{"--rival", "r.rep"}, true, "r.rep", "", -1, ""},
        {{"a.rep", "--take-over"}, false, "", "", -1, "needs a frame number"},
        {{"a.rep", "--take-over", "-5"}, false, "", "", -1, "whole number"},
        {{"a.rep", "--take-over", "12x"}, false, "", "", -1, "whole number"},
        {{"a.rep", "--take-over", "1.5"}, false, "", "", -1, "whole number"},
        {{"a.rep", "--take-over", ""}, false, "", "", -1, "whole number"},
        {{"a.rep", "--take-over", "99999999999999999999"}, false, "", "", -1, "whole number"},
        {{"--take-over", "5"}, false, "", "", -1, "needs a replay"},
        {{"", "--take-over", "5"}, false, "", "", -1, "needs a replay"},
        {{"--rival", "r.rep", "--take-over", "5"}, false, "", "", -1, "needs a replay"},
    };
    for (const Case& c : cases) {
        GameArguments got;
        std::string why;
        const bool ok = parseGameArguments(c.args, got, &why);
        std::string shown;
        for (const auto& a : c.args) shown += "[" + a + "]";
        ASSERT_EQ(ok, c.ok) << shown << " " << why;
        if (!ok) {
            EXPECT_NE(why.find(c.why), std::string::npos) << shown << ": " << why;
            continue;
        }
        EXPECT_EQ(got.rival, c.rival) << shown;
        EXPECT_EQ(got.commandLine, c.commandLine) << shown;
        EXPECT_EQ(got.takeOver, c.frame) << shown;
    }
}

TEST(TakeOver, LivePlayFromTheFrameIsThePlaybackOfTheOriginalsBytesThenThePlayers) {
    struct Case {
        const char* what;
        long frame;
        Keys keys;
    };
    const Case cases[] = {
        {"at frame 0, no keys", 0, {0}},
        {"mid-game, no keys", 5000, {0}},
        {"mid-game, keys changing", 7000, {2}},
        {"right held by the original and by the player across it", frameWithRight(3000, true), {1}},
        {"right pressed by the player only", frameWithRight(3000, false), {1}},
        {"at the original's last frame", originalEnd(), {0}},
    };
    const auto& orig = originalBuffer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GE(c.frame, 0);
        pn::reset();
        auto s = playbackOf(orig);
        TakeOver t(*s, {}, {});
        runFrames(*s, c.frame + 1);
        const Game before = gameOf(s->world());
        ASSERT_TRUE(t.takeOverShown());
        EXPECT_EQ(t.firstFrame(), c.frame);
        EXPECT_EQ(s->world().replayMode, 0);
        EXPECT_TRUE(same(before, gameOf(s->world()))) << "taking over changed the world shown";

        // The same bytes played back: the original's up to the frame, then the player's.
        std::vector<u8> expected(orig.begin(), orig.begin() + c.frame + 1);
        for (long f = c.frame + 1; f < kReplaySlots; ++f) expected.push_back(c.keys.byte(f));
        auto b = playbackOf(expected);
        runFrames(*b, c.frame + 1);
        const bool ended = s->ended();
        const long live = ended ? 300 : 600;
        for (long f = c.frame + 1; f <= c.frame + live; ++f) {
            liveFrame(*s, t, c.keys);
            b->frame();
            ASSERT_TRUE(same(s->world(), b->world())) << "frame " << f;
        }
        // What it writes: the original's bytes to the byte up to the frame, then the player's.
        // Taken over on the results screen, it is the original's game to its end.
        const std::string file = t.fileBytes();
        ASSERT_EQ(file.size(), 4u + static_cast<std::size_t>(c.frame) + 1 + (ended ? 0 : live) + 1);
        EXPECT_EQ(file.compare(4, static_cast<std::size_t>(c.frame) + 1,
                               reinterpret_cast<const char*>(orig.data()),
                               static_cast<std::size_t>(c.frame) + 1),
                  0);
        for (long f = c.frame + 1; f <= c.frame + (ended ? 0 : live); ++f)
            ASSERT_EQ(static_cast<u8>(file[static_cast<std::size_t>(4 + f)]), c.keys.byte(f))
                << "frame " << f;
        EXPECT_EQ(file.back(), '\0') << "the frame not played has no input";
    }
    pn::reset();
}

TEST(TakeOver, RewindAndRetryGoBackToTheWorldsPlayedBefore) {
    struct Case {
        const char* what;
        long frame, upTo; // taken over at `frame`, played live to `upTo`
        bool retry;
        long back, first; // the frame gone back to, the earliest frame taken over then
        const char* song; // the song started again then ("" for none)
    };
    const Case cases[] = {
        {"a rewind within the live play", 2000, 2600, false, 2300, 2000, "stage1.mid"},
        {"a rewind to before the take-over", 2000, 2200, false, 1900, 1900, "stage1.mid"},
        {"a rewind stops at frame 0", 100, 250, false, 0, 0, ""},
        {"a retry", 2000, 2600, true, 2000, 2000, "stage1.mid"},
        {"a rewind into a boss's fight", 3800, 4200, false, 3900, 3800, "boss.mid"},
    };
    const Keys keys{2};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pn::reset();
        auto s = playbackOf(originalBuffer());
        TakeOver t(*s, {}, {});
        std::map<long, Game> seen; // the worlds after these frames, as first played
        auto note = [&] {
            const long f = s->nextFrame() - 1;
            if (f == c.back || f == c.back + 150) seen[f] = gameOf(s->world());
        };
        for (long f = 0; f <= c.frame; ++f) {
            s->frame();
            note();
        }
        ASSERT_TRUE(t.takeOverShown());
        while (s->nextFrame() <= c.upTo) {
            liveFrame(*s, t, keys);
            note();
        }
        media::setSoundLogging(true);
        media::soundLog().push_back({"STPlay", 1, ""}); // a log kept before stays
        if (c.retry)
            t.retry();
        else
            t.rewind(kRewindFrames);
        // The frames played again sounded nothing; the song of the moment starts again.
        std::vector<std::string> calls;
        for (const media::SoundCall& call : media::soundLog())
            calls.push_back(call.name +
                            (call.path.empty() ? "" : " " + fs::path(call.path).filename().string()));
        const std::vector<std::string> expected =
            *c.song
                ? std::vector<std::string>{"STPlay", "MTStop", std::string("MTReadFile ") + c.song, "MTPlay"}
                : std::vector<std::string>{"STPlay", "MTStop"};
        EXPECT_EQ(calls, expected);
        media::setSoundLogging(false);
        EXPECT_EQ(t.shownFrame(), c.back);
        EXPECT_EQ(t.firstFrame(), c.first);
        EXPECT_EQ(s->world().replayMode, 0);
        ASSERT_EQ(seen.count(c.back), 1u);
        EXPECT_TRUE(same(seen.at(c.back), gameOf(s->world()))) << "the world gone back to";
        // Played on with the same keys, the game goes on as it went the first time.
        if (c.back >= c.frame) {
            while (s->nextFrame() <= c.back + 150) liveFrame(*s, t, keys);
            EXPECT_TRUE(same(seen.at(c.back + 150), gameOf(s->world()))) << "150 frames later";
        }
        const std::string file = t.fileBytes();
        EXPECT_EQ(file.compare(4, static_cast<std::size_t>(c.first) + 1,
                               reinterpret_cast<const char*>(originalBuffer().data()),
                               static_cast<std::size_t>(c.first) + 1),
                  0)
            << "the bytes up to the earliest frame taken over are the original's";
    }
    pn::reset();
}

TEST(TakeOver, PracticeLoopsASectionAndRewindsAMiss) {
    Session probe;
    probe.begin();
    const std::vector<SplitPoint> points = splitPoints(probe.world());
    ASSERT_FALSE(points.empty());
    const long split = points.front().frame;
    const auto& orig = originalBuffer();

    struct Case {
        const char* what;
        PracticeChoice choice;
        long frame;
    };
    const Case cases[] = {
        {"the section loops at the next split", {false, true}, split - 200},
        {"a miss goes back three seconds", {true, false}, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pn::reset();
        auto s = playbackOf(orig);
        TakeOver t(*s, c.choice, {});
        runFrames(*s, c.frame + 1);
        ASSERT_TRUE(t.takeOverShown());
        // Nothing pressed after the take-over: the playback of the original's bytes, then zeros.
        std::vector<u8> zeros(orig.begin(), orig.begin() + c.frame + 1);
        zeros.resize(kReplaySlots, 0);
        auto b = playbackOf(zeros);
        std::vector<i32> score, blink; // that playback's after each frame
        for (long f = 0; f <= c.frame + 3000; ++f) {
            b->frame();
            score.push_back(b->world().score);
            blink.push_back(b->world().blinkTimer);
        }
        int countdown = 0;
        long at = -1; // the frame in which the practice stepped in
        while (countdown == 0 && s->nextFrame() <= c.frame + 3000) {
            at = s->nextFrame();
            s->frame();
            countdown = t.afterFrame();
        }
        ASSERT_GT(countdown, 0) << "the practice never stepped in";
        if (c.choice.loopSection) {
            EXPECT_EQ(at, split);
            EXPECT_EQ(t.shownFrame(), c.frame) << "started again from its frame";
            EXPECT_EQ(t.lastSection().from, c.frame);
            EXPECT_EQ(t.lastSection().to, split);
            const auto at = [&](long f) {
                return static_cast<long long>(score[static_cast<std::size_t>(f)]);
            };
            EXPECT_EQ(t.lastSection().gain, at(split) - at(c.frame));
            EXPECT_EQ(t.lastSection().originalGain,
                      static_cast<long long>(t.originalScoreAfter(split)) - t.originalScoreAfter(c.frame));
            const std::vector<std::string> notes = t.notes();
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_NE(notes[0].find(signedFigure(t.lastSection().originalGain)), std::string::npos)
                << notes[0];
        } else {
            EXPECT_EQ(blink[static_cast<std::size_t>(at)], 160) << "a miss in frame " << at;
            EXPECT_EQ(t.shownFrame(), at - kMissRewindFrames);
        }
        auto back = playbackOf(zeros);
        runFrames(*back, t.shownFrame() + 1);
        EXPECT_TRUE(same(back->world(), s->world())) << "the world gone back to";
    }
    pn::reset();
}

TEST(TakeOver, AGameTakenOverWritesItsOwnReplayAndRanksNothing) {
    const std::string original = bytesOf(kOriginal);
    const std::string id = runIdOf(original);
    ASSERT_EQ(id.size(), 64u);
    // Records already there stay as they are, byte for byte.
    const std::string hiscore = formatHiscore(defaultHiscoreTable());
    const std::string older = bytesOf(kData / "zero.rep");
    struct Case {
        const char* what;
        long frame;    // --take-over, or -1 for T pressed in the playback
        bool toTheEnd; // played to the results, else quit with Esc
    };
    const Case cases[] = {
        {"T in the playback, quit with Esc", -1, false},
        {"--take-over near the end, played to the results", originalEnd() - 400, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pn::reset();
        pn::messageBoxes().clear();
        for (const auto& p : takeOverFiles()) fs::remove(p);
        writeBytes(recordsDirectory() / "Hiscore.txt", hiscore);
        writeBytes(recordsDirectory() / "NewReplay.rep", older);
        writeBytes(recordsDirectory() / "HiReplay.rep", older);
        pn::setTime(1000, 1);
        if (c.frame < 0) {
            pn::pushEvent({platform::FormEvent::KeyDown, VK_T}, 20000);
            pn::scheduleAt(30000, [] { pn::setKey(VK_LEFT, true); });
            pn::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE}, 40000);
        } else {
            for (std::uint32_t t = 10000; t < 600000; t += 2000) {
                pn::scheduleAt(t, [] {
                    if (!takeOverFiles().empty()) pn::pushEvent({platform::FormEvent::KeyDown, VK_ESCAPE});
                });
            }
        }
        EXPECT_EQ(runGame(kOriginal.string(), "", c.frame, runIdOf), 0);
        pn::setKey(VK_LEFT, false);

        EXPECT_EQ(bytesOf(recordsDirectory() / "Hiscore.txt"), hiscore);
        EXPECT_EQ(bytesOf(recordsDirectory() / "NewReplay.rep"), older);
        EXPECT_EQ(bytesOf(recordsDirectory() / "HiReplay.rep"), older);
        EXPECT_TRUE(pn::messageBoxes().empty()) << "no rank box";

        const auto files = takeOverFiles();
        ASSERT_EQ(files.size(), 1u);
        const std::string name = files[0].filename().string();
        const std::string prefix = "takeover-" + id.substr(0, 12) + "-f";
        ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
        const long frame = std::stol(name.substr(prefix.size()));
        if (c.frame >= 0) {
            EXPECT_EQ(frame, c.frame) << name;
        }
        // -f<F>-YYYYMMDD-HHMMSS.rep
        EXPECT_EQ(name.size(), prefix.size() + std::to_string(frame).size() + 1 + 15 + 4) << name;
        const std::string written = bytesOf(files[0]);
        ASSERT_GT(written.size(), 4u + static_cast<std::size_t>(frame) + 1);
        EXPECT_EQ(written.compare(4, static_cast<std::size_t>(frame) + 1, original, 4,
                                  static_cast<std::size_t>(frame) + 1),
                  0);
        const verdict::Verified v = verdict::verifyReplay(written);
        ASSERT_TRUE(v.ok) << v.reason;
        EXPECT_NE(v.id, id) << "the player's own game";
        if (c.frame < 0) {
            // Left was held from 30 s on: the player's bytes have it.
            EXPECT_NE(written.find('\x04', 4 + static_cast<std::size_t>(frame) + 1), std::string::npos);
        } else {
            // Written at the end: the frames the take-over played, and the entry after them.
            EXPECT_EQ(written.size(), 4u + static_cast<std::size_t>(v.figures.endFrame) + 2);
        }
    }
    pn::reset();
    // A frame past the original's end is refused before anything is shown or written.
    pn::setTime(1000, 1);
    for (const auto& p : takeOverFiles()) fs::remove(p);
    EXPECT_EQ(runGame(kOriginal.string(), "", originalEnd() + 1, runIdOf), 2);
    EXPECT_TRUE(takeOverFiles().empty());
    pn::reset();
}
