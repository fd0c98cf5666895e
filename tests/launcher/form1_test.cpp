// The menu window: its looks, its keys, and how it starts the game.
#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "launcher_fixture.h"
#include "look.h"
#include "titlepicture.h"
#include <QPlainTextEdit>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

namespace kestrow::test {
namespace {

class MenuTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        menu_ = std::make_unique<Form1>(appDir_.toStdString());
        menu_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu_.get()));
    }
    void TearDown() override {
        menu_.reset();
        LauncherTest::TearDown();
    }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(menu_.get(), Qt::Key(key), mods);
    }
    std::unique_ptr<Form1> menu_;
};

TEST_F(MenuTest, WindowAndCaptionsLookAsDesigned) {
    EXPECT_EQ(menu_->windowTitle(), QStringLiteral("Velmora Kestrow"));
    EXPECT_EQ(menu_->size(), QSize(270, 446));
    EXPECT_EQ(menu_->minimumSize(), menu_->maximumSize()); // not resizable

    const struct {
        int top;
        const char* text;
    } expected[] = {
        {192, "Enter --- 新たな人生を歩む"},
        {216, "S key --- 前世の遺産"},
        {240, "H key --- 一番すごい前世の一生"},
        {256, "N key --- 一つ前の前世の一生"},
        {272, "R key --- さまざまな一生"},
        {296, "ESC   --- ばいばい"},
        {320, "L key --- 記録の一覧"},
        {344, "O key --- 設定"},
        {368, "W key --- オンライン"},
        {392, "G key --- 一番すごい前世と競う"},
        {416, "P key --- 練習"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        expectCaption(menu_->Label1[i], expected[i].top, expected[i].text);
        EXPECT_EQ(menu_->Label1[i]->size(), QSize(257, 17));
    }
}

TEST_F(MenuTest, GroundLineAndTitleArea) {
    const QImage shot = menu_->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(270, 446));
    EXPECT_EQ(shot.pixelColor(267, 230), QColor(0, 0, 64));      // ground beside the captions
    EXPECT_EQ(shot.pixelColor(135, 180), QColor(192, 192, 255)); // the line under the picture
    EXPECT_EQ(shot.pixelColor(135, 182), QColor(0, 0, 64));

    // The captions are drawn: light-blue-ish glyph pixels inside the first caption.
    int lit = 0;
    for (int y = 192; y < 209; ++y) {
        for (int x = 8; x < 265; ++x) lit += shot.pixelColor(x, y).blue() > 150 ? 1 : 0;
    }
    EXPECT_GT(lit, 100);

    const QPixmap title = titlePicture();
    if (!title.isNull()) {
        EXPECT_EQ(title.size(), QSize(270, 180));
    }
}

// Enter starts a live game; N, B and H play the last and the best game's replays; G
// races a new game against the best.
TEST_F(MenuTest, StartKeysStartTheGameWithTheRightCommandLine) {
    writeFile(QStringLiteral("NewReplay.rep"), QByteArray(9, '\0'));
    writeFile(QStringLiteral("HiReplay.rep"), QByteArray(9, '\0'));
    const struct {
        Qt::Key key;
        QString replay; // empty: a live game, no argument at all
        bool rival = false;
    } cases[] = {
        {Qt::Key_Return, {}},
        {Qt::Key_Enter, {}},
        {Qt::Key_N, QStringLiteral("NewReplay.rep")},
        {Qt::Key_B, QStringLiteral("NewReplay.rep")},
        {Qt::Key_H, QStringLiteral("HiReplay.rep")},
        {Qt::Key_G, QStringLiteral("HiReplay.rep"), true},
    };
    size_t started = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(QTest::toString(c.key));
        const BoxSeen box = catchMessageBox([&] { press(c.key); });
        EXPECT_FALSE(box.shown);
        ASSERT_TRUE(waitForRuns(++started));
        QStringList expected = c.replay.isEmpty() ? QStringList{} : QStringList{appFile(c.replay)};
        if (c.rival) expected.prepend(QStringLiteral("--rival"));
        int matching = 0;
        for (const QStringList& run : runs()) matching += run == expected ? 1 : 0;
        EXPECT_GE(matching, 1);
        releaseGames();
    }
    EXPECT_EQ(runs().size(), std::size(cases));
    EXPECT_TRUE(menu_->isVisible()); // the menu stays
}

