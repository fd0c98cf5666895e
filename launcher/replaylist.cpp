#include "replaylist.h"

#include "look.h"

#include "form3.h"
#include "verdict/verdict.h"

#include <QColor>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <cstdio>
#include <unistd.h>

namespace kestrow {
namespace {

// The count and the most entries a replay can have: all the game ever reads of a file.
constexpr qint64 kReplayBytesRead = 4 + 25001;
// Files per call of the tool: enough to keep every core busy, few enough that a call
// that goes wrong costs little.
constexpr size_t kFilesPerCall = 64;
// Hashing done in one step of the event loop before the window gets its turn again.
constexpr int kPumpStepMs = 15;

QString toolStamp(const QString& tool) {
    const QFileInfo info(tool);
    if (!info.exists()) return {};
    return QString::number(info.size()) + u' ' + QString::number(info.lastModified().toMSecsSinceEpoch());
}

qint64 mtimeOf(const QFileInfo& info) { return info.lastModified().toMSecsSinceEpoch(); }

QString minutesAndSeconds(qint64 frames) {
    const qint64 seconds = frames / 60;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QChar(u'0'))
        .arg(seconds % 60, 2, 10, QChar(u'0'));
}

QJsonObject toJson(const Verdict& v) {
    QJsonObject o;
    if (v.state == Verdict::Ok) {
        o[QStringLiteral("frames")] = v.frames;
        o[QStringLiteral("score")] = v.score;
        o[QStringLiteral("level")] = v.level;
        o[QStringLiteral("maxChain")] = v.maxChain;
    } else {
        o[QStringLiteral("error")] = v.reason;
    }
    return o;
}

Verdict verdictFromObject(const QJsonObject& o) {
    Verdict v;
    if (o.contains(QStringLiteral("error"))) {
        v.state = Verdict::Unusable;
        v.reason = o.value(QStringLiteral("error")).toString();
        return v;
    }
    for (const char* key : {"frames", "score", "level", "maxChain"}) {
        if (!o.value(QLatin1String(key)).isDouble()) {
            v.state = Verdict::Unchecked;
            v.reason = QStringLiteral("tolvane-replay gave an answer that cannot be read");
            return v;
        }
    }
    v.state = Verdict::Ok;
    v.frames = o.value(QStringLiteral("frames")).toInteger();
    v.score = o.value(QStringLiteral("score")).toInteger();
    v.level = o.value(QStringLiteral("level")).toInteger();
    v.maxChain = o.value(QStringLiteral("maxChain")).toInteger();
    return v;
}

} // namespace

Verdict verdictFromLine(const QByteArray& line) {
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    if (!doc.isObject()) {
        Verdict v;
        v.state = Verdict::Unchecked;
        v.reason = QStringLiteral("tolvane-replay gave an answer that cannot be read");
        return v;
    }
    return verdictFromObject(doc.object());
}

QString cacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir(base).filePath(QStringLiteral("tolvane"));
}

QByteArray replayHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.read(kReplayBytesRead);
    if (file.error() != QFileDevice::NoError) return {};
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QString runIdOf(const QByteArray& replay, qint64 endFrame) {
    if (endFrame < 0) return {};
    const std::string game =
        tolvane::verdict::gameBytes(std::string_view(replay.constData(), size_t(replay.size())), endFrame);
    return QString::fromStdString(
        tolvane::verdict::sha256Hex(std::string_view(game).substr(4, size_t(endFrame) + 1)));
}

// ---- The cache ----

