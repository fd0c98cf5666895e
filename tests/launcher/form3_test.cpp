// The replay picker: which files it lists and in what order, following the folder, and
// playing the selected replay.
#include "form1.h"
#include "form3.h"
#include "launcher_fixture.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

namespace kestrow::test {
namespace {

class PickerTest : public MenuOpenTest {
  protected:
    Form3* open() {
        QTest::keyClick(menu_.get(), Qt::Key_R);
        return menu_->form3();
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < menu_->form3()->File1->count(); ++i)
            names << menu_->form3()->File1->item(i)->text();
        return names;
    }
    QString selected() const {
        const QListWidgetItem* item = menu_->form3()->File1->currentItem();
        return item ? item->text() : QString();
    }
    void key(Qt::Key k) { QTest::keyClick(menu_->form3()->File1, k); }

  public:
};

const QString kOdd = QStringLiteral("a b; rm -rf x $(id) \"q\".rep");

// Regular files ending in .rep in any case, sorted by name without regard to case; no
// folders, no hidden files, nothing else.
TEST_F(PickerTest, ListsReplayFilesSortedByName) {
    for (const QString& name :
         {QStringLiteral("NewReplay.rep"), QStringLiteral("HiReplay.rep"), QStringLiteral("zeta.REP"),
          QStringLiteral("alpha.rep"), QStringLiteral("Beta.rep"), QStringLiteral("beta.rep"), kOdd,
          QStringLiteral("notes.txt"), QStringLiteral("x.rep.bak"), QStringLiteral(".hidden.rep"),
          QStringLiteral("rep"), QStringLiteral("Hiscore.txt")}) {
        writeFile(name, "r");
    }
    QDir(appDir_).mkdir(QStringLiteral("folder.rep"));
    const QStringList expected{kOdd,
                               QStringLiteral("alpha.rep"),
                               QStringLiteral("Beta.rep"),
                               QStringLiteral("beta.rep"),
                               QStringLiteral("HiReplay.rep"),
                               QStringLiteral("NewReplay.rep"),
                               QStringLiteral("zeta.REP")};
    EXPECT_EQ(replayFiles(appDir_), expected);

    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(listed(), expected);
    EXPECT_EQ(selected(), kOdd); // the first one is ready to play
}

TEST_F(PickerTest, WindowLooksAsDesigned) {
    Form3* form = open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("さまざまな一生"));
    EXPECT_EQ(form->size(), QSize(177, 241));
    expectBox(form->File1, QRect(1, 46, 175, 194));
    expectCaption(form->Label1[0], 8, "ESC   --- もどる");
    expectCaption(form->Label1[1], 24, "Enter --- みる");
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.pixelColor(170, 40), QColor(0, 0, 64));
    EXPECT_EQ(shot.pixelColor(88, 200), QColor(192, 192, 255)); // the empty list
}

// Enter plays the selected file by its full path; the arrow keys stay the list's.
TEST_F(PickerTest, EnterPlaysTheSelectedReplay) {
    for (const QString& name : {QStringLiteral("a.rep"), QStringLiteral("b.rep"), kOdd}) writeFile(name, "r");
    open();
    ASSERT_EQ(selected(), kOdd);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(1));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    EXPECT_EQ(selected(), QStringLiteral("b.rep"));
    key(Qt::Key_Enter);
    ASSERT_TRUE(waitForRuns(2));
    key(Qt::Key_Up);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(3));

    std::vector<QStringList> seen = runs();
    for (const QString& name : {QStringLiteral("a.rep"), QStringLiteral("b.rep"), kOdd}) {
        EXPECT_EQ(std::count(seen.begin(), seen.end(), QStringList{appFile(name)}), 1) << name.toStdString();
    }
    EXPECT_TRUE(menu_->form3()->isVisible()); // stays open for the next one
}

TEST_F(PickerTest, EnterWithNothingToPlayShowsTheBox) {
    const struct {
        const char* what;
        std::function<void(PickerTest&)> prepare;
    } cases[] = {
        {"empty list", [](PickerTest&) {}},
        {"file gone since it was listed",
         [](PickerTest& t) {
             t.writeFile(QStringLiteral("old.rep"), "r");
             t.menu_->form3()->Form_Load();
             QFile::remove(t.appFile(QStringLiteral("old.rep")));
         }},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare(*this);
        const BoxSeen box = catchMessageBox([&] { key(Qt::Key_Return); });
        EXPECT_TRUE(box.shown);
        EXPECT_EQ(box.title, QStringLiteral("えら～"));
        EXPECT_EQ(box.text, QStringLiteral("ふぁいるがありやせんぜ！"));
        EXPECT_EQ(box.icon, QMessageBox::Warning);
    }
    QTest::qWait(200);
    EXPECT_TRUE(runs().empty());
}

// Replays written or deleted while the picker is open show up or go, the selection
// staying on its file.
TEST_F(PickerTest, FollowsTheFolderWhileOpen) {
    writeFile(QStringLiteral("b.rep"), "r");
    writeFile(QStringLiteral("d.rep"), "r");
    open();
    key(Qt::Key_Down);
    ASSERT_EQ(selected(), QStringLiteral("d.rep"));

    writeFile(QStringLiteral("a.rep"), "r");
    writeFile(QStringLiteral("c.rep"), "r");
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed().size() == 4; }, 3000));
    EXPECT_EQ(listed(), (QStringList{"a.rep", "b.rep", "c.rep", "d.rep"}));
    EXPECT_EQ(selected(), QStringLiteral("d.rep"));

    QFile::remove(appFile(QStringLiteral("b.rep")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed().size() == 3; }, 3000));
    EXPECT_EQ(listed(), (QStringList{"a.rep", "c.rep", "d.rep"}));
    EXPECT_EQ(selected(), QStringLiteral("d.rep"));

    // The selected file itself goes: the selection stays at its place in the list.
    QFile::remove(appFile(QStringLiteral("d.rep")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed().size() == 2; }, 3000));
    EXPECT_EQ(selected(), QStringLiteral("c.rep"));
}

TEST_F(PickerTest, EscClosesThePickerOnlyAndRReadsTheFolderAgain) {
    open();
    EXPECT_TRUE(listed().isEmpty());
    key(Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu_->form3() == nullptr; }, 2000));
    EXPECT_TRUE(menu_->isVisible());

    writeFile(QStringLiteral("copy of HiReplay.rep"), "r");
    open();
    EXPECT_EQ(listed(), QStringList{QStringLiteral("copy of HiReplay.rep")});
}

} // namespace
} // namespace kestrow::test
