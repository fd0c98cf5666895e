// The menu's side of the online score table: the table and the player's own standing as
// the server tells them, runs sent through the outbox and tried again until the server
// answers, and a run's replay fetched to be watched. Everything goes through Qt's event
// loop: no call here waits for the network. While the settings name no server nothing is
// sent anywhere and no key is made.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "answers.h"
#include "outbox.h"
#include "player/player_key.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace kestrow {

// What came back for a request: the status (0: none), the body (at most the request's
// cap), Retry-After, and what went wrong on the way (empty when the answer came whole).
struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray retryAfter;
    QString error;
};

// Whether `url` is plain http:// to a host that is not this machine (localhost,
// 127.0.0.0/8, ::1): anyone on the way can read and take what is sent there.
bool plainHttpElsewhere(const QString& url);

// Whether downloaded replay bytes are the run `run` names: the game accepts them, their
// run id is the row's and their figures are the server's. False with the reason.
bool replayIsRun(const QByteArray& replay, const OnlineRun& run, QString* why);

class Online {
  public:
    // `settingsFile` holds [online]; `keyFile` the player's key; `outbox` the runs on
    // their way.
    Online(const std::filesystem::path& settingsFile, const std::filesystem::path& keyFile,
           const QString& outboxFolder);
    ~Online();

    // Reads [online] again (the settings window may have changed it).
    void reload();
    bool enabled() const { return !server_.isEmpty(); }
    const QString& server() const { return server_; }
    const QString& name() const { return name_; }
    bool autoSubmit() const { return autoSubmit_; }
    // Change [online] in the settings file. False with the reason (a name the table
    // would refuse, an address that is not http:// or https://, a file not written).
    bool setName(const QString& name, QString* why);
    bool setServer(const QString& url, QString* why);
    bool setAutoSubmit(bool on, QString* why);

    // The player's key written to `to`, or the key of `from` made the player's (the old
    // one kept beside it).
    bool exportKey(const QString& to, QString* why);
    bool importKey(const QString& from, QString* why);

    // The player's key, made at the first online use. Empty with `why` when it cannot be.
    std::optional<player::Key> key(QString* why);
    QString playerId();

    // Puts a replay file (or its bytes) in the outbox and starts sending. False with the
    // reason when it cannot be read or stored, or online is off.
    bool submitFile(const QString& path, QString* why);
    bool submitBytes(const QByteArray& replay, const QString& source, QString* why);
    // Tries every waiting run whose time has come (all of them when `now`).
    void sendWaiting(bool now = false);
    Outbox& outbox() { return outbox_; }
    bool sending(const QString& id) const { return inFlight_.contains(id); }

    // Asks for a page of the table, the player's standing, a run's replay. Each calls
    // back once, on the event loop; an error comes as the text to show. The replay is
    // written into `folder` as <id>.rep only when it is that run (replayIsRun); `file`
    // is then its path.
    void fetchTable(const QString& period, qint64 offset, qint64 limit,
                    std::function<void(std::optional<OnlineTable>, QString)> done);
    void fetchStanding(std::function<void(std::optional<OnlineStanding>, QString)> done);
    void fetchReplay(const OnlineRun& run, const QString& folder,
                     std::function<void(bool ok, QString why, QString file)> done);

    // How long a request may go without a byte, and how long it may take in all
    // (milliseconds); shorter in the tests.
    void setTimeLimits(int idleMs, int totalMs);
    int totalTimeLimit() const { return totalMs_; }

    // Called whenever an outbox entry changed.
    std::function<void()> onOutboxChanged;

  private:
    QNetworkReply* get(const QString& path);
    // Reads `reply` as it comes: aborted once more than `cap` bytes arrived or the time
    // in all ran out, then `done` once with what came.
    void receive(QNetworkReply* reply, qint64 cap, std::function<void(const Answer&)> done);
    QNetworkAccessManager* network(); // made at the first request
    // Sets one key of [online] in the settings file; false with the reason.
    bool writeSetting(const char* key, const std::string& value, QString* why);
    void send(const OutboxEntry& entry);
    void scheduleNext();

    std::filesystem::path settingsFile_, keyFile_;
    Outbox outbox_;
    QString server_, name_;
    bool autoSubmit_ = false;
    std::optional<player::Key> key_;
    QNetworkAccessManager* network_ = nullptr;
    QHash<QString, QPointer<QNetworkReply>> inFlight_;
    QTimer retry_;
    int idleMs_ = 20000, totalMs_ = 60000;
};

// "12:34" today, else "2026-12-08 12:34", in local time, of an RFC 3339 time.
QString shortTime(const QString& rfc3339);

} // namespace kestrow
