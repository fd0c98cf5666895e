#include "online.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
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

constexpr qint64 kMaxAnswer = 1024 * 1024; // far more than a page of the table
constexpr qint64 kMaxReplay = 64 * 1024;   // what the server takes

// The status, or the reason, of an answer that is not what was asked.
QString answerError(const Answer& a) {
    if (!a.error.isEmpty()) return a.error;
    const QString why = errorText(a.body);
    return why.isEmpty() ? QStringLiteral("HTTP %1").arg(a.status) : why;
}

bool failed(const Answer& a) { return !a.error.isEmpty() || a.status < 200 || a.status > 299; }

} // namespace

bool plainHttpElsewhere(const QString& url) {
    const QUrl u(url);
    if (u.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0) return false;
    QString host = u.host().toLower();
    if (host.endsWith(u'.')) host.chop(1);
    if (host == QLatin1String("localhost")) return false;
    const QHostAddress address(host);
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return !address.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8);
    if (address.protocol() == QAbstractSocket::IPv6Protocol) return address != QHostAddress::LocalHostIPv6;
    return true;
}

bool replayIsRun(const QByteArray& replay, const OnlineRun& run, QString* why) {
    auto fail = [why](const QString& text) {
        if (why) *why = text;
        return false;
    };
    if (replay.isEmpty() || replay.size() > kMaxReplay)
        return fail(qtext(N_("サーバーから届いたのはリプレイではありません")));
    QString reason;
    const auto verdict = playReplay(replay, &reason);
    if (!verdict) return fail(qtext(N_("サーバーのリプレイをゲームが受け付けません: %1")).arg(reason));
    if (verdict->id != run.id) {
        return fail(qtext(N_("サーバーのリプレイはこの記録ではありません (%1…、表では %2…)"))
                        .arg(verdict->id.left(12), run.id.left(12)));
    }
    if (verdict->figures != run.figures()) {
        return fail(qtext(N_("サーバーの数字がリプレイの数字と違います: %1"))
                        .arg(figuresDiffer(run.figures(), verdict->figures)));
    }
    return true;
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
        network_->setTransferTimeout(idleMs_);
        // The API never redirects; a server that does may only point at itself.
        network_->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
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
    OutboxEntry added;
    if (!outbox_.add(replay, source, why, nullptr, &added)) return false;
    if (onOutboxChanged) onOutboxChanged();
    if (added.state == OutboxEntry::Refused) { // the game refuses it: kept, never sent
        if (why) *why = added.message;
        return false;
    }
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
    if (!e.verdict) {
        // A run an older menu put in: played now, and the verdict kept with it.
        QString refusal;
        e.verdict = playReplay(e.replay, &refusal);
        if (!e.verdict) {
            e.state = OutboxEntry::Refused;
            e.message = qtext(N_("ゲームが受け付けないリプレイです: %1")).arg(refusal);
        }
        outbox_.store(e, nullptr);
        if (onOutboxChanged) onOutboxChanged();
        if (!e.verdict) return;
    }
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
    const QString player = QString::fromStdString(player::playerId(*k));
    receive(reply, kMaxAnswer, [this, e, player](const Answer& answer) mutable {
        inFlight_.remove(e.id);
        const SendOutcome outcome = judgeAnswer(answer.status, answer.body, answer.retryAfter, e.attempts + 1,
                                                answer.error, *e.verdict, player);
        e.state = outcome.state;
        e.message = outcome.message;
        if (outcome.state == OutboxEntry::Waiting) {
            ++e.attempts;
            e.nextTry = QDateTime::currentDateTimeUtc().addSecs(outcome.retrySeconds);
        } else if (outcome.state == OutboxEntry::Sent) {
            e.runId = outcome.runId;
            e.score = outcome.score;
            e.rank = outcome.rank;
        }
        // An outbox that cannot be written keeps the entry as it was: it is sent again,
        // and the server answers a run it has with 200.
        outbox_.store(e, nullptr);
        if (onOutboxChanged) onOutboxChanged();
        scheduleNext();
    });
}

void Online::setTimeLimits(int idleMs, int totalMs) {
    idleMs_ = idleMs;
    totalMs_ = totalMs;
    if (network_) network_->setTransferTimeout(idleMs_);
}

