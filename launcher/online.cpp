#include "online.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

#include "look.h"
#include "names/name_rule.h"
#include "settings/settings.h"

namespace kestrow {
namespace {

constexpr qint64 kMaxAnswer = 4 * 1024 * 1024; // more than any page of the table
constexpr qint64 kMaxReplay = 64 * 1024;
constexpr int kTransferTimeoutMs = 20000;

std::optional<QJsonObject> objectOf(const QByteArray& json, QString* why) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        if (why) *why = QStringLiteral("the server's answer is not a JSON object");
        return std::nullopt;
    }
    return doc.object();
}

std::optional<OnlineRun> runOf(const QJsonValue& v, QString* why) {
    const QJsonObject o = v.toObject();
    OnlineRun r;
    r.id = o.value("id").toString();
    r.player = o.value("player").toString();
    r.name = o.value("name").toString();
    if (r.id.size() != 64 || r.player.size() != 64 || !o.value("score").isDouble()) {
        if (why) *why = QStringLiteral("the server's answer has no run in it");
        return std::nullopt;
    }
    r.submittedAt = o.value("submittedAt").toString();
    r.score = o.value("score").toInteger();
    r.level = o.value("level").toInteger();
    r.maxChain = o.value("maxChain").toInteger();
    r.frames = o.value("frames").toInteger();
    r.rank = o.value("rank").toInteger();
    return r;
}

QString answerError(QNetworkReply* reply, const QByteArray& body) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0) return reply->errorString();
    const QString why = errorText(body);
    return why.isEmpty() ? QStringLiteral("HTTP %1").arg(status) : why;
}

} // namespace

std::optional<OnlineRun> parseRun(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    return runOf(*o, why);
}

std::optional<OnlineTable> parseTable(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    if (!o->value("entries").isArray()) {
        if (why) *why = QStringLiteral("the server's answer has no table in it");
        return std::nullopt;
    }
    OnlineTable t;
    t.period = o->value("period").toString();
    t.total = std::max<qint64>(0, o->value("total").toInteger());
    t.offset = std::max<qint64>(0, o->value("offset").toInteger());
    for (const QJsonValue& v : o->value("entries").toArray()) {
        auto r = runOf(v, why);
        if (!r) return std::nullopt;
        t.entries.push_back(std::move(*r));
    }
    return t;
}

std::optional<OnlineStanding> parseStanding(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    OnlineStanding s;
    s.name = o->value("name").toString();
    const QJsonObject best = o->value("best").toObject();
    std::optional<OnlineRun>* slots[] = {&s.all, &s.month, &s.week, &s.day};
    for (size_t i = 0; i < kPeriods.size(); ++i) {
        const QJsonValue v = best.value(QLatin1String(kPeriods[i]));
        if (v.isNull() || v.isUndefined()) continue;
        *slots[i] = runOf(v, why);
        if (!*slots[i]) return std::nullopt;
    }
    return s;
}

