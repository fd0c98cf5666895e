// What a server answers, checked before any of it is used. A server is whoever the
// player's settings name, so every id and key must be 64 lowercase hex digits, every
// figure a whole number in the game's range, every name one the table allows and every
// time a time; what fails is refused with the reason before it reaches a path, an
// address or the screen.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace kestrow {

// A run's id or a player's key as the table writes them: 64 lowercase hex digits.
bool isHexId(const QString& s);

// The figures of a run, as `tolvane-replay verify` prints them.
struct RunFigures {
    qint64 frames = 0, endFrame = 0, score = 0, level = 0, maxChain = 0, totalContacts = 0, timeBonus = 0,
           finalBonus = 0, timeLeft = 0;
    bool operator==(const RunFigures&) const = default;
};

// "score 51532 (here 51500)", one part for each figure that differs.
QString figuresDiffer(const RunFigures& theirs, const RunFigures& ours);

// One run as the server shows it.
struct OnlineRun {
    QString id, player, name, submittedAt;
    qint64 score = 0, level = 0, maxChain = 0, totalContacts = 0, frames = 0, endFrame = 0, timeBonus = 0,
           finalBonus = 0, timeLeft = 0;
    qint64 rank = 0; // 0: not ranked (a hidden run)

    RunFigures figures() const {
        return {frames, endFrame, score, level, maxChain, totalContacts, timeBonus, finalBonus, timeLeft};
    }
};

// A page of the table. Rows that are not runs are left out; `refused` says why.
struct OnlineTable {
    QString period;
    qint64 total = 0, offset = 0;
    std::vector<OnlineRun> entries;
    QStringList refused;
};

// A player's best run in each period (absent: none).
struct OnlineStanding {
    QString player, name;
    std::optional<OnlineRun> all, month, week, day;
};

// The periods of the table, as the server names them.
inline constexpr std::array<const char*, 4> kPeriods{"all", "month", "week", "day"};

// The most rows a page holds (the server's own limit).
inline constexpr qsizetype kMaxTableRows = 100;

// The server's answers; nullopt (with the reason) for anything that is not one.
std::optional<OnlineRun> parseRun(const QByteArray& json, QString* why);
std::optional<OnlineTable> parseTable(const QByteArray& json, QString* why);
std::optional<OnlineStanding> parseStanding(const QByteArray& json, QString* why);

// A text of the server's made fit to show: no control or direction characters, at most
// `limit` characters.
QString shownText(const QString& text, qsizetype limit = 300);

} // namespace kestrow
