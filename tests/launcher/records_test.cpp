// The menu and a records folder that is not beside the programs (an installed game, or
// a copy the player cannot write): N, H, S and R look there, and read an older copy
// left beside the programs while the folder has none of its own.
#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "launcher_fixture.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <map>

namespace kestrow::test {
namespace {

class RecordsTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        records_ = base_.filePath(QStringLiteral("data/tolvane")); // not there yet
        menu_ = std::make_unique<Form1>(
            appDir_.toStdString(), common::RecordsPlace{records_.toStdString(), appDir_.toStdString(), {}});
        menu_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu_.get()));
    }
    void TearDown() override {
        menu_.reset();
        LauncherTest::TearDown();
    }
    QString record(const QString& name) const { return QDir(records_).filePath(name); }
    void writeRecord(const QString& name, const QByteArray& bytes) const {
        ASSERT_TRUE(QDir().mkpath(records_));
        QFile file(record(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // The argument the game was started with by `key`, or "(none)" when no game started.
    QString startedWith(Qt::Key key) {
        const std::map<QStringList, int> before = startsByArguments();
        const BoxSeen box = catchMessageBox([&] { QTest::keyClick(menu_.get(), key); });
        if (box.shown || !waitForRuns(countOf(before) + 1)) return QStringLiteral("(none)");
        releaseGames();
        for (const auto& [arguments, n] : startsByArguments()) {
            const auto was = before.find(arguments);
            if (n > (was == before.end() ? 0 : was->second)) return arguments.join(u' ');
        }
        return QStringLiteral("(unknown)");
    }
    std::map<QStringList, int> startsByArguments() const {
        std::map<QStringList, int> starts;
        for (const QStringList& run : runs()) ++starts[run];
        return starts;
    }
    static size_t countOf(const std::map<QStringList, int>& starts) {
        size_t n = 0;
        for (const auto& entry : starts) n += size_t(entry.second);
        return n;
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < menu_->form3()->File1->count(); ++i)
            names << menu_->form3()->File1->item(i)->text();
        return names;
    }

    QString records_;
    std::unique_ptr<Form1> menu_;
};

// N and H: the records folder's replay, else the one left beside the programs.
TEST_F(RecordsTest, ReplayKeysPreferTheRecordsFolder) {
    EXPECT_EQ(startedWith(Qt::Key_N), QStringLiteral("(none)")) << "no replay anywhere";
    writeFile(QStringLiteral("NewReplay.rep"), QByteArray(9, '\0'));
    writeFile(QStringLiteral("HiReplay.rep"), QByteArray(9, '\0'));
    EXPECT_EQ(startedWith(Qt::Key_N), appFile(QStringLiteral("NewReplay.rep")));
    writeRecord(QStringLiteral("NewReplay.rep"), QByteArray(9, '\0'));
    EXPECT_EQ(startedWith(Qt::Key_N), record(QStringLiteral("NewReplay.rep")));
    EXPECT_EQ(startedWith(Qt::Key_H), appFile(QStringLiteral("HiReplay.rep")));
}

// S: the old table while the folder has none, then the folder's own.
TEST_F(RecordsTest, HighScoresComeFromTheRecordsFolder) {
    writeFile(QStringLiteral("Hiscore.txt"), "old table\r\n");
    QTest::keyClick(menu_.get(), Qt::Key_S);
    ASSERT_NE(menu_->form2(), nullptr);
    EXPECT_EQ(menu_->form2()->Text1->toPlainText(), QStringLiteral("\nold table\n"));
    writeRecord(QStringLiteral("Hiscore.txt"), "new table\r\n");
    QTest::keyClick(menu_->form2()->Text1, Qt::Key_F5);
    EXPECT_EQ(menu_->form2()->Text1->toPlainText(), QStringLiteral("\nnew table\n"));
}

// R: the records folder's replays only; the folder may appear while the list is open.
TEST_F(RecordsTest, PickerListsTheRecordsFolderAsItAppears) {
    writeFile(QStringLiteral("beside.rep"), "r");
    QTest::keyClick(menu_.get(), Qt::Key_R);
    ASSERT_NE(menu_->form3(), nullptr);
    EXPECT_TRUE(listed().isEmpty());
    writeRecord(QStringLiteral("NewReplay.rep"), QByteArray(9, '\0'));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return listed() == QStringList{QStringLiteral("NewReplay.rep")}; }, 5000))
        << listed().join(u',').toStdString();
    writeRecord(QStringLiteral("HiReplay.rep"), QByteArray(9, '\0'));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed().size() == 2; }, 5000));
    QTest::keyClick(menu_->form3()->File1, Qt::Key_Home);
    const size_t before = runs().size();
    QTest::keyClick(menu_->form3()->File1, Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(before + 1));
    EXPECT_EQ(runs().back(), QStringList{record(QStringLiteral("HiReplay.rep"))});
}

} // namespace
} // namespace kestrow::test