// Whatever is missing, the player sees the same box and no game starts.
TEST_F(MenuTest, MissingFilesShowTheBoxAndStartNothing) {
    const struct {
        const char* what;
        Qt::Key key;
        std::function<void(MenuTest&)> prepare;
    } cases[] = {
        {"no last game", Qt::Key_N, [](MenuTest&) {}},
        {"no last game (B)", Qt::Key_B, [](MenuTest&) {}},
        {"no best game", Qt::Key_H, [](MenuTest&) {}},
        {"no best game to race", Qt::Key_G, [](MenuTest&) {}},
        {"replay is a folder", Qt::Key_H,
         [](MenuTest& t) { QDir().mkdir(t.appFile(QStringLiteral("HiReplay.rep"))); }},
        {"game not executable", Qt::Key_Return, [](MenuTest& t) { t.makeGameNotExecutable(); }},
        {"no game program", Qt::Key_Return, [](MenuTest& t) { t.removeGame(); }},
        {"replay there, game missing", Qt::Key_N,
         [](MenuTest& t) {
             t.writeFile(QStringLiteral("NewReplay.rep"), "x");
             t.removeGame();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare(*this);
        const BoxSeen box = catchMessageBox([&] { press(c.key); });
        EXPECT_TRUE(box.shown);
        EXPECT_EQ(box.title, QStringLiteral("えら～"));
        EXPECT_EQ(box.text, QStringLiteral("ふぁいるがありやせんぜ！"));
        EXPECT_EQ(box.icon, QMessageBox::Warning);
        EXPECT_TRUE(menu_->isVisible());
    }
    QTest::qWait(200); // a wrongly started game would have written its note by now
    EXPECT_TRUE(runs().empty());
}

// The replay path is one argument: blanks, quotes, semicolons and $() reach the game as
// they are, and no shell ever sees them.
TEST_F(MenuTest, ReplayPathsReachTheGameUnmangled) {
    QDir(appDir_).mkdir(QStringLiteral("x")); // what "rm -rf x" would remove
    const QString names[] = {
        QStringLiteral("a b; rm -rf x $(id) \"q\".rep"),
        QStringLiteral("it's `touch y` & more.rep"),
        QStringLiteral("-dash\tand tab.rep"),
        QStringLiteral("\"quoted\".rep"),
        QStringLiteral("日本語 の 一生.rep"),
    };
    size_t started = 0;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        writeFile(name, "replay");
        EXPECT_TRUE(menu_->ShellExe(appFile(name)));
        ASSERT_TRUE(waitForRuns(++started));
        releaseGames();
    }
    std::vector<QStringList> seen = runs();
    ASSERT_EQ(seen.size(), std::size(names));
    for (const QString& name : names) {
        const QStringList expected{appFile(name)};
        EXPECT_EQ(std::count(seen.begin(), seen.end(), expected), 1) << name.toStdString();
    }
    EXPECT_TRUE(QDir(appFile(QStringLiteral("x"))).exists());
    EXPECT_FALSE(QFile::exists(appFile(QStringLiteral("y"))));
}

// ShellExe is back while the game it started is still running.
TEST_F(MenuTest, StartingReturnsWithoutWaitingForTheGame) {
    holdGames();
    EXPECT_TRUE(menu_->ShellExe(QString()));
    ASSERT_TRUE(waitForRuns(1));   // the game is running...
    EXPECT_FALSE(gameFinished(1)); // ...and has not ended, yet we are back
    press(Qt::Key_Return);         // a second game starts beside the first
    ASSERT_TRUE(waitForRuns(2));
    EXPECT_FALSE(gameFinished(1));
    releaseGames();
    EXPECT_TRUE(gameFinished(2));
}

TEST_F(MenuTest, SAndROpenTheirWindowsOnceWithoutClosingTheMenu) {
    writeFile(QStringLiteral("Hiscore.txt"), "Tolvane\r\n");
    press(Qt::Key_S);
    ASSERT_NE(menu_->form2(), nullptr);
    Form2* scores = menu_->form2();
    EXPECT_TRUE(scores->isVisible());
    EXPECT_EQ(scores->windowTitle(), QStringLiteral("遺産"));
    press(Qt::Key_S); // already open: the same window comes forward
    EXPECT_EQ(menu_->form2(), scores);

    press(Qt::Key_R);
    ASSERT_NE(menu_->form3(), nullptr);
    Form3* picker = menu_->form3();
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("さまざまな一生"));
    press(Qt::Key_R);
    EXPECT_EQ(menu_->form3(), picker);
    EXPECT_TRUE(menu_->isVisible());
}

TEST_F(MenuTest, OtherKeysDoNothing) {
    writeFile(QStringLiteral("NewReplay.rep"), "x");
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Space, Qt::Key_F5, Qt::Key_Down, Qt::Key_Z, Qt::Key_1}) {
        const BoxSeen box = catchMessageBox([&] { press(key); });
        EXPECT_FALSE(box.shown) << QTest::toString(key);
    }
    QTest::qWait(200);
    EXPECT_TRUE(runs().empty());
    EXPECT_EQ(menu_->form2(), nullptr);
    EXPECT_EQ(menu_->form3(), nullptr);
    EXPECT_TRUE(menu_->isVisible());
}

// Runs the application's event loop with `steps` done inside it, as in the real program.
// Returns what exec() returned, or -1 when the program was still running after 5 s.
int runProgram(const std::function<void()>& steps) {
    QObject scope;
    QTimer::singleShot(0, &scope, steps);
    QTimer::singleShot(5000, &scope, [] { QCoreApplication::exit(-1); });
    return QApplication::exec();
}

// Esc closes the menu only; the program ends with its last window.
TEST_F(MenuTest, EscClosesTheMenuAndTheLastWindowEndsTheProgram) {
    writeFile(QStringLiteral("Hiscore.txt"), "Tolvane\r\n");
    press(Qt::Key_R);
    press(Qt::Key_S);
    ASSERT_NE(menu_->form3(), nullptr);
    ASSERT_NE(menu_->form2(), nullptr);
    int closed = 0;
    QObject scope;
    const int result = runProgram([&] {
        press(Qt::Key_Escape);
        EXPECT_FALSE(menu_->isVisible());
        EXPECT_TRUE(menu_->form2()->isVisible());
        EXPECT_TRUE(menu_->form3()->isVisible());
        // Still running a moment later: close the picker, then, later still, the scores.
        QTimer::singleShot(100, &scope, [&] {
            ++closed;
            QTest::keyClick(menu_->form3()->File1, Qt::Key_Escape);
            QTimer::singleShot(100, &scope, [&] {
                ++closed;
                QTest::keyClick(menu_->form2()->Text1, Qt::Key_Escape);
            });
        });
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(closed, 2);
}

TEST_F(MenuTest, EscAloneEndsTheProgram) {
    EXPECT_EQ(runProgram([&] { press(Qt::Key_Escape); }), 0);
    EXPECT_FALSE(menu_->isVisible());
}

} // namespace
} // namespace kestrow::test