VerdictCache::VerdictCache(const QString& file, const QString& toolStamp) : file_(file), tool_(toolStamp) {
    QFile in(file_);
    if (tool_.isEmpty() || !in.open(QIODevice::ReadOnly)) return;
    const QJsonObject top = QJsonDocument::fromJson(in.readAll()).object();
    if (top.value(QStringLiteral("verifier")).toString() != tool_) return; // another build
    const QJsonObject files = top.value(QStringLiteral("files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        Entry e;
        e.size = o.value(QStringLiteral("size")).toInteger(-1);
        e.mtime = o.value(QStringLiteral("mtime")).toInteger(-1);
        e.hash = QByteArray::fromHex(o.value(QStringLiteral("sha256")).toString().toLatin1());
        e.verdict = verdictFromObject(o.value(QStringLiteral("verdict")).toObject());
        if (e.size < 0 || e.hash.size() != 32 || e.verdict.state == Verdict::Unchecked) continue;
        byContent_.insert(e.hash, e.verdict);
        byPath_.insert(it.key(), e);
    }
}

std::optional<Verdict> VerdictCache::find(const QString& path, qint64 size, qint64 mtime,
                                          QByteArray* hash) const {
    const auto it = byPath_.constFind(path);
    if (it == byPath_.constEnd() || it->size != size || it->mtime != mtime) return std::nullopt;
    if (hash) *hash = it->hash;
    return it->verdict;
}

std::optional<Verdict> VerdictCache::findContent(const QByteArray& hash) const {
    const auto it = byContent_.constFind(hash);
    if (it == byContent_.constEnd()) return std::nullopt;
    return *it;
}

void VerdictCache::store(const QString& path, qint64 size, qint64 mtime, const QByteArray& hash,
                         const Verdict& verdict) {
    if (tool_.isEmpty() || hash.isEmpty()) return;
    if (verdict.state != Verdict::Ok && verdict.state != Verdict::Unusable) return;
    byPath_.insert(path, Entry{size, mtime, hash, verdict});
    byContent_.insert(hash, verdict);
    dirty_ = true;
}

bool VerdictCache::save() {
    if (!dirty_) return true;
    QJsonObject files;
    for (auto it = byPath_.cbegin(); it != byPath_.cend(); ++it) {
        if (!QFileInfo::exists(it.key())) continue;
        QJsonObject o;
        o[QStringLiteral("size")] = it->size;
        o[QStringLiteral("mtime")] = it->mtime;
        o[QStringLiteral("sha256")] = QString::fromLatin1(it->hash.toHex());
        o[QStringLiteral("verdict")] = toJson(it->verdict);
        files[it.key()] = o;
    }
    QJsonObject top;
    top[QStringLiteral("verifier")] = tool_;
    top[QStringLiteral("files")] = files;

    QDir().mkpath(QFileInfo(file_).absolutePath());
    QSaveFile out(file_);
    if (out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(top).toJson(QJsonDocument::Compact)) >= 0 &&
        out.commit()) {
        dirty_ = false;
        return true;
    }
    if (!warned_) { // once: the list works without its cache, only slower next time
        std::fprintf(stderr, "kestrow: cannot write %s: %s\n", qPrintable(file_),
                     qPrintable(out.errorString()));
        warned_ = true;
    }
    return false;
}

// ---- The list ----

ReplayList::ReplayList(const QString& folder, const QString& toolDir, const QString& cacheFile,
                       QObject* parent)
    : QAbstractTableModel(parent), folder_(folder), tool_(QDir(toolDir).filePath(kVerifyProgram)),
      cache_(cacheFile, toolStamp(tool_)) {
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setInterval(0);
    QObject::connect(&pumpTimer_, &QTimer::timeout, this, [this] { pump(); });
    // A copy of many files is many changes: read the folder once they have settled.
    rescanTimer_.setSingleShot(true);
    rescanTimer_.setInterval(150);
    QObject::connect(&rescanTimer_, &QTimer::timeout, this, [this] { rescan(); });
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, this, [this] {
        if (!process_) return;
        silent_ = true;
        process_->kill();
    });
    if (QFileInfo(folder_).isDir()) watcher_.addPath(folder_);
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
                     [this] { rescanTimer_.start(); });
    rescan();
}

ReplayList::~ReplayList() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
    cache_.save();
}

int ReplayList::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int ReplayList::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

int ReplayList::settled() const {
    int n = 0;
    for (const Row& row : rows_) n += row.verdict.state != Verdict::Pending ? 1 : 0;
    return n;
}

int ReplayList::rowOf(const QString& path) const { return index_.value(path, -1); }

