// The online window: the score table of the server named in the settings, in its four
// periods, the player's own standing, and the runs the player sent with where each
// stands. Enter watches the selected run; R races it, T and U race the #1 and the run
// one rank above the player's; P practises on it; N and H send the newest and the best
// replay.
// Nothing in it waits for the network: answers fill the window as they come.
#pragma once

#include <QPointer>
#include <QString>

#include "look.h"
#include "online.h"
#include "rival.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace kestrow {

class Form1;

class Form6 : public SubWindow {
  public:
    explicit Form6(Form1* menu);

    QLabel* Server = nullptr;      // the server and the player's name, or why online is off
    QLabel* Notice = nullptr;      // said once for each server: plain http:// to another machine
    QLabel* Periods = nullptr;     // the four periods, the shown one in brackets
    QTableWidget* Table = nullptr; // a page of the table
    QLabel* Mine = nullptr;        // the player's own rank in the shown period
    QListWidget* Sent = nullptr;   // the outbox: each run sent and where it stands
    QLabel* Status = nullptr;      // what the last key did, or why not

    int period() const { return period_; }
    // Asks the server again for the shown page and the player's standing.
    void refresh();
    // Shows the outbox as it is now.
    void showOutbox();
    // Sends a replay file and shows the outbox.
    void submit(const QString& path);

  protected:
    bool handleKey(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showPeriods();
    void showStanding();
    void noticePlainHttp();
    void watchSelected();
    // A new game against the selected row's run (no `which`), the period's #1 or the run
    // one rank above the player's, once it is downloaded and found to be that run.
    void race(std::optional<TableRival> which);
    // The practice window on the selected row's run, once it is downloaded and checked.
    void practise();
    void askServer();
    void askName();
    void exportKey();
    void importKey();

    QPointer<Form1> menu_;
    Online* online_;
    int period_ = 0;
    qint64 offset_ = 0;
    qint64 total_ = 0;
    std::optional<OnlineStanding> standing_;
    std::vector<QString> outboxIds_; // the entry of each line of Sent
    std::vector<OnlineRun> rows_;    // the run of each row of Table
    QString noticeFor_;              // the server the notice was said for in this window
};

// Whether the plain-http notice is still to be said for `server`; remembered as said in
// `file` (one server a line) when `markSaid`.
bool plainHttpNoticeDue(const QString& server, const QString& file, bool markSaid);

// How a run on its way reads in the window.
QString outboxLine(const OutboxEntry& entry, bool sending);

} // namespace kestrow
