// Practice from a run's real state: the names of take-over records, the game's command
// line for a take-over, the start points a run offers (checked against the headless
// tool's own splits and scores), and the practice window driven by its keys.
#include "gamestart.h"
#include "launcher_fixture.h"
#include "outbox.h"
#include "practice.h"
#include "replaylist.h"
#include "takeovername.h"

#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

namespace kestrow::test {
namespace {

TEST(TakeOverName, OnlyTheExactFormIsRead) {
    const struct {
        const char* name;
        bool read;
        const char* origin = "";
        long frame = 0;
        int date[6] = {};
    } cases[] = {
        {"takeover-1a2b3c4d5e6f-f1234-20261209-082535.rep",
         true,
         "1a2b3c4d5e6f",
         1234,
         {2026, 12, 9, 8, 25, 35}},
        {"takeover-000000000000-f0-20240229-000000.rep", true, "000000000000", 0, {2024, 2, 29, 0, 0, 0}},
        {"takeover-ffffffffffff-f25000-99991231-235959.rep",
         true,
         "ffffffffffff",
         25000,
         {9999, 12, 31, 23, 59, 59}},
        {"takeover-1A2b3c4d5e6f-f1234-20261209-082535.rep", false},  // upper-case hex
        {"takeover-1a2b3c4d5e6-f1234-20261209-082535.rep", false},   // 11 digits
        {"takeover-1a2b3c4d5e6f0-f1234-20261209-082535.rep", false}, // 13 digits
        {"takeover-1a2b3c4d5e6g-f1234-20261209-082535.rep", false},  // not hex
        {"takeover-1a2b3c4d5e6f-f01234-20261209-082535.rep", false}, // leading zero
        {"takeover-1a2b3c4d5e6f-f25001-20261209-082535.rep", false}, // past a replay's end
        {"takeover-1a2b3c4d5e6f-f-20261209-082535.rep", false},      // no frame
        {"takeover-1a2b3c4d5e6f-1234-20261209-082535.rep", false},   // no f
        {"takeover-1a2b3c4d5e6f-f1234-20230229-082535.rep", false},  // no such day
        {"takeover-1a2b3c4d5e6f-f1234-20261301-082535.rep", false},  // month 13
        {"takeover-1a2b3c4d5e6f-f1234-20261209-240000.rep", false},  // hour 24
        {"takeover-1a2b3c4d5e6f-f1234-20261209-085960.rep", false},  // second 60
        {"takeover-1a2b3c4d5e6f-f1234-19991231-082535.rep", false},  // before the game's time
        {"takeover-1a2b3c4d5e6f-f1234-20261209-082535.REP", false},
        {"takeover-1a2b3c4d5e6f-f1234-20261209-082535", false},
        {"Takeover-1a2b3c4d5e6f-f1234-20261209-082535.rep", false},
        {"HiReplay.rep", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<TakeOverName> got = parseTakeOverName(c.name);
        ASSERT_EQ(got.has_value(), c.read);
        if (!got) continue;
        const TakeOverName want{c.origin,  c.frame,   c.date[0], c.date[1],
                                c.date[2], c.date[3], c.date[4], c.date[5]};
        EXPECT_EQ(*got, want);
        EXPECT_EQ(takeOverFileName(*got), c.name);
    }
}

TEST(GameArguments, ATakeOverFollowsTheReplayItTakesOver) {
    const struct {
        QString replay, rival;
        long takeOver;
        QStringList expected;
    } cases[] = {
        {"a b.rep", {}, 1234, {"a b.rep", "--take-over", "1234"}},
        {"a.rep", {}, 0, {"a.rep", "--take-over", "0"}},
        {"a.rep", "r.rep", 25000, {"--rival", "r.rep", "a.rep", "--take-over", "25000"}},
        {"a.rep", {}, -1, {"a.rep"}},
        {{}, {}, 10, {}}, // a live game has nothing to take over
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.join(u' ').toStdString());
        EXPECT_EQ(gameArguments(c.replay, c.rival, c.takeOver), c.expected);
    }
}

// The splits and scores are those `tolvane-replay compare` gives for the golden games.
TEST(StudyRun, OffersTheStartAndEachSplitBeforeTheEndWithTheRunsScore) {
    using K = StartPoint::Kind;
    const struct {
        const char* replay;
        long endFrame;
        std::vector<StartPoint> points;
        std::vector<std::pair<long, qint64>> scores; // more frames and their scores
    } cases[] = {
        {"zero.rep",
         8142,
         {{K::GameStart, 0, 0, 0}, {K::Boss, 1, 3700, 36363}, {K::Stage, 2, 5500, 38920}},
         {{1200, 5570}, {4200, 37158}, {8100, 113586}, {8142, 120690}, {8143, -1}, {-1, -1}}},
        {"autoplay.rep",
         24400,
         {{K::GameStart, 0, 0, 0},
          {K::Boss, 1, 3700, 864445},
          {K::Stage, 2, 5500, 14950136},
          {K::Boss, 2, 10600, 18175539},
          {K::Stage, 3, 14250, 167391316},
          {K::Boss, 3, 15700, 167405901}},
         {{24400, 407192028}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.replay);
        const QByteArray bytes = golden(c.replay);
        const StudiedRun run = studyRun(bytes);
        ASSERT_TRUE(run.ok) << run.why.toStdString();
        EXPECT_EQ(run.endFrame, c.endFrame);
        EXPECT_EQ(run.scores.size(), size_t(c.endFrame + 1));
        EXPECT_EQ(run.points, c.points);
        for (const auto& [frame, score] : c.scores) EXPECT_EQ(run.scoreAt(frame), score) << frame;
        // The id is the game's own, and the records list finds it from the file alone.
        QString why;
        const auto verdict = playReplay(bytes, &why);
        ASSERT_TRUE(verdict);
        EXPECT_EQ(run.id, verdict->id);
        EXPECT_EQ(runIdOf(bytes, run.endFrame), verdict->id);
        // Bytes past the replay's count are no part of the game.
        EXPECT_EQ(runIdOf(bytes + QByteArray(7, '\x1f'), run.endFrame), verdict->id);
    }
    const StudiedRun refused = studyRun(QByteArray(2, '\0'));
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.why.isEmpty());
    EXPECT_TRUE(refused.points.empty());
}

class PracticeTest : public MenuOpenTest {
  public:
    Practice* open(Qt::Key key = Qt::Key_P) {
        QTest::keyClick(menu_.get(), key);
        Practice* window = menu_->practice();
        if (window) EXPECT_TRUE(QTest::qWaitFor([&] { return window->ready(); }, 30000));
        return window;
    }
    static QStringList row(const Practice* w, int r) {
        QStringList out;
        for (int c = 0; c < 3; ++c) out << (w->Table->item(r, c) ? w->Table->item(r, c)->text() : QString());
        return out;
    }
};

TEST_F(PracticeTest, PListsTheBestRunsStartPointsAndEachStartsATakeOverThere) {
    writeFile(QStringLiteral("HiReplay.rep"), golden("zero.rep"));
    const QString best = menu_->recordPath("HiReplay.rep");
    Practice* window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->replay(), best);
    EXPECT_TRUE(window->Run->text().contains(QStringLiteral("8142")));
    EXPECT_TRUE(window->Run->text().contains(QStringLiteral("120690")));
    ASSERT_EQ(window->Table->rowCount(), 4);
    EXPECT_EQ(row(window, 0), QStringList({"ゲームの始め", "0", "0"}));
    EXPECT_EQ(row(window, 1), QStringList({"ボス1の登場", "3700", "36363"}));
    EXPECT_EQ(row(window, 2), QStringList({"ステージ2の始め", "5500", "38920"}));
    EXPECT_EQ(row(window, 3), QStringList({"フレームを入力（0～8142）", "", ""}));

