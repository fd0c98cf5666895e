// The replay list: every replay of the records folder with its date, how long the game
// lasted, its score, level and longest chain as the game's own simulation finds them,
// and whether the file can be played. Sortable by any column, newest first; Enter or a
// double-click plays the selected replay through the menu, R starts a new game with it
// as the rival, P opens the practice window on it, Esc closes the list. A take-over's
// record shows the run it came from and the frame it was taken over at.
#pragma once

#include <QPointer>
#include <QString>

#include "look.h"

class QProgressBar;
class QSortFilterProxyModel;
class QTableView;

namespace kestrow {

class Form1;
class ReplayList;

// The folder whose replays the list shows: the records folder, as in the replay picker.
QString replayListFolder(const Form1& menu);

class Form4 : public SubWindow {
  public:
    explicit Form4(Form1* menu);

    QTableView* Table = nullptr;
    QProgressBar* Progress = nullptr; // shown while replays are being checked

    ReplayList* list() const { return list_; }
    QSortFilterProxyModel* sorted() const { return sorted_; }
    // The file shown in row `row` of the table, as it is sorted now.
    QString pathAt(int row) const;

  protected:
    bool handleKey(QKeyEvent* key) override;

  private:
    // Plays the replay of `index`, or starts a new game against it as the rival.
    void play(const QModelIndex& index, bool asRival = false);
    void showProgress();

    QPointer<Form1> menu_;
    ReplayList* list_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
};

} // namespace kestrow
