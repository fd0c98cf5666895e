// The game window's life with the null platform: start-up, the loop, and every way
// of ending it, with the end-of-game message only after live play.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "media/platform_null.h"
#include "session/session.h"

using namespace tolvane;
namespace pn = platform::null;

namespace {

// An all-zero replay of n frames in a temporary file.
std::string zeroReplay(int n) {
    std::string path = (std::filesystem::temp_directory_path() / "form_test_zero.rep").string();
    std::ofstream out(path, std::ios::binary);
    unsigned char count[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8), 0, 0};
    out.write(reinterpret_cast<char*>(count), 4);
    std::string zeros(static_cast<std::size_t>(n) + 1, '\0');
    out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    return path;
}

} // namespace

TEST(Form, EveryWayOfQuittingEndsTheLoopAndLiveShowsTheRank) {
    struct Case {
        platform::FormEvent event;
        const char* what;
    } cases[] = {{{platform::FormEvent::KeyDown, 27}, "Esc"},
                 {{platform::FormEvent::MouseDown, 0}, "mouse"},
                 {{platform::FormEvent::Close, 0}, "window closed by the system"}};
    for (const Case& c : cases) {
        pn::reset();
        pn::setTime(1000, 1);         // the clock moves on at every poll
        pn::pushEvent(c.event, 1100); // a few frames into the game
        EXPECT_EQ(runGame(""), 0) << c.what;
        ASSERT_EQ(pn::messageBoxes().size(), 1u) << c.what;
        EXPECT_EQ(pn::messageBoxes()[0].first, "今回のスコアはランク外です。");
        EXPECT_EQ(pn::messageBoxes()[0].second, "Tolvane");
        EXPECT_EQ(pn::cursorShows(), 0) << "the cursor is shown again";
    }
}

TEST(Form, PlaybackQuitsWithoutAMessage) {
    pn::setTime(1000, 1);
    pn::pushEvent({platform::FormEvent::KeyDown, 114}, 1100); // F3: as fast as possible
    pn::pushEvent({platform::FormEvent::KeyDown, 27}, 1200);
    EXPECT_EQ(runGame(zeroReplay(100)), 0);
    EXPECT_TRUE(pn::messageBoxes().empty());
}

TEST(Form, ARefusedReplayIsNamedAndEndsWithStatusTwo) {
    pn::setTime(1000, 1);
    EXPECT_EQ(runGame("/nonexistent/folder/game.rep"), 2);
    ASSERT_EQ(pn::messageBoxes().size(), 1u);
    EXPECT_NE(pn::messageBoxes()[0].first.find("/nonexistent/folder/game.rep"), std::string::npos);
    EXPECT_EQ(pn::messageBoxes()[0].second, "Tolvane");
}

TEST(Form, QuitDuringStartUpIsOutOfTheRanking) {
    pn::setTime(1000, 1);
    pn::pushEvent({platform::FormEvent::KeyDown, 27}); // seen by the start-up's own event run
    EXPECT_EQ(runGame(""), 0);
    ASSERT_EQ(pn::messageBoxes().size(), 1u);
    EXPECT_EQ(pn::messageBoxes()[0].first, "今回のスコアはランク外です。");
}

TEST(Form, RankMessages) {
    EXPECT_EQ(rankMessage(-1), "今回のスコアはランク外です。");
    EXPECT_EQ(rankMessage(0), "今回のスコアはランク外です。");
    EXPECT_EQ(rankMessage(3), "今回のスコアは3位に入りました。");
    EXPECT_EQ(rankMessage(100), "今回のスコアは100位に入りました。");
}

TEST(Form, WaitsSleepingWhileMuchOfTheFrameRemains) {
    pn::setTime(1000, 1);                                    // every poll of the clock takes a millisecond
    pn::pushEvent({platform::FormEvent::KeyDown, 27}, 1001); // after start-up, at the first frame
    EXPECT_EQ(runGame(""), 0);
    // The loop reads the clock as the first frame's start; the wait polls once, sleeps to
    // the millisecond before the tick and polls the rest: of the 17 ms, 14 are slept.
    EXPECT_EQ(pn::sleptMs(), 14u);
}