    const struct {
        const char* what;
        int row;            // selected first; -1 leaves the selection
        const char* keys;   // digits typed, '<' a Backspace, 'v' the down arrow
        QStringList shown;  // the typed row after the keys (when not empty)
        const char* status; // what the status line says after the keys (a part of it)
        long starts;        // then Enter: the frame taken over, -1 for nothing started
    } cases[] = {
        {"the start", 0, "", {}, "", 0},
        {"boss 1", 1, "", {}, "", 3700},
        {"down to stage 2", 1, "v", {}, "", 5500},
        {"a frame typed", 0, "4200", {"入力したフレーム", "4200", "37158"}, "", 4200},
        {"a digit too many is refused",
         -1,
         "<<<<81429",
         {"入力したフレーム", "8142", "120690"},
         "0 から 8142 まで",
         8142},
        {"backspace", -1, "<<<", {"入力したフレーム", "8", "0"}, "", 8},
        {"all erased: nothing to start", -1, "<", {"フレームを入力（0～8142）", "", ""}, "", -1},
        {"zero", -1, "0", {"入力したフレーム", "0", "0"}, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.row >= 0) window->Table->selectRow(c.row);
        for (const char* k = c.keys; *k; ++k) {
            const Qt::Key key = *k == '<'   ? Qt::Key_Backspace
                                : *k == 'v' ? Qt::Key_Down
                                            : Qt::Key(Qt::Key_0 + (*k - '0'));
            QTest::keyClick(window->Table, key);
        }
        if (!c.shown.isEmpty()) EXPECT_EQ(row(window, 3), c.shown);
        EXPECT_TRUE(window->Status->text().contains(QString::fromUtf8(c.status)))
            << window->Status->text().toStdString();
        QTest::keyClick(window->Table, Qt::Key_Return);
        if (c.starts < 0) {
            QTest::qWait(200);
            EXPECT_TRUE(runs().empty());
            EXPECT_TRUE(window->Status->text().contains(QStringLiteral("数字")));
            continue;
        }
        ASSERT_TRUE(waitForRuns(1));
        const std::vector<QStringList> seen = runs();
        EXPECT_EQ(seen, std::vector<QStringList>(
                            {{best, QStringLiteral("--take-over"), QString::number(c.starts)}}));
        releaseGames();
        forgetRuns();
    }
    EXPECT_TRUE(window->isVisible()); // stays for the next try
    QTest::keyClick(window->Table, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu_->practice() == nullptr; }, 2000));
}

