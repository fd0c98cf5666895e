#include "answers.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrow {
namespace {

constexpr qint64 kMaxFrames = 25000;     // the replay buffer: no game lasts longer
constexpr qint64 kMaxCount = 1000000000; // totals, offsets and ranks
constexpr qsizetype kMaxNameCharacters = 24;
constexpr qsizetype kMaxTimeText = 40;

void say(QString* why, const QString& text) {
    if (why) *why = text;
}

std::optional<QJsonObject> objectOf(const QByteArray& json, QString* why) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        say(why, QStringLiteral("the server's answer is not a JSON object"));
        return std::nullopt;
    }
    return doc.object();
}

// A whole number in [low, high].
std::optional<qint64> wholeNumber(const QJsonValue& v, qint64 low, qint64 high) {
    if (!v.isDouble()) return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < double(low) || d > double(high)) return std::nullopt;
    return static_cast<qint64>(d);
}

// Shown as it is: a name of 1 to 24 characters with nothing that is not a glyph in it
// (control characters, the invisible ones that turn text around, broken surrogates).
bool nameShowable(const QString& name) {
    if (name.isEmpty() || !name.isValidUtf16()) return false;
    const QList<uint> characters = name.toUcs4();
    if (characters.size() > kMaxNameCharacters) return false;
    return std::none_of(characters.begin(), characters.end(), [](uint c) {
        const auto category = QChar::category(char32_t(c));
        return category == QChar::Other_Control || category == QChar::Other_Format ||
               category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
               category == QChar::Other_Surrogate || category == QChar::Other_NotAssigned;
    });
}

std::optional<OnlineRun> runOf(const QJsonValue& v, QString* why) {
    if (!v.isObject()) {
        say(why, QStringLiteral("the server's answer has no run in it"));
        return std::nullopt;
    }
    const QJsonObject o = v.toObject();
    OnlineRun r;
    r.id = o.value("id").toString();
    r.player = o.value("player").toString();
    r.name = o.value("name").toString();
    r.submittedAt = o.value("submittedAt").toString();
    if (!isHexId(r.id)) {
        say(why, QStringLiteral("a run id that is not 64 lowercase hex digits"));
        return std::nullopt;
    }
    if (!isHexId(r.player)) {
        say(why, QStringLiteral("a player key that is not 64 lowercase hex digits"));
        return std::nullopt;
    }
    if (!nameShowable(r.name)) {
        say(why, QStringLiteral("a name that is not 1 to 24 characters of text"));
        return std::nullopt;
    }
    if (r.submittedAt.size() > kMaxTimeText ||
        !QDateTime::fromString(r.submittedAt, Qt::ISODateWithMs).isValid()) {
        say(why, QStringLiteral("a submission time that is not a time"));
        return std::nullopt;
    }
    constexpr qint64 low = std::numeric_limits<qint32>::min(), high = std::numeric_limits<qint32>::max();
    const struct {
        const char* key;
        qint64* to;
        qint64 low, high;
    } numbers[] = {
        {"frames", &r.frames, 1, kMaxFrames},   {"endFrame", &r.endFrame, 0, kMaxFrames - 1},
        {"score", &r.score, low, high},         {"level", &r.level, low, high},
        {"maxChain", &r.maxChain, low, high},   {"totalContacts", &r.totalContacts, low, high},
        {"timeBonus", &r.timeBonus, low, high}, {"finalBonus", &r.finalBonus, low, high},
        {"timeLeft", &r.timeLeft, low, high},
    };
    for (const auto& n : numbers) {
        const auto value = wholeNumber(o.value(QLatin1String(n.key)), n.low, n.high);
        if (!value) {
            say(why, QStringLiteral("\"%1\" is not a whole number the game could give").arg(n.key));
            return std::nullopt;
        }
        *n.to = *value;
    }
    if (r.endFrame != r.frames - 1) {
        say(why, QStringLiteral("\"endFrame\" is not the last of \"frames\""));
        return std::nullopt;
    }
    const QJsonValue rank = o.value("rank");
    if (!rank.isNull()) {
        const auto value = wholeNumber(rank, 1, kMaxCount);
        if (!value) {
            say(why, QStringLiteral("\"rank\" is not a place on the table"));
            return std::nullopt;
        }
        r.rank = *value;
    }
    return r;
}

} // namespace