QString shortTime(const QString& rfc3339) {
    const QDateTime t = QDateTime::fromString(rfc3339, Qt::ISODateWithMs).toLocalTime();
    if (!t.isValid()) return rfc3339;
    if (t.date() == QDate::currentDate()) return t.toString(QStringLiteral("HH:mm"));
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

Online::Online(const std::filesystem::path& settingsFile, const std::filesystem::path& keyFile,
               const QString& outboxFolder)
    : settingsFile_(settingsFile), keyFile_(keyFile), outbox_(outboxFolder) {
    retry_.setSingleShot(true);
    QObject::connect(&retry_, &QTimer::timeout, [this] { sendWaiting(); });
    reload();
}

Online::~Online() {
    // Runs still under way stay waiting in the outbox; their answers are not awaited.
    for (const auto& reply : inFlight_) {
        if (reply) reply->disconnect();
    }
    delete network_;
}

void Online::reload() {
    const settings::Settings s = settings::load(settingsFile_, nullptr);
    server_ = QString::fromStdString(s.server);
    while (server_.endsWith(u'/')) server_.chop(1);
    name_ = QString::fromStdString(s.name);
    autoSubmit_ = s.autoSubmit;
    if (!enabled()) retry_.stop();
}

bool Online::writeSetting(const char* key, const std::string& value, QString* why) {
    std::string reason;
    if (settings::save(settingsFile_, {{"online", key, value}}, &reason)) return true;
    if (why) *why = QString::fromStdString(reason);
    return false;
}

QNetworkAccessManager* Online::network() {
    if (!network_) {
        network_ = new QNetworkAccessManager;
        network_->setTransferTimeout(kTransferTimeoutMs);
    }
    return network_;
}

bool Online::setName(const QString& name, QString* why) {
    // Kept in the form the table stores and shows (NFKC), and checked as the file reads it.
    const std::string text = names::normalized(name.toStdString());
    if (const auto problem = settings::nameProblem(text)) {
        if (why)
            *why = qtext(N_("名前は1～24文字で、制御文字や前後の空白は使えません")) + QStringLiteral(": ") +
                   QString::fromStdString(*problem);
        return false;
    }
    if (!writeSetting("name", text, why)) return false;
    name_ = QString::fromStdString(text);
    sendWaiting(true); // runs that waited for a name
    return true;
}

bool Online::setServer(const QString& url, QString* why) {
    // The address is checked as the settings file's reader checks it.
    const std::string text = url.toStdString();
    std::vector<settings::Warning> warnings;
    const settings::Settings s = settings::parse("[online]\nserver = " + text + "\n", &warnings);
    if (!warnings.empty() || s.server != text) {
        if (why) *why = qtext(N_("http:// か https:// で始まるアドレスではありません"));
        return false;
    }
    if (!writeSetting("server", text, why)) return false;
    reload();
    sendWaiting(true);
    return true;
}

bool Online::setAutoSubmit(bool on, QString* why) {
    if (!writeSetting("auto_submit", on ? "true" : "false", why)) return false;
    autoSubmit_ = on;
    return true;
}

bool Online::exportKey(const QString& to, QString* why) {
    const auto k = key(why);
    std::string reason;
    if (!k) return false;
    if (!player::exportKey(*k, to.toStdString(), &reason)) {
        if (why) *why = QString::fromStdString(reason);
        return false;
    }
    return true;
}

bool Online::importKey(const QString& from, QString* why) {
    player::Key k;
    std::string reason;
    if (!player::importKey(from.toStdString(), keyFile_, k, &reason)) {
        if (why) *why = QString::fromStdString(reason);
        return false;
    }
    key_ = k;
    return true;
}

std::optional<player::Key> Online::key(QString* why) {
    if (!key_) {
        player::Key k;
        std::string reason;
        if (!player::loadOrCreate(keyFile_, k, &reason)) {
            if (why) *why = QString::fromStdString(reason);
            return std::nullopt;
        }
        key_ = k;
    }
    return key_;
}

QString Online::playerId() {
    const auto k = key(nullptr);
    return k ? QString::fromStdString(player::playerId(*k)) : QString();
}

bool Online::submitFile(const QString& path, QString* why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kMaxReplay + 1);
    return submitBytes(bytes, QFileInfo(path).fileName(), why);
}

bool Online::submitBytes(const QByteArray& replay, const QString& source, QString* why) {
    if (!enabled()) {
        if (why) *why = qtext(N_("サーバーが設定されていません"));
        return false;
    }
    if (!outbox_.add(replay, source, why)) return false;
    if (onOutboxChanged) onOutboxChanged();
    sendWaiting(true);
    return true;
}

void Online::sendWaiting(bool now) {
    if (!enabled()) return;
    const QDateTime time = QDateTime::currentDateTimeUtc();
    for (const OutboxEntry& e : outbox_.entries()) {
        if (e.state != OutboxEntry::Waiting || inFlight_.contains(e.id)) continue;
        if (now || !e.nextTry.isValid() || e.nextTry <= time) send(e);
    }
    scheduleNext();
}

void Online::scheduleNext() {
    retry_.stop();
    if (!enabled()) return;
    const QDateTime time = QDateTime::currentDateTimeUtc();
    std::optional<qint64> soonest;
    for (const OutboxEntry& e : outbox_.entries()) {
        if (e.state != OutboxEntry::Waiting || inFlight_.contains(e.id)) continue;
        const qint64 ms = std::max<qint64>(0, time.msecsTo(e.nextTry));
        soonest = soonest ? std::min(*soonest, ms) : ms;
    }
    if (soonest) retry_.start(static_cast<int>(std::min<qint64>(*soonest + 50, 3'600'000)));
}