TEST_F(PracticeTest, ARunThatCannotBeHadOffersNothing) {
    // No best replay: the file-missing box, no window.
    const BoxSeen box = catchMessageBox([&] { QTest::keyClick(menu_.get(), Qt::Key_P); });
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.text, QStringLiteral("ふぁいるがありやせんぜ！"));
    EXPECT_EQ(menu_->practice(), nullptr);

    // A file the game refuses: said, and Enter starts nothing.
    writeFile(QStringLiteral("short.rep"), QByteArray(2, '\0'));
    menu_->showPractice(appFile(QStringLiteral("short.rep")), QStringLiteral("short.rep"));
    Practice* window = menu_->practice();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Status->text().isEmpty(); }, 30000));
    EXPECT_TRUE(window->Status->text().startsWith(QStringLiteral("この記録は遊べません: ")));
    EXPECT_FALSE(window->ready());
    QTest::keyClick(window->Table, Qt::Key_Return);
    QTest::keyClick(window->Table, Qt::Key_1);
    QTest::keyClick(window->Table, Qt::Key_Return);
    QTest::qWait(200);
    EXPECT_TRUE(runs().empty());

    // Opened on another run, the window gives way to one on that run.
    writeFile(QStringLiteral("HiReplay.rep"), golden("boost.rep"));
    Practice* other = open();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->replay(), menu_->recordPath("HiReplay.rep"));
    EXPECT_EQ(other->Table->rowCount(), 4);
}

} // namespace
} // namespace kestrow::test