void Online::receive(QNetworkReply* reply, qint64 cap, std::function<void(const Answer&)> done) {
    struct Received {
        QByteArray body;
        QString stopped; // why the reply was aborted
    };
    auto got = std::make_shared<Received>();
    auto stop = [reply, got](const QString& why) {
        if (got->stopped.isEmpty()) got->stopped = why;
        reply->abort();
    };
    const QString tooLarge = qtext(N_("サーバーの答えが大きすぎます (%1 KiB を超えました)")).arg(cap / 1024);
    // What has come is taken at once, never more than the cap: the rest is not waited for.
    auto take = [reply, got, cap, stop, tooLarge] {
        if (!got->stopped.isEmpty()) return;
        got->body += reply->read(cap + 1 - got->body.size());
        if (got->body.size() > cap) stop(tooLarge);
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cap, stop, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > cap) stop(tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, take);
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    const int seconds = (totalMs_ + 999) / 1000;
    QObject::connect(timer, &QTimer::timeout, reply, [stop, seconds] {
        stop(qtext(N_("%1 秒たっても答えが終わりませんでした")).arg(seconds));
    });
    timer->start(totalMs_);
    const int idleSeconds = (idleMs_ + 999) / 1000;
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, got, take, timer, done, idleSeconds] {
        timer->stop();
        reply->deleteLater();
        take(); // what is left
        Answer a;
        a.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        a.retryAfter = reply->rawHeader("Retry-After").left(32);
        a.body = got->body;
        if (!got->stopped.isEmpty()) {
            a.status = 0; // an answer cut off is no answer
            a.error = got->stopped;
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            // Not aborted here: the manager's idle limit ran out.
            a.status = 0;
            a.error = qtext(N_("%1 秒のあいだサーバーから何も届きませんでした")).arg(idleSeconds);
        } else if (a.status == 0) {
            a.error = reply->errorString();
        }
        done(a);
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
    receive(reply, kMaxAnswer, [done](const Answer& a) {
        if (failed(a)) return done(std::nullopt, answerError(a));
        QString why;
        auto table = parseTable(a.body, &why);
        if (!table) return done(std::nullopt, qtext(N_("サーバーの答えを受け付けません: %1")).arg(why));
        if (!table->refused.isEmpty()) {
            why = qtext(N_("表の %1 行は受け付けません: %2"))
                      .arg(table->refused.size())
                      .arg(shownText(table->refused.join(QStringLiteral("; "))));
        }
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
    receive(reply, kMaxAnswer, [done, id](const Answer& a) {
        if (a.status == 404 && a.error.isEmpty()) return done(OnlineStanding{}, QString()); // no run yet
        if (failed(a)) return done(std::nullopt, answerError(a));
        QString why;
        auto standing = parseStanding(a.body, &why);
        if (standing && standing->player != id) why = QStringLiteral("the answer is about another player");
        if (!standing || standing->player != id)
            return done(std::nullopt, qtext(N_("サーバーの答えを受け付けません: %1")).arg(why));
        done(std::move(standing), QString());
    });
}

void Online::fetchReplay(const OnlineRun& run, const QString& folder,
                         std::function<void(bool, QString, QString)> done) {
    if (!enabled()) return done(false, qtext(N_("サーバーが設定されていません")), QString());
    // The id goes into an address and a file name: only as the table writes ids.
    if (!isHexId(run.id))
        return done(false, QStringLiteral("a run id that is not 64 lowercase hex digits"), {});
    QNetworkReply* reply = get(QStringLiteral("/api/v1/runs/%1/replay").arg(run.id));
    receive(reply, kMaxReplay, [done, run, folder](const Answer& a) {
        if (failed(a)) return done(false, answerError(a), QString());
        QString why;
        if (!replayIsRun(a.body, run, &why)) return done(false, why, QString());
        const QString to = QDir(folder).filePath(run.id + QStringLiteral(".rep"));
        QDir().mkpath(folder);
        QSaveFile file(to);
        if (!file.open(QIODevice::WriteOnly) || file.write(a.body) != a.body.size() || !file.commit()) {
            return done(false, QStringLiteral("%1: %2").arg(to, file.errorString()), QString());
        }
        done(true, QString(), to);
    });
}

} // namespace kestrow