void ReplayList::lookUp(Row& row) {
    row.hash.clear();
    row.verdict = cache_.find(row.path, row.size, row.mtime, &row.hash).value_or(Verdict{});
    if (row.verdict.state == Verdict::Pending) queue_.push_back(row.path);
}

void ReplayList::changed(int row) { Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1)); }

void ReplayList::rescan() {
    const QDir dir(folder_);
    QSet<QString> present;
    std::vector<Row> added;
    for (const QString& name : replayFiles(folder_)) {
        const QString path = dir.filePath(name);
        present.insert(path);
        const QFileInfo info(path);
        const int r = rowOf(path);
        if (r < 0) {
            Row row{name, path, info.size(), mtimeOf(info), {}, {}, parseTakeOverName(name.toStdString())};
            lookUp(row);
            added.push_back(std::move(row));
        } else if (rows_[r].size != info.size() || rows_[r].mtime != mtimeOf(info)) {
            rows_[r].size = info.size(); // a changed file is checked again
            rows_[r].mtime = mtimeOf(info);
            lookUp(rows_[r]);
            changed(r);
        }
    }
    for (int r = int(rows_.size()) - 1; r >= 0; --r) {
        if (present.contains(rows_[r].path)) continue;
        beginRemoveRows({}, r, r);
        rows_.erase(rows_.begin() + r);
        endRemoveRows();
    }
    if (!added.empty()) {
        beginInsertRows({}, int(rows_.size()), int(rows_.size() + added.size()) - 1);
        for (Row& row : added) rows_.push_back(std::move(row));
        endInsertRows();
    }
    index_.clear();
    for (int r = 0; r < int(rows_.size()); ++r) index_.insert(rows_[r].path, r);
    originsChanged();
    if (onProgress) onProgress();
    if (!queue_.empty()) pumpTimer_.start();
}

void ReplayList::settle(const Asked& asked, const Verdict& verdict, bool keep) {
    const int r = rowOf(asked.path);
    if (r < 0) return;
    Row& row = rows_[r];
    // A file that changed while it was being checked has been queued again.
    if (row.size != asked.size || row.mtime != asked.mtime || row.verdict.state != Verdict::Pending) return;
    row.verdict = verdict;
    const QFileInfo now(asked.path);
    if (keep && now.exists() && now.size() == asked.size && mtimeOf(now) == asked.mtime)
        cache_.store(asked.path, asked.size, asked.mtime, asked.hash, verdict);
    changed(r);
    if (!row.takeOver) originsChanged(); // a take-over's original may be this one
}

void ReplayList::originsChanged() {
    if (rows_.empty()) return;
    Q_EMIT dataChanged(index(0, Name), index(int(rows_.size()) - 1, Name));
}

std::optional<TakeOverName> ReplayList::takeOver(int row) const {
    const Row& r = rows_[row];
    // A frame past the record's own game is no frame it was taken over at.
    if (!r.takeOver || (r.verdict.state == Verdict::Ok && r.takeOver->frame >= r.verdict.frames))
        return std::nullopt;
    return r.takeOver;
}

QString ReplayList::runIdOfRow(const Row& row) const {
    if (row.verdict.state != Verdict::Ok) return {};
    const auto known = ids_.constFind(row.path);
    if (known != ids_.constEnd() && known->size == row.size && known->mtime == row.mtime) return known->id;
    QFile file(row.path);
    QString id;
    if (file.open(QIODevice::ReadOnly)) id = runIdOf(file.read(kReplayBytesRead), row.verdict.frames - 1);
    ids_.insert(row.path, {row.size, row.mtime, id});
    return id;
}

QString ReplayList::originText(int row) const {
    const std::optional<TakeOverName> t = takeOver(row);
    if (!t) return {};
    const QString origin = QString::fromStdString(t->origin);
    QString named = originalOf(origin);
    if (named == QLatin1String("HiReplay.rep")) named = QStringLiteral("HiReplay");
    if (named.isEmpty()) return qtext(N_("乗っ取り: 元 %1 のフレーム %2 から")).arg(origin).arg(t->frame);
    return qtext(N_("乗っ取り: 元 %1（%2）のフレーム %3 から")).arg(origin, named).arg(t->frame);
}