bool isHexId(const QString& s) {
    return s.size() == 64 && std::all_of(s.begin(), s.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
           });
}

QString figuresDiffer(const RunFigures& theirs, const RunFigures& ours) {
    const struct {
        const char* name;
        qint64 theirs, ours;
    } figures[] = {
        {"score", theirs.score, ours.score},
        {"level", theirs.level, ours.level},
        {"maxChain", theirs.maxChain, ours.maxChain},
        {"totalContacts", theirs.totalContacts, ours.totalContacts},
        {"frames", theirs.frames, ours.frames},
        {"endFrame", theirs.endFrame, ours.endFrame},
        {"timeBonus", theirs.timeBonus, ours.timeBonus},
        {"finalBonus", theirs.finalBonus, ours.finalBonus},
        {"timeLeft", theirs.timeLeft, ours.timeLeft},
    };
    QStringList parts;
    for (const auto& f : figures) {
        if (f.theirs != f.ours) parts << QStringLiteral("%1 %2 (%3)").arg(f.name).arg(f.theirs).arg(f.ours);
    }
    return parts.join(QStringLiteral(", "));
}

std::optional<OnlineRun> parseRun(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    return runOf(*o, why);
}

std::optional<OnlineTable> parseTable(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    OnlineTable t;
    t.period = o->value("period").toString();
    if (std::find(kPeriods.begin(), kPeriods.end(), t.period) == kPeriods.end()) {
        say(why, QStringLiteral("the server's answer names no period of the table"));
        return std::nullopt;
    }
    const auto total = wholeNumber(o->value("total"), 0, kMaxCount);
    const auto offset = wholeNumber(o->value("offset"), 0, kMaxCount);
    if (!o->value("entries").isArray() || !total || !offset) {
        say(why, QStringLiteral("the server's answer has no table in it"));
        return std::nullopt;
    }
    t.total = *total;
    t.offset = *offset;
    const QJsonArray entries = o->value("entries").toArray();
    if (entries.size() > kMaxTableRows) {
        t.refused << QStringLiteral("%1 rows past the first %2")
                         .arg(entries.size() - kMaxTableRows)
                         .arg(kMaxTableRows);
    }
    for (qsizetype i = 0; i < std::min(entries.size(), kMaxTableRows); ++i) {
        QString reason;
        if (auto r = runOf(entries[i], &reason)) {
            t.entries.push_back(std::move(*r));
        } else {
            t.refused << QStringLiteral("row %1: %2").arg(i + 1).arg(reason);
        }
    }
    return t;
}

std::optional<OnlineStanding> parseStanding(const QByteArray& json, QString* why) {
    const auto o = objectOf(json, why);
    if (!o) return std::nullopt;
    OnlineStanding s;
    s.player = o->value("player").toString();
    s.name = o->value("name").toString();
    if (!isHexId(s.player)) {
        say(why, QStringLiteral("a player key that is not 64 lowercase hex digits"));
        return std::nullopt;
    }
    if (!s.name.isEmpty() && !nameShowable(s.name)) {
        say(why, QStringLiteral("a name that is not 1 to 24 characters of text"));
        return std::nullopt;
    }
    const QJsonObject best = o->value("best").toObject();
    std::optional<OnlineRun>* slots[] = {&s.all, &s.month, &s.week, &s.day};
    for (size_t i = 0; i < kPeriods.size(); ++i) {
        const QJsonValue v = best.value(QLatin1String(kPeriods[i]));
        if (v.isNull() || v.isUndefined()) continue;
        *slots[i] = runOf(v, why);
        if (!*slots[i]) return std::nullopt;
        if ((*slots[i])->player != s.player) {
            say(why, QStringLiteral("a best run of another player"));
            return std::nullopt;
        }
    }
    return s;
}

QString shownText(const QString& text, qsizetype limit) {
    QString out;
    for (char32_t c : text.toUcs4()) {
        if (out.size() >= limit) break;
        const auto category = QChar::category(c);
        const bool invisible = category == QChar::Other_Control || category == QChar::Other_Format ||
                               category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
                               category == QChar::Other_Surrogate;
        out += invisible ? QString(u' ') : QString::fromUcs4(&c, 1);
    }
    return out.left(limit);
}

} // namespace kestrow
