// The high-score view: Hiscore.txt shown line for line, Esc and F5, the missing file.
#include "common/cp932.h"
#include "form1.h"
#include "form2.h"
#include "launcher_fixture.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

namespace kestrow::test {
namespace {

QByteArray cp932(const char* utf8) {
    const auto bytes = common::utf8ToCp932(utf8);
    EXPECT_TRUE(bytes.has_value()) << utf8;
    return QByteArray::fromStdString(bytes.value_or(""));
}

// The table as the game writes it, with `top` as the best score.
QByteArray table(int top) {
    std::string text = "Tolvane\r\n\r\nはいすこあ\r\n\r\n";
    for (int k = 1; k <= 100; ++k) {
        text += std::to_string(k) + "位 , " + std::to_string(top - (k - 1) * 10000) + " \r\n";
    }
    return cp932(text.c_str());
}

// What the box shows for that table.
QString tableText(int top) {
    QString text = QStringLiteral("\nTolvane\n\nはいすこあ\n");
    for (int k = 1; k <= 100; ++k) text += QStringLiteral("\n%1位 , %2 ").arg(k).arg(top - (k - 1) * 10000);
    return text + u'\n';
}

TEST(HiscoreBoxText, EveryLineAfterABreakAndOneBreakAtTheEnd) {
    const struct {
        const char* what;
        QByteArray file;
        QString box;
    } cases[] = {
        {"CR LF lines", cp932("Tolvane\r\n\r\nはいすこあ\r\n"), QStringLiteral("\nTolvane\n\nはいすこあ\n")},
        {"LF lines", "a\nb\n", QStringLiteral("\na\nb\n")},
        {"CR lines", "a\rb\r", QStringLiteral("\na\nb\n")},
        {"last line without end", "a\r\nb", QStringLiteral("\na\nb\n")},
        {"empty file", "", QStringLiteral("\n")},
        {"only empty lines", "\r\n\r\n", QStringLiteral("\n\n\n")},
        {"bytes that are not CP932", QByteArray("ok\xFF\r\nx\x82", 7),
         QStringLiteral("\nok\uFFFD\nx\uFFFD\n")},
        {"NUL inside a line", QByteArray("a\0b\r\n", 5), QString::fromUtf16(u"\na\0b\n", 5)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hiscoreBoxText(c.file), c.box) << c.what;
    }
    EXPECT_EQ(hiscoreBoxText(table(1000000)), tableText(1000000));
}

class ScoresTest : public MenuOpenTest {
  protected:
    // S in the menu; returns the error box, if any.
    BoxSeen open() {
        return catchMessageBox([&] { QTest::keyClick(menu_.get(), Qt::Key_S); });
    }
    Form2* form() const { return menu_->form2(); }
    QString shown() const { return form()->Text1->toPlainText(); }
};

TEST_F(ScoresTest, WindowLooksAsDesigned) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    open();
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(form()->windowTitle(), QStringLiteral("遺産"));
    EXPECT_EQ(form()->size(), QSize(233, 305));
    expectBox(form()->Text1, QRect(1, 47, 231, 257));
    EXPECT_EQ(form()->Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    expectCaption(form()->Label1[0], 8, "ESC   --- もどる");
    expectCaption(form()->Label1[1], 24, "F5 --- 最新の情報に更新");
    const QImage shot = form()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(225, 42), QColor(0, 0, 64));
    EXPECT_EQ(shot.pixelColor(185, 200), QColor(192, 192, 255)); // right of the short lines
}

TEST_F(ScoresTest, ShowsTheTableLineForLine) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    EXPECT_FALSE(open().shown);
    EXPECT_EQ(shown(), tableText(1000000));
    EXPECT_EQ(form()->Text1->document()->blockCount(), 106); // empty first line, 104, and the end
}

TEST_F(ScoresTest, BrokenBytesShowAsReplacementCharacters) {
    writeFile(QStringLiteral("Hiscore.txt"), QByteArray("Tolvane\r\n\x81\x20\xFF\xFE\r\n\x83", 15));
    EXPECT_FALSE(open().shown);
    EXPECT_TRUE(shown().startsWith(QStringLiteral("\nTolvane\n")));
    EXPECT_GE(shown().count(QChar(0xFFFD)), 3);
}

// F5 shows the file as it is now, once: no second copy under the first.
TEST_F(ScoresTest, F5ReloadsTheChangedFile) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    open();
    writeFile(QStringLiteral("Hiscore.txt"), table(2000000));
    // F5 goes to the box, which has the focus; the window sees it first.
    const BoxSeen box = catchMessageBox([&] { QTest::keyClick(form()->Text1, Qt::Key_F5); });
    EXPECT_FALSE(box.shown);
    EXPECT_EQ(shown(), tableText(2000000));
    QTest::keyClick(form()->Text1, Qt::Key_F5);
    EXPECT_EQ(shown(), tableText(2000000));
}

TEST_F(ScoresTest, MissingTableShowsTheBox) {
    const struct {
        const char* what;
        std::function<void(ScoresTest&)> prepare;
    } cases[] = {
        {"no file", [](ScoresTest&) {}},
        {"a folder by that name",
         [](ScoresTest& t) { QDir().mkdir(t.appFile(QStringLiteral("Hiscore.txt"))); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare(*this);
        const BoxSeen box = open();
        EXPECT_TRUE(box.shown);
        EXPECT_EQ(box.title, QStringLiteral("えら～"));
        EXPECT_EQ(box.text, QStringLiteral("ハイスコアファイルがありやせん！"));
        EXPECT_EQ(box.icon, QMessageBox::Warning);
        ASSERT_NE(form(), nullptr); // the window stays open, empty
        EXPECT_TRUE(form()->isVisible());
        EXPECT_EQ(shown(), QString());
        QTest::keyClick(form()->Text1, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form() == nullptr; }, 2000));
    }
}

TEST_F(ScoresTest, F5WithTheFileGoneKeepsTheText) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    open();
    QFile::remove(appFile(QStringLiteral("Hiscore.txt")));
    const BoxSeen box = catchMessageBox([&] { QTest::keyClick(form()->Text1, Qt::Key_F5); });
    EXPECT_TRUE(box.shown);
    EXPECT_EQ(box.text, QStringLiteral("ハイスコアファイルがありやせん！"));
    EXPECT_EQ(shown(), tableText(1000000));
}

// Esc unloads the view; the next S makes a new one that reads the file again.
TEST_F(ScoresTest, EscClosesAndTheNextSReadsAgain) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    open();
    QTest::keyClick(form()->Text1, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form() == nullptr; }, 2000));
    EXPECT_TRUE(menu_->isVisible());

    writeFile(QStringLiteral("Hiscore.txt"), table(3000000));
    open();
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(shown(), tableText(3000000));
}

// Keys other than Esc and F5 are the box's: they move through the text, change nothing.
TEST_F(ScoresTest, OtherKeysGoToTheBox) {
    writeFile(QStringLiteral("Hiscore.txt"), table(1000000));
    open();
    QPlainTextEdit* box = form()->Text1;
    box->setFocus();
    EXPECT_EQ(box->textCursor().position(), 0);
    QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(box->textCursor().atEnd());
    EXPECT_GT(box->verticalScrollBar()->value(), 0);
    QTest::keyClicks(box, "abc");
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(shown(), tableText(1000000));
    EXPECT_TRUE(form()->isVisible());
}

} // namespace
} // namespace kestrow::test
