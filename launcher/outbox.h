// Runs on their way to the online score table. Every run the player sends is first
// written here, one file each in $XDG_DATA_HOME/tolvane/outbox, holding the replay's
// bytes themselves (NewReplay.rep is written over by the next game) and where the
// sending stands: waiting for its next try, refused with the server's reason, or on the
// table. A run leaves the folder only when the player clears it after the server
// answered; no network trouble and no quit of the menu loses one.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "answers.h"
#include "verdict/verdict.h"

namespace kestrow {

// What the game itself makes of a replay: the run's id and its figures, as the server
// computes them with the same library.
struct RunVerdict {
    QString id;
    RunFigures figures;
    bool operator==(const RunVerdict&) const = default;
};

// The replay played headless with the game's library (silently: the menu's own sounds
// go on as they were). Nullopt, with the game's reason, for a replay the game refuses.
// `afterFrame`, when given, sees the world after every frame played (verdict/verdict.h).
std::optional<RunVerdict> playReplay(const QByteArray& replay, QString* why,
                                     const tolvane::verdict::FrameObserver& afterFrame = {});

struct OutboxEntry {
    enum State {
        Waiting, // not on the table yet; tried again at `nextTry`
        Refused, // the server will not take it; `message` is its reason
        Sent,    // on the table as run `runId`
    };
    QString id;         // the file's name: the replay's SHA-256 in hex
    QString source;     // where the replay came from, for the player's eyes
    QByteArray replay;  // the replay's bytes as sent
    QDateTime queuedAt; // UTC
    State state = Waiting;
    int attempts = 0;  // tries that got no final answer
    QDateTime nextTry; // UTC; when waiting
    QString message;   // why it waits or was refused
    QString runId;     // once sent
    qint64 score = 0;  // once sent: the score the server computed
    qint64 rank = 0;   // once sent: its all-time rank when it was taken
    // The run as the menu played it (files of older menus have none until it is sent);
    // a server's answer counts only when it names this run with these figures.
    std::optional<RunVerdict> verdict;

    bool operator==(const OutboxEntry&) const = default;
};

// The text of an entry's file, and the entry a text holds. A text that is not one is
// refused with the reason (the file is then left where it is, never sent).
QByteArray entryText(const OutboxEntry& entry);
std::optional<OutboxEntry> parseEntry(const QByteArray& text, QString* why);

// What an answer of the server means for a run that was sent.
struct SendOutcome {
    OutboxEntry::State state;
    int retrySeconds = 0; // when waiting: how long until the next try
    QString message;      // the server's reason, or what went wrong on the way
    QString runId;        // when sent: the run on the table, its score and rank
    qint64 score = 0, rank = 0;
};

// `status` is the HTTP status (0: no answer at all, with `networkError` saying why),
// `body` the answer's body, `retryAfter` its Retry-After header, `attempts` the tries
// so far including this one, `mine` the run sent and `player` the key it was sent with.
// 200 and 201 are taken when the answer is that run, with the game's figures, of that
// player; an answer naming another run, other figures or another player is refused
// (the run stays in the outbox), and one that is no run at all is tried again later.
// 400, 401, 403, 409 and 413 are the server's refusal, shown as the server words it;
// 429 and 503 are tried again after Retry-After seconds; anything else is tried again
// later, waiting longer each time.
SendOutcome judgeAnswer(int status, const QByteArray& body, const QByteArray& retryAfter, int attempts,
                        const QString& networkError, const RunVerdict& mine, const QString& player);

// The server's `{"error": "why"}`, or empty.
QString errorText(const QByteArray& body);

class Outbox {
  public:
    // The outbox folder: $XDG_DATA_HOME/tolvane/outbox (default ~/.local/share/...).
    static QString defaultFolder();
    explicit Outbox(const QString& folder = defaultFolder());

    // Puts a replay in, played first: waiting to be sent at once, or refused with the
    // game's reason when the game refuses it (it is then never sent). A replay that is
    // there already is not added again (a refused one is played and made to wait again).
    // False with the reason when it cannot be written; `added` is the entry as it stands.
    bool add(const QByteArray& replay, const QString& source, QString* why, QString* id = nullptr,
             OutboxEntry* added = nullptr);
    // Writes an entry back (whole or not at all).
    bool store(const OutboxEntry& entry, QString* why);
    // Takes an entry out for good.
    bool remove(const QString& id);

    // Every entry, oldest first. Files that cannot be read are listed in `broken`.
    std::vector<OutboxEntry> entries(QStringList* broken = nullptr) const;

    const QString& folder() const { return folder_; }

  private:
    QString folder_;
};

} // namespace kestrow