void Online::send(const OutboxEntry& entry) {
    OutboxEntry e = entry;
    QString why;
    const auto k = key(&why);
    if (!k || name_.isEmpty()) {
        // Nothing goes out without a key and a name; the run waits for them.
        e.message = k ? qtext(N_("名前を決めると送ります")) : why;
        e.nextTry = QDateTime::currentDateTimeUtc().addSecs(3600);
        outbox_.store(e, nullptr);
        if (onOutboxChanged) onOutboxChanged();
        return;
    }
    const std::string name = name_.toStdString();
    const std::string replay(e.replay.constData(), static_cast<size_t>(e.replay.size()));
    const QJsonObject body{
        {"player", QString::fromStdString(player::playerId(*k))},
        {"name", name_},
        {"replay", QString::fromLatin1(e.replay.toBase64())},
        {"signature", QString::fromStdString(player::signRun(*k, name, replay))},
    };
    QNetworkRequest request(QUrl(server_ + QStringLiteral("/api/v1/runs")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = network()->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    inFlight_.insert(e.id, reply);
    if (onOutboxChanged) onOutboxChanged();
    QObject::connect(reply, &QNetworkReply::finished, [this, reply, e]() mutable {
        reply->deleteLater();
        inFlight_.remove(e.id);
        const QByteArray answer = reply->read(kMaxAnswer);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const SendOutcome outcome = judgeAnswer(status, answer, reply->rawHeader("Retry-After"),
                                                e.attempts + 1, reply->errorString());
        e.state = outcome.state;
        e.message = outcome.message;
        if (outcome.state == OutboxEntry::Waiting) {
            ++e.attempts;
            e.nextTry = QDateTime::currentDateTimeUtc().addSecs(outcome.retrySeconds);
        } else if (outcome.state == OutboxEntry::Sent) {
            if (const auto run = parseRun(answer, nullptr)) {
                e.runId = run->id;
                e.score = run->score;
                e.rank = run->rank;
            }
        }
        // An outbox that cannot be written keeps the entry as it was: it is sent again,
        // and the server answers a run it has with 200.
        outbox_.store(e, nullptr);
        if (onOutboxChanged) onOutboxChanged();
        scheduleNext();
    });
}

QNetworkReply* Online::get(const QString& pathAndQuery) {
    return network()->get(QNetworkRequest(QUrl(server_ + pathAndQuery)));
}

void Online::fetchTable(const QString& period, qint64 offset, qint64 limit,
                        std::function<void(std::optional<OnlineTable>, QString)> done) {
    if (!enabled()) return done(std::nullopt, qtext(N_("サーバーが設定されていません")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("period"), period);
    query.addQueryItem(QStringLiteral("offset"), QString::number(offset));
    query.addQueryItem(QStringLiteral("limit"), QString::number(limit));
    QNetworkReply* reply = get(QStringLiteral("/api/v1/table?") + query.toString(QUrl::FullyEncoded));
    QObject::connect(reply, &QNetworkReply::finished, [reply, done] {
        reply->deleteLater();
        const QByteArray body = reply->read(kMaxAnswer);
        if (reply->error() != QNetworkReply::NoError) return done(std::nullopt, answerError(reply, body));
        QString why;
        auto table = parseTable(body, &why);
        done(std::move(table), why);
    });
}

void Online::fetchStanding(std::function<void(std::optional<OnlineStanding>, QString)> done) {
    if (!enabled()) return done(std::nullopt, qtext(N_("サーバーが設定されていません")));
    QString why;
    const auto k = key(&why);
    if (!k) return done(std::nullopt, why);
    const QString id = QString::fromStdString(player::playerId(*k));
    QNetworkReply* reply = get(QStringLiteral("/api/v1/players/%1?limit=1").arg(id));
    QObject::connect(reply, &QNetworkReply::finished, [reply, done] {
        reply->deleteLater();
        const QByteArray body = reply->read(kMaxAnswer);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 404) return done(OnlineStanding{}, QString()); // no run on the table yet
        if (reply->error() != QNetworkReply::NoError) return done(std::nullopt, answerError(reply, body));
        QString why;
        auto standing = parseStanding(body, &why);
        done(std::move(standing), why);
    });
}

void Online::fetchReplay(const QString& runId, const QString& to, std::function<void(bool, QString)> done) {
    if (!enabled()) return done(false, qtext(N_("サーバーが設定されていません")));
    QNetworkReply* reply = get(QStringLiteral("/api/v1/runs/%1/replay").arg(runId));
    QObject::connect(reply, &QNetworkReply::finished, [reply, done, to] {
        reply->deleteLater();
        const QByteArray body = reply->read(kMaxReplay + 1);
        if (reply->error() != QNetworkReply::NoError) return done(false, answerError(reply, body));
        if (body.isEmpty() || body.size() > kMaxReplay) return done(false, QStringLiteral("not a replay"));
        QDir().mkpath(QFileInfo(to).absolutePath());
        QSaveFile file(to);
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
            return done(false, QStringLiteral("%1: %2").arg(to, file.errorString()));
        }
        done(true, QString());
    });
}

} // namespace kestrow
