// The settings window: keys added with Enter and a key press, refused when another
// action heard at the same time has them, removed with Delete; values changed with the
// arrows; OK writes only what changed, Esc nothing.
#include "form5.h"
#include "launcher_fixture.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <SDL.h>

#include <fstream>

namespace kestrow::test {
namespace {

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        file_ = (dir_.path() + QStringLiteral("/tolvane/settings.ini")).toStdString();
    }
    void open() { window_ = std::make_unique<Form5>(file_); }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window_->List1, Qt::Key(key), mods);
    }
    // Selects the row whose label is `label`.
    void select(const QString& label) {
        const auto found = window_->List1->findItems(label, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << label.toStdString();
        window_->List1->setCurrentCell(found.front()->row(), 0);
    }
    QString valueOf(const QString& label) const {
        const auto found = window_->List1->findItems(label, Qt::MatchExactly);
        return found.isEmpty() ? QString() : window_->List1->item(found.front()->row(), 1)->text();
    }
    // Each step: a key pressed on a row, and what the row shows then; then OK.
    struct Step {
        const QString& row;
        Qt::Key key;
        const char* shows;
    };
    void stepAndSave(std::initializer_list<Step> steps) {
        for (const Step& s : steps) {
            select(s.row);
            press(s.key);
            EXPECT_EQ(valueOf(s.row), QString::fromUtf8(s.shows)) << s.row.toStdString();
        }
        select(QStringLiteral("OK"));
        press(Qt::Key_Return);
    }
    std::string fileText() const {
        QFile f(QString::fromStdString(file_.string()));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }

    QTemporaryDir dir_;
    std::filesystem::path file_;
    std::unique_ptr<Form5> window_;
};

TEST_F(SettingsWindowTest, KeysAreAddedRefusedAndRemoved) {
    open();
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("設定"));
    select(QStringLiteral("ボム"));
    press(Qt::Key_Return);
    press(Qt::Key_X);
    EXPECT_EQ(valueOf(QStringLiteral("ボム")), QStringLiteral("Z, X"));
    // P pauses: refused for the bomb, with the reason.
    press(Qt::Key_Return);
    press(Qt::Key_P);
    EXPECT_EQ(valueOf(QStringLiteral("ボム")), QStringLiteral("Z, X"));
    EXPECT_TRUE(window_->Status->text().contains(QStringLiteral("一時停止")))
        << window_->Status->text().toStdString();
    // Space pauses only a replay, so a live game's bomb may have it.
    press(Qt::Key_Return);
    press(Qt::Key_Space);
    EXPECT_EQ(valueOf(QStringLiteral("ボム")), QStringLiteral("Z, X, Space"));
    press(Qt::Key_Delete);
    EXPECT_EQ(valueOf(QStringLiteral("ボム")), QStringLiteral("Z, X"));
    // Esc while waiting for a key binds nothing.
    press(Qt::Key_Return);
    press(Qt::Key_Escape);
    EXPECT_EQ(valueOf(QStringLiteral("ボム")), QStringLiteral("Z, X"));
    // The keypad's keys are the keypad's, not the digits'.
    select(QStringLiteral("左へ"));
    press(Qt::Key_Return);
    press(Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(valueOf(QStringLiteral("左へ")), QStringLiteral("Left, Keypad 4, Keypad 7"));
}

TEST_F(SettingsWindowTest, OkWritesOnlyWhatChangedAndKeepsTheRestOfTheFile) {
    std::filesystem::create_directories(file_.parent_path());
    {
        std::ofstream out(file_);
        out << "# mine\n[keys]\nbomb = Z   ; as ever\n[mine]\nq = 1\n";
    }
    open();
    select(QStringLiteral("ボム"));
    press(Qt::Key_Return);
    press(Qt::Key_X);
    select(QStringLiteral("効果音の音量"));
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    select(QStringLiteral("パッドのボム"));
    press(Qt::Key_Right); // a -> b
    select(QStringLiteral("OK"));
    press(Qt::Key_Return);
    EXPECT_EQ(fileText(), "# mine\n[keys]\nbomb = Z, X   ; as ever\n[mine]\nq = 1\n\n[pad]\nbomb = b\n\n"
                          "[sound]\neffects = 90\n");
    const settings::Settings s = settings::load(file_, nullptr);
    EXPECT_EQ(s.effects, 90);
    EXPECT_EQ(s.padBomb, SDL_CONTROLLER_BUTTON_B);

    // Esc leaves the file alone, and "Reset to defaults" then OK writes the defaults back.
    open();
    select(QStringLiteral("音楽の音量"));
    press(Qt::Key_Left);
    press(Qt::Key_Escape);
    EXPECT_EQ(settings::load(file_, nullptr), s);
    open();
    select(QStringLiteral("Reset to defaults"));
    press(Qt::Key_Return);
    select(QStringLiteral("OK"));
    press(Qt::Key_Return);
    EXPECT_EQ(settings::load(file_, nullptr), settings::defaults());
    EXPECT_NE(fileText().find("# mine\n"), std::string::npos);
}