QString ReplayList::originalOf(const QString& origin) const {
    QString found;
    for (const Row& row : rows_) {
        if (row.takeOver || !runIdOfRow(row).startsWith(origin)) continue;
        if (row.name == QLatin1String("HiReplay.rep")) return row.name;
        if (found.isEmpty() || row.name < found) found = row.name;
    }
    return found;
}

void ReplayList::pump() {
    if (process_ || queue_.empty()) return;
    if (!QFileInfo(tool_).isExecutable()) {
        Verdict missing;
        missing.state = Verdict::Unchecked;
        missing.reason = QStringLiteral("%1 is not beside kestrow").arg(kVerifyProgram);
        for (const QString& path : queue_) {
            const int r = rowOf(path);
            if (r < 0 || rows_[r].verdict.state != Verdict::Pending) continue;
            rows_[r].verdict = missing;
            changed(r);
        }
        queue_.clear();
        if (onProgress) onProgress();
        return;
    }
    asked_.clear();
    answered_ = 0;
    pending_.clear();
    QElapsedTimer clock;
    clock.start();
    bool known = false;
    while (!queue_.empty() && asked_.size() < kFilesPerCall && clock.elapsed() < kPumpStepMs) {
        const QString path = queue_.front();
        queue_.pop_front();
        const int r = rowOf(path);
        if (r < 0 || rows_[r].verdict.state != Verdict::Pending) continue;
        if (std::any_of(asked_.begin(), asked_.end(), [&](const Asked& a) { return a.path == path; }))
            continue;
        Row& row = rows_[r];
        if (row.hash.isEmpty()) row.hash = replayHash(path);
        if (const auto v = cache_.findContent(row.hash)) {
            // The same bytes under another name, or back after a change: known already.
            settle({path, row.size, row.mtime, row.hash}, *v, true);
            known = true;
            continue;
        }
        asked_.push_back({path, row.size, row.mtime, row.hash});
    }
    if (known && onProgress) onProgress();
    if (asked_.empty()) {
        if (!queue_.empty()) pumpTimer_.start();
        return;
    }
    startTool();
}

void ReplayList::startTool() {
    QStringList arguments{QStringLiteral("verify")};
    for (const Asked& a : asked_) arguments << a.path;
    auto* process = new QProcess(this);
    process->setProgram(tool_);
    process->setArguments(arguments);
    // Checking is background work: a game started meanwhile keeps its frames.
    process->setChildProcessModifier([] { (void)::nice(10); });
    QObject::connect(process, &QProcess::readyReadStandardOutput, this, [this] { readAnswers(); });
    QObject::connect(process, &QProcess::finished, this,
                     [this](int code, QProcess::ExitStatus status) { toolFinished(code, status); });
    QObject::connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) toolFinished(-1, QProcess::CrashExit);
    });
    process_ = process;
    ++toolRuns_;
    watchdog_.start(answerTimeout_);
    process->start();
}

void ReplayList::readAnswers() {
    if (!process_) return;
    pending_ += process_->readAllStandardOutput();
    bool any = false;
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QByteArray line = pending_.left(end);
        pending_.remove(0, end + 1);
        if (answered_ >= asked_.size()) continue;
        const Verdict v = verdictFromLine(line);
        settle(asked_[answered_++], v, v.state != Verdict::Unchecked);
        any = true;
    }
    if (any) {
        watchdog_.start(answerTimeout_);
        if (onProgress) onProgress();
    }
}

