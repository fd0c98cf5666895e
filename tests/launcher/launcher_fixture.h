// Shared ground for the menu program's tests: a temporary application directory (with a
// blank in its name) holding a stand-in for the game that writes down how it was
// started, and a catcher for the menu's error boxes.
#pragma once

#include "answers.h"
#include "form1.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace kestrow::test {

// What an error box showed, if one came up.
struct BoxSeen {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Runs `action`; a modal message box that it opens is read and closed.
BoxSeen catchMessageBox(const std::function<void()>& action);

// A caption as every window draws them: its text at (8, top), light blue on the ground,
// "ＭＳ 明朝" found as IPAMincho, 11.25 point, bold, with a glyph for every character.
void expectCaption(const QLabel* label, int top, const char* text);

// A text box or list: its place, the light-blue ground, "ＭＳ ゴシック" (IPAGothic) 12 point bold.
void expectBox(const QWidget* box, const QRect& geometry);

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

  public: // the table-driven cases prepare their ground through these
    // Full path of a file in the application directory.
    QString appFile(const QString& name) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    void removeGame() const;
    void makeGameNotExecutable() const;

    // Argument lists of every start of the stand-in game so far, in no special order.
    std::vector<QStringList> runs() const;
    // Waits until `count` starts have been written down; false on timeout.
    bool waitForRuns(size_t count) const;
    // Lets held games end (see holdGames) and waits until they have.
    void releaseGames() const;
    // From now on a started stand-in stays running until releaseGames().
    void holdGames() const;
    bool gameFinished(size_t count) const;
    // Forgets the starts written down so far (their games have ended).
    void forgetRuns() const;

    QTemporaryDir base_;
    QString appDir_;
    QString runsDir_;
};

// A test with the menu open on the test's application folder.
class MenuOpenTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        menu_ = std::make_unique<Form1>(appDir_.toStdString());
        menu_->show();
    }
    void TearDown() override {
        menu_.reset();
        LauncherTest::TearDown();
    }

  public:
    std::unique_ptr<Form1> menu_;
};

// A file's bytes (empty when it cannot be read), and a file of the golden replays.
QByteArray readAll(const QString& path);
QByteArray golden(const char* name);

// A run as the server writes it.
QJsonObject runJson(const QString& id, const QString& player, const RunFigures& f,
                    const QString& name = "Kiri", qint64 rank = 1);

} // namespace kestrow::test
