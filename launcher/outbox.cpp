#include "outbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <mutex>

#include "look.h"
#include "media/stools.h"
#include "player/player_key.h"
#include "verdict/verdict.h"

namespace kestrow {
namespace {

constexpr qsizetype kMaxReplay = 64 * 1024; // what the server takes at most
constexpr int kFirstWait = 30;              // seconds before trying again after no answer
constexpr int kLongestWait = 3600;

const char* stateName(OutboxEntry::State s) {
    switch (s) {
    case OutboxEntry::Waiting: return "waiting";
    case OutboxEntry::Refused: return "refused";
    case OutboxEntry::Sent: return "sent";
    }
    return "waiting";
}

QString timeText(const QDateTime& t) { return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString(); }

QString sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The figures as the outbox's files and the server write them.
const struct {
    const char* key;
    qint64 RunFigures::*figure;
} kFigures[] = {
    {"frames", &RunFigures::frames},       {"endFrame", &RunFigures::endFrame},
    {"score", &RunFigures::score},         {"level", &RunFigures::level},
    {"maxChain", &RunFigures::maxChain},   {"totalContacts", &RunFigures::totalContacts},
    {"timeBonus", &RunFigures::timeBonus}, {"finalBonus", &RunFigures::finalBonus},
    {"timeLeft", &RunFigures::timeLeft},
};

QJsonObject verdictJson(const RunVerdict& v) {
    QJsonObject o{{"id", v.id}};
    for (const auto& f : kFigures) o.insert(QLatin1String(f.key), v.figures.*f.figure);
    return o;
}

// A verdict that is not whole is none: the replay is played again before it is sent.
std::optional<RunVerdict> verdictOf(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    RunVerdict v;
    v.id = o.value("id").toString();
    if (!isHexId(v.id)) return std::nullopt;
    for (const auto& f : kFigures) {
        const QJsonValue n = o.value(QLatin1String(f.key));
        if (!n.isDouble() || n.toDouble() != double(n.toInteger())) return std::nullopt;
        v.figures.*f.figure = n.toInteger();
    }
    return v;
}

// While alive, the games this thread plays reach no sound device.
struct Muted {
    Muted() { media::muteThisThread(true); }
    ~Muted() { media::muteThisThread(false); }
};

} // namespace

std::optional<RunVerdict> playReplay(const QByteArray& replay, QString* why,
                                     const tolvane::verdict::FrameObserver& afterFrame) {
    // The menu draws nothing with the game's drawing library: headless games change
    // nothing of its own.
    static std::once_flag headless;
    std::call_once(headless, [] { tolvane::verdict::setUpHeadlessGames(); });
    const Muted muted;
    const tolvane::verdict::Verified v = tolvane::verdict::verifyReplay(
        std::string_view(replay.constData(), static_cast<size_t>(replay.size())), afterFrame);
    if (!v.ok) {
        if (why) *why = QString::fromStdString(v.reason);
        return std::nullopt;
    }
    const auto& f = v.figures;
    return RunVerdict{QString::fromStdString(v.id),
                      {f.frames, f.endFrame, f.score, f.level, f.maxChain, f.totalContacts, f.timeBonus,
                       f.finalBonus, f.timeLeft}};
}

QByteArray entryText(const OutboxEntry& e) {
    QJsonObject o{
        {"id", e.id},
        {"source", e.source},
        {"replay", QString::fromLatin1(e.replay.toBase64())},
        {"queuedAt", timeText(e.queuedAt)},
        {"state", QString::fromLatin1(stateName(e.state))},
        {"attempts", e.attempts},
        {"nextTry", timeText(e.nextTry)},
        {"message", e.message},
    };
    if (e.state == OutboxEntry::Sent) {
        o.insert("runId", e.runId);
        o.insert("score", e.score);
        o.insert("rank", e.rank);
    }
    if (e.verdict) o.insert("verdict", verdictJson(*e.verdict));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<OutboxEntry> parseEntry(const QByteArray& text, QString* why) {
    auto fail = [why](const char* reason) {
        if (why) *why = QString::fromUtf8(reason);
        return std::nullopt;
    };
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return fail("not a JSON object");
    const QJsonObject o = doc.object();
    OutboxEntry e;
    e.id = o.value("id").toString();
    if (!isHexId(e.id)) return fail("no run id of 64 hex digits");
    const QJsonValue replay = o.value("replay");
    if (!replay.isString()) return fail("no replay");
    const auto decoded =
        QByteArray::fromBase64Encoding(replay.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return fail("the replay is not base64");
    e.replay = *decoded;
    if (e.replay.isEmpty() || e.replay.size() > kMaxReplay) return fail("the replay is empty or over 64 KiB");
    if (sha256Hex(e.replay) != e.id) return fail("the replay is not the one the id names");
    const QString state = o.value("state").toString();
    if (state == "waiting") {
        e.state = OutboxEntry::Waiting;
    } else if (state == "refused") {
        e.state = OutboxEntry::Refused;
    } else if (state == "sent") {
        e.state = OutboxEntry::Sent;
    } else {
        return fail("no state of waiting, refused or sent");
    }
    e.source = o.value("source").toString();
    // Whole seconds, as they are written.
    for (auto [field, time] : {std::pair{"queuedAt", &e.queuedAt}, std::pair{"nextTry", &e.nextTry}}) {
        *time = QDateTime::fromString(o.value(QLatin1String(field)).toString(), Qt::ISODate);
        if (time->isValid()) *time = time->addMSecs(-time->time().msec()).toUTC();
    }
    e.attempts = std::max(0, o.value("attempts").toInt());
    e.message = o.value("message").toString();
    if (e.state == OutboxEntry::Sent) {
        e.runId = o.value("runId").toString();
        if (!isHexId(e.runId)) e.runId.clear();
        e.score = o.value("score").toInteger();
        e.rank = o.value("rank").toInteger();
    }
    e.verdict = verdictOf(o.value("verdict"));
    return e;
}

QString errorText(const QByteArray& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject()) return {};
    return shownText(doc.object().value("error").toString());
}

SendOutcome judgeAnswer(int status, const QByteArray& body, const QByteArray& retryAfter, int attempts,
                        const QString& networkError, const RunVerdict& mine, const QString& player) {
    // 30 s, 1 min, 2 min, ... up to an hour.
    const int later = std::min(kFirstWait << std::clamp(attempts - 1, 0, 7), kLongestWait);
    switch (status) {
    case 200:
    case 201: {
        // Taken only as the run the menu played: a server that answers with another run
        // (or other figures) has not put this one on the table.
        QString why;
        const auto run = parseRun(body, &why);
        if (!run) {
            return {OutboxEntry::Waiting,
                    later,
                    qtext(N_("サーバーの答えが記録になっていません: %1")).arg(why),
                    {},
                    0,
                    0};
        }
        if (run->id != mine.id) {
            return {OutboxEntry::Refused,
                    0,
                    qtext(N_("サーバーの答えは別の記録です (%1…、送ったのは %2…)"))
                        .arg(run->id.left(12), mine.id.left(12)),
                    {},
                    0,
                    0};
        }
        if (run->figures() != mine.figures) {
            return {OutboxEntry::Refused,
                    0,
                    qtext(N_("サーバーの数字がゲームの数字と違います: %1"))
                        .arg(figuresDiffer(run->figures(), mine.figures)),
                    {},
                    0,
                    0};
        }
        if (run->player != player) {
            return {OutboxEntry::Refused, 0, qtext(N_("サーバーの答えは別のプレイヤーの記録です")), {}, 0, 0};
        }
        return {OutboxEntry::Sent, 0, {}, run->id, run->score, run->rank};
    }
    case 400:
    case 401:
    case 403:
    case 409:
    case 413: {
        QString why = errorText(body);
        if (why.isEmpty()) why = QStringLiteral("HTTP %1").arg(status);
        return {OutboxEntry::Refused, 0, why, {}, 0, 0};
    }
    case 429:
    case 503: {
        bool ok = false;
        const int seconds = retryAfter.trimmed().toInt(&ok);
        QString why = errorText(body);
        if (why.isEmpty()) why = QStringLiteral("HTTP %1").arg(status);
        return {OutboxEntry::Waiting, ok ? std::clamp(seconds, 1, kLongestWait) : kFirstWait, why, {}, 0, 0};
    }
    default: {
        QString why = status == 0 ? networkError : QStringLiteral("HTTP %1").arg(status);
        if (status != 0 && !errorText(body).isEmpty()) why += QStringLiteral(": ") + errorText(body);
        return {OutboxEntry::Waiting, later, why, {}, 0, 0};
    }
    }
}

QString Outbox::defaultFolder() {
    return QString::fromStdString((player::keyFile().parent_path() / "outbox").string());
}

Outbox::Outbox(const QString& folder) : folder_(folder) {}

bool Outbox::add(const QByteArray& replay, const QString& source, QString* why, QString* id,
                 OutboxEntry* added) {
    if (replay.isEmpty() || replay.size() > kMaxReplay) {
        if (why) *why = QStringLiteral("the replay is empty or over 64 KiB");
        return false;
    }
    OutboxEntry e;
    e.id = sha256Hex(replay);
    if (id) *id = e.id;
    QFile existing(QDir(folder_).filePath(e.id));
    if (existing.open(QIODevice::ReadOnly)) {
        if (auto old = parseEntry(existing.read(kMaxReplay * 2), nullptr)) {
            if (old->state != OutboxEntry::Refused) { // waiting or on the table already
                if (added) *added = *old;
                return true;
            }
        }
    }
    e.source = source;
    e.replay = replay;
    e.queuedAt = QDateTime::currentDateTimeUtc();
    e.nextTry = e.queuedAt;
    QString refusal;
    e.verdict = playReplay(replay, &refusal);
    if (!e.verdict) {
        // Kept, to be seen, but never sent: the server would refuse it the same way.
        e.state = OutboxEntry::Refused;
        e.message = qtext(N_("ゲームが受け付けないリプレイです: %1")).arg(refusal);
    }
    if (added) *added = e;
    return store(e, why);
}

bool Outbox::store(const OutboxEntry& entry, QString* why) {
    if (!QDir().mkpath(folder_)) {
        if (why) *why = QStringLiteral("cannot make the folder %1").arg(folder_);
        return false;
    }
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QSaveFile file(QDir(folder_).filePath(entry.id));
    if (!file.open(QIODevice::WriteOnly) || file.write(entryText(entry)) < 0 || !file.commit()) {
        if (why) *why = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

bool Outbox::remove(const QString& id) { return isHexId(id) && QFile::remove(QDir(folder_).filePath(id)); }

std::vector<OutboxEntry> Outbox::entries(QStringList* broken) const {
    std::vector<OutboxEntry> out;
    const QDir dir(folder_);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        if (!isHexId(name)) continue; // a temporary file of a write under way
        QFile file(dir.filePath(name));
        QString why = QStringLiteral("cannot be read");
        std::optional<OutboxEntry> e;
        if (file.open(QIODevice::ReadOnly)) e = parseEntry(file.read(kMaxReplay * 2), &why);
        if (e && e->id != name) {
            e.reset();
            why = QStringLiteral("its id is not its name");
        }
        if (e) {
            out.push_back(std::move(*e));
        } else if (broken) {
            broken->push_back(QStringLiteral("%1: %2").arg(file.fileName(), why));
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const OutboxEntry& a, const OutboxEntry& b) { return a.queuedAt < b.queuedAt; });
    return out;
}

} // namespace kestrow