void ReplayList::toolFinished(int exitCode, QProcess::ExitStatus status) {
    if (!process_) return;
    const bool timedOut = silent_;
    silent_ = false;
    watchdog_.stop();
    readAnswers();
    const QString errors = QString::fromUtf8(process_->readAllStandardError()).trimmed();
    process_->disconnect(this);
    process_->deleteLater();
    process_ = nullptr;

    if (answered_ < asked_.size()) {
        Verdict failed;
        failed.state = Verdict::Unchecked;
        if (asked_.size() == 1 && status == QProcess::NormalExit && exitCode == 2) {
            // One file is answered the old way: the reason on stderr, after the file's name.
            QString reason = errors;
            const QString prefix =
                kVerifyProgram + QStringLiteral(": \"") + asked_[0].path + QStringLiteral("\": ");
            if (reason.startsWith(prefix)) reason = reason.mid(prefix.size());
            failed.state = Verdict::Unusable;
            failed.reason = reason;
            settle(asked_[0], failed, true);
        } else {
            if (timedOut) {
                failed.reason =
                    QStringLiteral("the check gave no answer within %1 s").arg(answerTimeout_ / 1000.0);
            } else if (exitCode == -1) {
                failed.reason = QStringLiteral("%1 cannot be started").arg(kVerifyProgram);
            } else if (status == QProcess::CrashExit) {
                failed.reason = QStringLiteral("%1 stopped during the check").arg(kVerifyProgram);
            } else {
                failed.reason = QStringLiteral("%1 ended without an answer (status %2)")
                                    .arg(kVerifyProgram)
                                    .arg(exitCode);
            }
            // The first file without an answer is the one the tool was busy with (it
            // answers in order); the others are asked again, unless the tool never
            // answered anything at all.
            const bool toolWorks = answered_ > 0 || timedOut;
            settle(asked_[answered_], failed, false);
            for (size_t i = asked_.size(); i-- > answered_ + 1;) {
                if (toolWorks) {
                    queue_.push_front(asked_[i].path);
                } else {
                    settle(asked_[i], failed, false);
                }
            }
        }
    }
    asked_.clear();
    cache_.save();
    if (onProgress) onProgress();
    if (!queue_.empty()) pumpTimer_.start();
}

// ---- What the table shows ----

QVariant ReplayList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const Row& row = rows_[index.row()];
    const Verdict& v = row.verdict;
    const bool ok = v.state == Verdict::Ok;
    const int column = index.column();
    auto number = [&](qint64 value) -> QVariant {
        if (role == SortRole) return ok ? value : qint64(-1);
        return ok ? QVariant(QString::number(value)) : QVariant();
    };
    switch (role) {
    case Qt::DisplayRole:
    case SortRole:
        switch (column) {
        case Name: {
            if (role == SortRole) return row.name.toCaseFolded();
            const QString origin = originText(index.row()); // a take-over by what it is
            return origin.isEmpty() ? row.name : origin;
        }
        case Date:
            if (role == SortRole) return row.mtime;
            return QDateTime::fromMSecsSinceEpoch(row.mtime).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        case Length:
            if (role == SortRole) return ok ? v.frames : qint64(-1);
            return ok ? QVariant(minutesAndSeconds(v.frames)) : QVariant();
        case Score: return number(v.score);
        case Level: return number(v.level);
        case MaxChain: return number(v.maxChain);
        case Status:
            if (role == SortRole)
                return int(v.state == Verdict::Ok ? 0 : v.state == Verdict::Pending ? 1 : 2);
            if (v.state == Verdict::Pending) return QStringLiteral("…"); // a sign: not translated
            return ok ? qtext("ok") : v.reason;
        }
        return {};
    case Qt::TextAlignmentRole:
        return int(column == Name || column == Status ? Qt::AlignLeft | Qt::AlignVCenter
                                                      : Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (column == Name) return row.path;
        if (column == Status && !v.reason.isEmpty()) return v.reason;
        return {};
    case Qt::ForegroundRole:
        if (v.state == Verdict::Unusable) return QColor(112, 112, 144); // cannot be played
        return {};
    default: return {};
    }
}

QVariant ReplayList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[ColumnCount] = {
        N_("ファイル"), N_("日付"), N_("長さ"), N_("スコア"), N_("レベル"), N_("最大チェイン"), N_("状態")};
    return section >= 0 && section < ColumnCount ? qtext(kTitles[section]) : QVariant();
}

} // namespace kestrow
