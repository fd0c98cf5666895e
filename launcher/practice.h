// The practice window: the points of a run the player can take over from (the start of
// the game, each stage banner and boss entry of the stage script before the run's end,
// or any frame typed in), each with the frame and the run's own score there. Choosing
// one starts the game on the replay with `--take-over FRAME`: the run as it was up to
// that frame, then live. The run is played once, headless and silent, on a thread of
// its own, with the game's library, before anything is offered.
#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <vector>

#include "look.h"

class QLabel;
class QTableWidget;

namespace kestrow {

class Form1;

// A point a take-over can start from: frames 0..frame are the run's.
struct StartPoint {
    enum Kind { GameStart, Stage, Boss, Typed };
    Kind kind = GameStart;
    int number = 0; // stage 2 or 3; boss 1, 2 or 3
    long frame = 0;
    qint64 score = 0; // the run's score after that frame
    bool operator==(const StartPoint&) const = default;
};

// The point as the window names it, in the player's language.
QString startPointName(const StartPoint& point);

// What playing the run once found out.
struct StudiedRun {
    bool ok = false;
    QString why; // why the game cannot play it, in the game's words
    QString id;  // the run's id (verdict::Verified::id)
    long endFrame = 0;
    std::vector<qint64> scores;     // after each frame 0..endFrame
    std::vector<StartPoint> points; // the start of the game, then the splits before the end

    // The run's score after `frame` (0..endFrame); -1 outside.
    qint64 scoreAt(long frame) const;
};

// Plays the replay's bytes once with the game's library, headless and silent.
StudiedRun studyRun(const QByteArray& replay);

class Practice : public SubWindow {
  public:
    // Offers the start points of the replay file `replay`, shown as `shownName`.
    Practice(Form1* menu, const QString& replay, const QString& shownName);

    QLabel* Run = nullptr;         // the run, its length and final score
    QTableWidget* Table = nullptr; // one row a start point, the frame typed in last
    QLabel* Status = nullptr;      // what the last key did, or why not

    const QString& replay() const { return replay_; }
    // Whether the run has been played and its points are shown.
    bool ready() const { return ready_; }
    const StudiedRun& run() const { return run_; }
    // The frame typed into the last row, -1 while none is.
    long typedFrame() const { return typed_; }

  protected:
    bool handleKey(QKeyEvent* event) override;

  private:
    void study();
    void showRun(const StudiedRun& run);
    void showTyped();
    void type(int digit);
    void choose();

    QPointer<Form1> menu_;
    QString replay_;
    QString shownName_;
    StudiedRun run_;
    bool ready_ = false;
    long typed_ = -1;
};

} // namespace kestrow