// The three [rival] settings: the arrows walk the choices, OK writes them for the game.
TEST_F(SettingsWindowTest, TheRivalSettingsAreShownAndWritten) {
    open();
    const QString rival = QStringLiteral("新たな人生のライバル");
    const QString ghost = QStringLiteral("ゴーストの濃さ");
    const QString splits = QStringLiteral("区間ごとの差");
    EXPECT_EQ(valueOf(rival), QStringLiteral("なし"));
    EXPECT_EQ(valueOf(ghost), QStringLiteral("45 %"));
    EXPECT_EQ(valueOf(splits), QStringLiteral("はい"));
    stepAndSave({
        {rival, Qt::Key_Right, "自分の最高の一生"},
        {rival, Qt::Key_Right, "オンラインで一つ上の順位"},
        {rival, Qt::Key_Right, "オンラインの1位"},
        {rival, Qt::Key_Right, "なし"},
        {rival, Qt::Key_Left, "オンラインの1位"},
        {rival, Qt::Key_Left, "オンラインで一つ上の順位"},
        {ghost, Qt::Key_Left, "40 %"},
        {splits, Qt::Key_Right, "いいえ"},
    });
    const settings::Settings saved = settings::load(file_, nullptr);
    EXPECT_EQ(saved.rival, settings::RivalChoice::Above);
    EXPECT_EQ(saved.ghost, 40);
    EXPECT_FALSE(saved.splits);
    EXPECT_NE(fileText().find("[rival]\ndefault = above\nghost = 40\nsplits = false\n"), std::string::npos)
        << fileText();
}

TEST_F(SettingsWindowTest, ThePracticeSettingsAreShownAndWritten) {
    open();
    const QString miss = QStringLiteral("ミスしたとき");
    const QString loop = QStringLiteral("区間の繰り返し");
    EXPECT_EQ(valueOf(miss), QStringLiteral("続ける"));
    EXPECT_EQ(valueOf(loop), QStringLiteral("しない"));
    stepAndSave({
        {miss, Qt::Key_Right, "3秒戻す"},
        {miss, Qt::Key_Left, "続ける"},
        {miss, Qt::Key_Return, "3秒戻す"},
        {loop, Qt::Key_Left, "する"},
        {loop, Qt::Key_Right, "しない"},
        {loop, Qt::Key_Right, "する"},
    });
    const settings::Settings saved = settings::load(file_, nullptr);
    EXPECT_EQ(saved.onMiss, settings::PracticeMiss::Rewind);
    EXPECT_EQ(saved.loop, settings::PracticeLoop::Section);
    EXPECT_EQ(fileText(), "[practice]\non_miss = rewind\nloop = section\n");

    // Read back as written, and back to the defaults.
    open();
    EXPECT_EQ(valueOf(miss), QStringLiteral("3秒戻す"));
    EXPECT_EQ(valueOf(loop), QStringLiteral("する"));
    for (const QString& row : {miss, loop}) {
        select(row);
        press(Qt::Key_Right);
    }
    select(QStringLiteral("OK"));
    press(Qt::Key_Return);
    EXPECT_EQ(fileText(), "[practice]\non_miss = go_on\nloop = none\n");
}

// However many rows there are, the window fits a 1024x768 screen (a title bar above
// it), and the row chosen with the keys is in sight.
TEST_F(SettingsWindowTest, TheWindowFitsTheScreenAndTheChosenRowIsInSight) {
    open();
    window_->show();
    EXPECT_LE(window_->height(), 720);
    EXPECT_LE(window_->List1->geometry().bottom(), window_->Status->geometry().top());
    EXPECT_LE(window_->Status->geometry().bottom(), window_->height());
    const QRect inside = window_->List1->viewport()->rect();
    const int last = window_->List1->rowCount() - 1;
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
        for (int i = 0; i < last; ++i) press(key);
        const int row = window_->List1->currentRow();
        EXPECT_EQ(row, key == Qt::Key_Down ? last : 0);
        EXPECT_TRUE(inside.contains(window_->List1->visualItemRect(window_->List1->item(row, 0)))) << row;
    }
}

TEST_F(SettingsWindowTest, ASaveThatFailsSaysSoAndKeepsTheWindow) {
    // The settings "file" is a folder: nothing can be written there.
    std::filesystem::create_directories(file_);
    open();
    select(QStringLiteral("全画面で始める"));
    press(Qt::Key_Right);
    select(QStringLiteral("OK"));
    const BoxSeen box = catchMessageBox([&] { press(Qt::Key_Return); });
    EXPECT_TRUE(box.shown);
    EXPECT_TRUE(box.text.contains(QStringLiteral("settings.ini"))) << box.text.toStdString();
    EXPECT_TRUE(window_->edited().fullscreen) << "the choice is still there to try again";
    EXPECT_TRUE(std::filesystem::is_directory(file_));
}

} // namespace
} // namespace kestrow::test
