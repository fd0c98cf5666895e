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
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "outbox.h"
#include "player/player_key.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace kestrow {

// One run as the server shows it.
struct OnlineRun {
    QString id, player, name, submittedAt;
    qint64 score = 0, level = 0, maxChain = 0, frames = 0, rank = 0;
};

// A page of the table.
struct OnlineTable {
    QString period;
    qint64 total = 0, offset = 0;
    std::vector<OnlineRun> entries;
};

// A player's best run in each period (absent: none).
struct OnlineStanding {
    QString name;
    std::optional<OnlineRun> all, month, week, day;
};

// The server's answers; nullopt (with the reason) for anything that is not one.
std::optional<OnlineRun> parseRun(const QByteArray& json, QString* why);
std::optional<OnlineTable> parseTable(const QByteArray& json, QString* why);
std::optional<OnlineStanding> parseStanding(const QByteArray& json, QString* why);

// The periods of the table, as the server names them.
inline constexpr std::array<const char*, 4> kPeriods{"all", "month", "week", "day"};

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

    // Asks for a page of the table, the player's standing, a replay (written to `to`).
    // Each calls back once, on the event loop; an error comes as the text to show.
    void fetchTable(const QString& period, qint64 offset, qint64 limit,
                    std::function<void(std::optional<OnlineTable>, QString)> done);
    void fetchStanding(std::function<void(std::optional<OnlineStanding>, QString)> done);
    void fetchReplay(const QString& runId, const QString& to, std::function<void(bool, QString)> done);

    // Called whenever an outbox entry changed.
    std::function<void()> onOutboxChanged;

  private:
    QNetworkReply* get(const QString& path);
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
};

// "12:34" today, else "2026-12-08 12:34", in local time, of an RFC 3339 time.
QString shortTime(const QString& rfc3339);

} // namespace kestrow
