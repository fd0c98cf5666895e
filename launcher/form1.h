// The menu window: the title picture, its keys, and the one place every game is
// started from (`ShellExe`), which the replay picker, the replay list and the online
// window use as well.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>

#include "common/appdir.h"

class QFileSystemWatcher;
class QLabel;
class QTimer;

namespace kestrow {

class Form2;
class Form3;
class Form4;
class Form5;
class Form6;
class Online;
class Practice;

class Form1 : public QWidget {
  public:
    // `appDir` is where the game is found; the high-score file and the replays are in
    // the records folder of that directory (common::recordsPlace), or in `records`.
    explicit Form1(const std::filesystem::path& appDir = common::applicationDirectory());
    Form1(const std::filesystem::path& appDir, const common::RecordsPlace& records);
    ~Form1() override;

    // Starts the game: a live game for an empty `rep`, else the playback of the replay
    // file at that full path, raced against the run of the replay `rival` when one is
    // given. Shows the file-missing box and starts nothing when the replay, the rival or
    // the game cannot be found. Returns whether a game was started.
    bool ShellExe(const QString& rep, const QString& rival = QString());
    // Starts the playback of the replay file `rep` taken over after frame `frame`: the
    // run's own frames up to it, then live. Refused as ShellExe refuses.
    bool takeOver(const QString& rep, long frame);

    // A new game (Enter) with the rival `[rival] default` names: none, the best replay,
    // or a run of the online table fetched first. A rival that cannot be had is said in
    // the menu's last line, and the game starts without one.
    void startNewGame();
    // Whether a new game waits for its rival to arrive.
    bool choosingRival() const { return choosingRival_; }
    // The menu's last line: why the last game started without the rival asked for.
    QLabel* Said = nullptr;

    const QString& applicationDirectory() const { return appDir_; }
    const common::RecordsPlace& records() const { return records_; }

    // The high-score view and the replay picker, while they are open.
    Form2* form2() const;
    Form3* form3() const;
    // The replay list (L here, Tab in the picker), while it is open.
    Form4* form4() const;
    void showForm4();
    // The settings window (O), while it is open.
    Form5* form5() const;
    void showForm5();

    // The online window (W), while it is open, and the online table's side of the menu.
    Form6* form6() const;
    void showForm6();
    Online* online() const { return online_.get(); }

    // The practice window (P: on the best replay; P in the replay list and the online
    // window: on the selected run), while it is open. One at a time: a window open on
    // another run gives way. `shownName` is how the run is named in it.
    Practice* practice() const;
    void showPractice(const QString& replay, const QString& shownName);

    // Full path of the record `name` to read (see common::recordToRead).
    QString recordPath(const char* name) const;

    std::array<QLabel*, 11> Label1{};

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void showForm2();
    void showForm3();

    // With auto_submit, each game's NewReplay.rep is sent when the game has written it.
    void watchNewReplay();
    // Shows `text` in the menu's last line (the window grows to hold it), or hides it.
    void say(const QString& text);

    QString appDir_;
    common::RecordsPlace records_;
    QPixmap title_;
    QPointer<Form2> form2_;
    QPointer<Form3> form3_;
    QPointer<Form4> form4_;
    QPointer<Form5> form5_;
    QPointer<Form6> form6_;
    QPointer<Practice> practice_;
    std::unique_ptr<Online> online_;
    QFileSystemWatcher* records_watch_ = nullptr;
    QTimer* settle_ = nullptr; // a replay is sent once its file has stopped changing
    QByteArray lastNewReplay_; // the bytes of NewReplay.rep when last looked at
    bool choosingRival_ = false;
};

} // namespace kestrow
