// The replays of a folder with what the game's own simulation says of each: how long
// the game lasted, its score, level and longest chain, or why the file cannot be used.
// The numbers come from `tolvane-replay verify`, run in the background with many files
// per call, and are kept in a cache so that a file seen before needs no new run.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "takeovername.h"

namespace kestrow {

// The headless tool, found beside the menu program like the game.
inline const QString kVerifyProgram = QStringLiteral("tolvane-replay");

// What is known of one replay file.
struct Verdict {
    enum State {
        Pending,   // not checked yet
        Ok,        // the game's result is known
        Unusable,  // the game cannot play it; `reason` says why
        Unchecked, // the check itself failed (no tool, the tool stopped); `reason` says how
    };
    State state = Pending;
    qint64 frames = 0;
    qint64 score = 0;
    qint64 level = 0;
    qint64 maxChain = 0;
    QString reason;

    bool operator==(const Verdict&) const = default;
};

// One line of `tolvane-replay verify`, with or without its "file" key. A line that is
// not an answer gives Unchecked.
Verdict verdictFromLine(const QByteArray& line);

// The folder for the menu's cache: $XDG_CACHE_HOME/tolvane, by default ~/.cache/tolvane.
QString cacheFolder();

// Content hash of a replay: of the bytes the game reads (the count and at most 25001
// entries; anything after them is never looked at). Empty when the file cannot be read.
QByteArray replayHash(const QString& path);

// The run id of a replay whose game ended in frame `endFrame` (SHA-256 hex of the game as
// the game's library stores it, verdict::Verified::id) from the file's bytes.
QString runIdOf(const QByteArray& replay, qint64 endFrame);

// Verdicts of files checked before, kept in one JSON file: by path together with the
// file's size, modification time and content hash, and by content, so that a copy under
// another name is known too. Verdicts of another build of the tool are not used: a
// replay plays the same only under the simulation it was recorded with.
class VerdictCache {
  public:
    // `toolStamp` tells builds of the tool apart (its size and modification time).
    VerdictCache(const QString& file, const QString& toolStamp);

    // The verdict of `path` if the file still has the size and time it had when checked;
    // `hash` receives its content hash.
    std::optional<Verdict> find(const QString& path, qint64 size, qint64 mtime, QByteArray* hash) const;
    // The verdict of any file with this content.
    std::optional<Verdict> findContent(const QByteArray& hash) const;
    void store(const QString& path, qint64 size, qint64 mtime, const QByteArray& hash,
               const Verdict& verdict);

    // Writes the file (whole or not at all) when something changed, leaving out files
    // that are gone. False, with a line on stderr, when it cannot be written.
    bool save();

  private:
    struct Entry {
        qint64 size = 0;
        qint64 mtime = 0;
        QByteArray hash;
        Verdict verdict;
    };
    QString file_;
    QString tool_;
    QHash<QString, Entry> byPath_;
    QHash<QByteArray, Verdict> byContent_;
    bool dirty_ = false;
    bool warned_ = false;
};

// The table behind the replay list: one row per replay file of the folder, following
// the folder while it exists. Rows start Pending and fill in as the tool answers. A
// take-over's record (its name read by parseTakeOverName, and the frame within its own
// game) is named by what it is: the run it came from (the 12 hex digits of the
// original's id, and the listed replay with that id when there is one, HiReplay.rep
// first) and the frame; its file's name is in the tooltip, as every row's path is.
class ReplayList : public QAbstractTableModel {
  public:
    enum Column { Name, Date, Length, Score, Level, MaxChain, Status, ColumnCount };
    // Numbers for the numeric columns (-1 when not known), text for the others.
    static constexpr int SortRole = Qt::UserRole;

    // Lists `folder`, verifying with the tool in `toolDir`; the cache is read from and
    // written to `cacheFile`.
    ReplayList(const QString& folder, const QString& toolDir, const QString& cacheFile,
               QObject* parent = nullptr);
    ~ReplayList() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString path(int row) const { return rows_[row].path; }
    const Verdict& verdict(int row) const { return rows_[row].verdict; }
    // What the row's name says of a take-over, when it is the record of one.
    std::optional<TakeOverName> takeOver(int row) const;
    // How the Name column names a take-over's record (empty for any other replay).
    QString originText(int row) const;
    // The listed replay (not a take-over) whose run id starts with `origin`, by name,
    // HiReplay.rep before the others; empty when none is, or none is checked yet.
    QString originalOf(const QString& origin) const;
    // Rows whose check has finished, one way or another.
    int settled() const;
    // Reads the folder again now (it is also read shortly after every change).
    void rescan();

    // Called whenever rows were added, removed or settled.
    std::function<void()> onProgress;
    // How long the tool may stay silent before it is stopped (default 30 s).
    void setAnswerTimeout(int ms) { answerTimeout_ = ms; }
    // Calls of the tool so far.
    int toolRuns() const { return toolRuns_; }

  private:
    struct Row {
        QString name;
        QString path;
        qint64 size = 0;
        qint64 mtime = 0;
        QByteArray hash;
        Verdict verdict;
        std::optional<TakeOverName> takeOver; // from the name
    };
    struct Asked { // one file of the call in progress, as it was when asked
        QString path;
        qint64 size;
        qint64 mtime;
        QByteArray hash;
    };

    int rowOf(const QString& path) const;
    void lookUp(Row& row);
    void settle(const Asked& asked, const Verdict& verdict, bool keep);
    void pump();
    void startTool();
    void readAnswers();
    void toolFinished(int exitCode, QProcess::ExitStatus status);
    void changed(int row);
    void originsChanged();
    QString runIdOfRow(const Row& row) const;

    QString folder_;
    QString tool_;
    VerdictCache cache_;
    std::vector<Row> rows_;
    QHash<QString, int> index_;
    std::deque<QString> queue_;
    std::vector<Asked> asked_;
    size_t answered_ = 0;
    QByteArray pending_;
    QPointer<QProcess> process_;
    QTimer pumpTimer_;
    QTimer rescanTimer_;
    QTimer watchdog_;
    QFileSystemWatcher watcher_;
    int answerTimeout_ = 30000;
    bool silent_ = false; // the call in progress was stopped for giving no answer
    int toolRuns_ = 0;
    // Run ids of the rows, by path, with the size and time they were read at.
    struct KnownId {
        qint64 size, mtime;
        QString id;
    };
    mutable QHash<QString, KnownId> ids_;
};

} // namespace kestrow
