// The menu against servers that lie, run inside the test on 127.0.0.1: ids that climb
// out of the cache, replays that are not the run, answers without measure or without
// end, submissions answered with another run. After each, nothing is written outside
// the menu's own folders, the outbox still holds the run and the window says why.
#include "form6.h"

#include "answers.h"
#include "form1.h"
#include "launcher_fixture.h"
#include "online.h"
#include "outbox.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <functional>
#include <map>
#include <set>

namespace kestrow::test {
namespace {

RunVerdict verdictOf(const QByteArray& replay) {
    const auto v = playReplay(replay, nullptr);
    EXPECT_TRUE(v);
    return v.value_or(RunVerdict{});
}

QByteArray text(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

TEST(ServerAnswers, EveryIdKeyFigureAndNameIsCheckedBeforeUse) {
    const RunVerdict boost = verdictOf(golden("boost.rep"));
    const QString player(64, u'd');
    const QJsonObject good = runJson(boost.id, player, boost.figures);
    const struct {
        const char* key;
        QJsonValue value;
        const char* why;
    } cases[] = {
        {"id", "../../x", "run id"},
        {"id", "%2e%2e%2f%2e%2e%2fx", "run id"},
        {"id", "/tmp/x", "run id"},
        {"id", boost.id.toUpper(), "run id"},
        {"id", boost.id.left(63), "run id"},
        {"id", boost.id + "0", "run id"},
        {"id", QString(63, u'0') + QChar(0xFF10), "run id"}, // a full-width digit
        {"id", 7, "run id"},
        {"player", "../" + player.left(61), "player key"},
        {"player", player.toUpper(), "player key"},
        {"name", "", "name"},
        {"name", QString(25, u'x'), "name"},
        {"name", "a\nb", "name"},
        {"name", QString::fromUtf8("ab\u202Ecd"), "name"}, // turns the text around
        {"score", "51532", "score"},
        {"score", 1e300, "score"},
        {"score", 2.5, "score"},
        {"level", QJsonValue(), "level"},
        {"frames", 0, "frames"},
        {"frames", 25001, "frames"},
        {"endFrame", boost.figures.endFrame + 1, "endFrame"},
        {"rank", 0, "rank"},
        {"rank", -3, "rank"},
        {"submittedAt", "yesterday", "time"},
        {"submittedAt", QString(4000, u'2'), "time"},
    };
    QString why;
    ASSERT_TRUE(parseRun(text(good), &why)) << why.toStdString();
    for (const auto& c : cases) {
        QJsonObject bad = good;
        bad.insert(QLatin1String(c.key), c.value);
        why.clear();
        EXPECT_FALSE(parseRun(text(bad), &why)) << c.key << " " << c.why;
        EXPECT_TRUE(why.contains(QLatin1String(c.why))) << why.toStdString();

        // In a table only that row is left out, with the reason; the good row stays.
        const QJsonObject table{
            {"period", "all"}, {"total", 2}, {"offset", 0}, {"entries", QJsonArray{bad, good}}};
        const auto t = parseTable(text(table), &why);
        ASSERT_TRUE(t) << why.toStdString();
        ASSERT_EQ(t->entries.size(), 1u) << c.key;
        EXPECT_EQ(t->entries[0].id, boost.id);
        ASSERT_EQ(t->refused.size(), 1);
        EXPECT_TRUE(t->refused[0].startsWith("row 1: ")) << t->refused[0].toStdString();

        // A standing is refused whole.
        const QJsonObject standing{
            {"player", player}, {"name", "Kiri"}, {"best", QJsonObject{{"week", bad}}}};
        EXPECT_FALSE(parseStanding(text(standing), &why)) << c.key;
    }
    const QJsonObject someoneElse{
        {"player", player},
        {"best", QJsonObject{{"all", runJson(boost.id, QString(64, u'e'), boost.figures)}}}};
    EXPECT_FALSE(parseStanding(text(someoneElse), &why));
    EXPECT_FALSE(parseTable(R"({"period": "../x", "total": 0, "offset": 0, "entries": []})", &why));
    EXPECT_FALSE(parseTable(R"({"period": "all", "total": -1, "offset": 0, "entries": []})", &why));
    EXPECT_EQ(shownText(QString::fromUtf8("a\u202Eb\nc\u0007d")), "a b c d");
}

TEST(JudgeAnswer, ASubmissionIsSentOnlyAsTheRunTheMenuPlayed) {
    const RunVerdict mine = verdictOf(golden("boost.rep"));
    const RunVerdict other = verdictOf(golden("zero.rep"));
    const QString player(64, u'd');
    RunFigures more = mine.figures;
    more.score += 1;
    const struct {
        QByteArray body;
        OutboxEntry::State state;
        const char* says;
    } cases[] = {
        {text(runJson(mine.id, player, mine.figures)), OutboxEntry::Sent, ""},
        {text(runJson(other.id, player, other.figures)), OutboxEntry::Refused, "別の記録"},
        {text(runJson(other.id, player, mine.figures)), OutboxEntry::Refused, "別の記録"},
        {text(runJson(mine.id, player, more)), OutboxEntry::Refused, "score"},
        {text(runJson(mine.id, QString(64, u'e'), mine.figures)), OutboxEntry::Refused, "別のプレイヤー"},
        {text(runJson("../../x", player, mine.figures)), OutboxEntry::Waiting, "run id"},
        {"{}", OutboxEntry::Waiting, "記録になっていません"},
        {"<html>", OutboxEntry::Waiting, "記録になっていません"},
    };
    for (int status : {200, 201}) {
        for (const auto& c : cases) {
            const SendOutcome got = judgeAnswer(status, c.body, "", 1, "", mine, player);
            EXPECT_EQ(got.state, c.state) << c.body.toStdString();
            EXPECT_TRUE(got.message.contains(QString::fromUtf8(c.says))) << got.message.toStdString();
            EXPECT_EQ(got.runId, c.state == OutboxEntry::Sent ? mine.id : QString());
        }
    }
}

TEST(PlainHttp, OnlyAPlainAddressOfAnotherMachineIsWarnedOfOnce) {
    const struct {
        const char* url;
        bool elsewhere;
    } cases[] = {
        {"http://localhost:8080", false},       {"http://LocalHost.", false},
        {"http://127.0.0.1:8080", false},       {"http://127.200.3.4", false},
        {"http://[::1]:8080", false},           {"https://scores.example.org", false},
        {"http://scores.example.org", true},    {"http://10.0.0.2:8080", true},
        {"http://0.0.0.0:8080", true},          {"http://localhost.example.org", true},
        {"http://127.0.0.1.example.org", true}, {"http://[2001:db8::1]", true},
    };
    for (const auto& c : cases) EXPECT_EQ(plainHttpElsewhere(c.url), c.elsewhere) << c.url;

    QTemporaryDir dir;
    const QString said = dir.filePath("cache/said");
    EXPECT_TRUE(plainHttpNoticeDue("http://a.example.org", said, true));
    EXPECT_FALSE(plainHttpNoticeDue("http://a.example.org", said, true)) << "said once";
    EXPECT_TRUE(plainHttpNoticeDue("http://b.example.org", said, false)) << "each server";
    EXPECT_TRUE(plainHttpNoticeDue("http://b.example.org", said, true));
    EXPECT_FALSE(plainHttpNoticeDue("http://127.0.0.1:1", said, true));
}

// An HTTP server of the test's own on 127.0.0.1 that answers what `answer` says.
class LyingServer {
  public:
    enum Kind {
        Whole,   // the body, then the connection closes
        Huge,    // 128 MiB of JSON, as fast as the client takes it, no length given
        Endless, // a length of 100 kB, then one byte every 100 ms until the client goes
        Silent,  // a length of 100 bytes, then nothing
    };
    struct Reply {
        int status = 404;
        QByteArray body = R"({"error": "no such thing"})";
        Kind kind = Whole;
    };
    std::function<Reply(const QByteArray& method, const QByteArray& path, const QByteArray& body)> answer;
    QList<QByteArray> requests; // "METHOD PATH" of each
    qint64 hugeSent = 0;        // bytes of huge answers written before their client went

    LyingServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) accept(s);
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

  private:
    void accept(QTcpSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0) return;
            const QByteArray head = buffer->left(end);
            qsizetype length = 0;
            for (const QByteArray& line : head.split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    length = line.mid(15).trimmed().toLongLong();
            }
            if (buffer->size() < end + 4 + length) return;
            const QList<QByteArray> first = head.left(head.indexOf('\r')).split(' ');
            const QByteArray method = first.value(0), path = first.value(1);
            requests << method + " " + path;
            const Reply r = answer ? answer(method, path, buffer->mid(end + 4, length)) : Reply{};
            buffer->clear();
            respond(socket, r);
        });
    }

    void respond(QTcpSocket* socket, const Reply& r) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nConnection: close\r\n";
        if (r.kind == Whole) {
            socket->write(head + "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n\r\n" +
                          r.body);
            socket->disconnectFromHost();
        } else if (r.kind == Huge) {
            socket->write(head + "Content-Type: application/json\r\n\r\n{\"entries\": [");
            auto pump = [this, socket] {
                static const QByteArray chunk(64 * 1024, ' ');
                while (socket->state() == QAbstractSocket::ConnectedState &&
                       socket->bytesToWrite() < 256 * 1024 && hugeSent < 128 * 1024 * 1024) {
                    socket->write(chunk);
                    hugeSent += chunk.size();
                }
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            pump();
        } else if (r.kind == Silent) {
            socket->write(head + "Content-Length: 100\r\n\r\n");
        } else {
            socket->write(head + "Content-Length: 100000\r\n\r\n");
            auto* drip = new QTimer(socket);
            QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
            drip->start(100);
        }
    }

    QTcpServer server_;
};

// Every file under `dir`, relative to it.
std::set<QString> filesUnder(const QString& dir) {
    std::set<QString> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out.insert(QDir(dir).relativeFilePath(it.next()));
    return out;
}

// A table of three: zero.rep's run first, boost.rep's second, the player's own third;
// each run's replay is the golden file of that name, unless `replays` says otherwise.
struct ThreeRuns {
    RunVerdict zero = verdictOf(golden("zero.rep"));
    RunVerdict boost = verdictOf(golden("boost.rep"));
    QString mine = QString(64, u'a');
    std::map<QString, QByteArray> replays{{zero.id, golden("zero.rep")}, {boost.id, golden("boost.rep")}};

    LyingServer::Reply answer(const QString& player, const QByteArray& path) const {
        const QUrl url(QString::fromLatin1(path));
        if (url.path().startsWith("/api/v1/players/")) {
            const QJsonObject best{{"all", runJson(mine, player, boost.figures, "Kiri", 3)}};
            return {200, text({{"player", player}, {"name", "Kiri"}, {"best", best}})};
        }
        if (url.path() == "/api/v1/table") {
            const qint64 offset = QUrlQuery(url).queryItemValue("offset").toLongLong();
            const QJsonObject rows[] = {runJson(zero.id, QString(64, u'1'), zero.figures, "Ame", 1),
                                        runJson(boost.id, QString(64, u'2'), boost.figures, "Sora", 2),
                                        runJson(mine, player, boost.figures, "Kiri", 3)};
            QJsonArray entries;
            if (offset >= 0 && offset < 3) entries.append(rows[offset]);
            return {200, text({{"period", "all"}, {"total", 3}, {"offset", offset}, {"entries", entries}})};
        }
        for (const auto& [id, bytes] : replays) {
            if (url.path() == "/api/v1/runs/" + id + "/replay") return {200, bytes};
        }
        return {};
    }
};

// The menu on a lying server, with its own settings, key, outbox and cache.
class LyingServerTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            saved_.push_back({var, qgetenv(var)});
            qputenv(var, base_.filePath(QString::fromLatin1(var)).toUtf8());
        }
        const QString dir = base_.filePath("XDG_CONFIG_HOME/tolvane");
        QDir().mkpath(dir);
        QFile f(dir + "/settings.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[online]\nserver = %1\nname = Kiri\n").arg(server_.url()).toUtf8());
        f.close();
        player_ = QString(64, u'0');
        menu_ = std::make_unique<Form1>(appDir_.toStdString());
        player_ = menu_->online()->playerId();
        menu_->online()->setTimeLimits(1000, 2000);
        before_ = filesUnder(base_.path());
    }
    void TearDown() override {
        // Nothing the server said made a file outside the menu's own folders.
        for (const QString& f : filesUnder(base_.path())) {
            if (before_.count(f)) continue;
            EXPECT_TRUE(f.startsWith("XDG_DATA_HOME/tolvane/outbox/") ||
                        f.startsWith("XDG_CACHE_HOME/tolvane/"))
                << f.toStdString();
        }
        menu_.reset();
        for (const auto& [var, value] : saved_) qputenv(var, value);
        LauncherTest::TearDown();
    }

  public:
    Form6* openWindow() {
        QTest::keyClick(menu_.get(), Qt::Key_W);
        return menu_->form6();
    }
    std::vector<OutboxEntry> outbox() { return menu_->online()->outbox().entries(); }
    // The one entry of the outbox, once it has an answer.
    std::optional<OutboxEntry> settled() {
        std::optional<OutboxEntry> out;
        (void)QTest::qWaitFor(
            [&] {
                const auto entries = outbox();
                if (entries.size() != 1 || menu_->online()->sending(entries[0].id)) return false;
                if (entries[0].state == OutboxEntry::Waiting && entries[0].attempts == 0) return false;
                out = entries[0];
                return true;
            },
            15000);
        return out;
    }
    QStringList cachedRuns() const {
        return QDir(base_.filePath("XDG_CACHE_HOME/tolvane/runs")).entryList(QDir::Files);
    }

    LyingServer server_;
    QString player_;
    std::vector<std::pair<const char*, QByteArray>> saved_;
    std::unique_ptr<Form1> menu_;
    std::set<QString> before_;
};

TEST_F(LyingServerTest, RowsThatAreNotRunsAreLeftOutAndAReplayThatIsNotTheRunIsNeverPlayed) {
    const RunVerdict boost = verdictOf(golden("boost.rep"));
    RunFigures lied = boost.figures;
    lied.score = 999999;
    QJsonArray rows;
    for (const QString& id : {QString("../../x"), QString("%2e%2e%2f%2e%2e%2fx"), QString("/tmp/x"),
                              boost.id.toUpper(), boost.id.left(63), boost.id + "0"}) {
        rows.append(runJson(id, player_, boost.figures));
    }
    rows.append(runJson(boost.id, "../" + player_.left(61), boost.figures));
    rows.append(runJson(boost.id, player_, boost.figures, "the row of zero.rep"));
    rows.append(runJson(boost.id, player_, lied, "the lying score"));
    server_.answer = [&](const QByteArray&, const QByteArray& path, const QByteArray&) -> LyingServer::Reply {
        if (path.startsWith("/api/v1/table"))
            return {200, text({{"period", "all"}, {"total", 9}, {"offset", 0}, {"entries", rows}})};
        return {};
    };
    Form6* window = openWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Table->rowCount() == 2; }, 10000));
    EXPECT_TRUE(window->Status->text().contains("表の 7 行は受け付けません"))
        << window->Status->text().toStdString();
    EXPECT_TRUE(window->Status->text().contains("run id")) << window->Status->text().toStdString();
    EXPECT_TRUE(window->Notice->isHidden()) << "127.0.0.1 is this machine";

    const struct {
        int row;
        const char* says;
    } watches[] = {{0, "この記録ではありません"}, {1, "数字がリプレイの数字と違います"}};
    for (const auto& w : watches) {
        server_.answer = [&, w](const QByteArray&, const QByteArray& path,
                                const QByteArray&) -> LyingServer::Reply {
            if (path.endsWith("/replay")) return {200, golden(w.row == 0 ? "zero.rep" : "boost.rep")};
            return {};
        };
        window->Table->selectRow(w.row);
        QTest::keyClick(window->Table, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->Status->text().contains(QString::fromUtf8(w.says)); }, 10000))
            << window->Status->text().toStdString();
    }
    // What the window shows, for the eyes, when asked for (KESTROW_SCREENSHOTS=DIR).
    if (const QString shots = qEnvironmentVariable("KESTROW_SCREENSHOTS"); !shots.isEmpty()) {
        QDir().mkpath(shots);
        window->grab().save(QDir(shots).filePath("online-lying-server.png"));
    }
    EXPECT_TRUE(cachedRuns().isEmpty()) << "nothing written under the run's name";
    EXPECT_TRUE(runs().empty()) << "nothing played";
    for (const QByteArray& r : server_.requests)
        EXPECT_FALSE(r.contains("..") || r.contains("%2")) << r.data();
}

TEST_F(LyingServerTest, AnAnswerWithoutMeasureOrWithoutEndIsCutOffAndTheRunWaits) {
    const struct {
        LyingServer::Kind kind;
        const char* says;
    } cases[] = {{LyingServer::Huge, "大きすぎます (1024 KiB"},
                 {LyingServer::Endless, "2 秒たっても答えが終わりませんでした"},
                 {LyingServer::Silent, "1 秒のあいだサーバーから何も届きませんでした"}};
    Form6* window = openWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        server_.hugeSent = 0;
        server_.answer = [&](const QByteArray&, const QByteArray&, const QByteArray&) -> LyingServer::Reply {
            return {200, {}, c.kind};
        };
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(window->Table, Qt::Key_F5);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return window->Status->text().contains(QString::fromUtf8(c.says)); }, 15000))
            << window->Status->text().toStdString() << server_.requests.join(", ").toStdString();
        EXPECT_LT(clock.elapsed(), 10000);
        if (c.kind == LyingServer::Huge) {
            EXPECT_LT(server_.hugeSent, 32 * 1024 * 1024) << "aborted at the cap";
        }

        // A submission answered so waits, whole, for its next try.
        menu_->online()->outbox().remove(outbox().empty() ? QString() : outbox()[0].id);
        window->submit(QString::fromUtf8(TOLVANE_TEST_DATA "/boost.rep"));
        const auto entry = settled();
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->state, OutboxEntry::Waiting);
        EXPECT_EQ(entry->replay, golden("boost.rep"));
        EXPECT_TRUE(entry->message.contains(QString::fromUtf8(c.says))) << entry->message.toStdString();
        EXPECT_TRUE(window->Sent->item(0)->text().contains(QString::fromUtf8(c.says)));
    }
}

TEST_F(LyingServerTest, ASubmissionAnsweredWithAnotherRunStaysInTheOutbox) {
    const RunVerdict boost = verdictOf(golden("boost.rep"));
    const RunVerdict zero = verdictOf(golden("zero.rep"));
    RunFigures lied = boost.figures;
    lied.maxChain += 1;
    const struct {
        QByteArray answer;
        OutboxEntry::State state;
        const char* says;
    } cases[] = {
        {text(runJson(zero.id, player_, zero.figures)), OutboxEntry::Refused, "別の記録"},
        {text(runJson(boost.id, player_, lied)), OutboxEntry::Refused, "maxChain"},
        {text(runJson(boost.id, player_, boost.figures)), OutboxEntry::Sent, ""},
    };
    Form6* window = openWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        QByteArray posted;
        server_.answer = [&](const QByteArray& method, const QByteArray&,
                             const QByteArray& body) -> LyingServer::Reply {
            if (method == "POST") {
                posted = body;
                return {201, c.answer};
            }
            return {};
        };
        for (const auto& e : outbox()) menu_->online()->outbox().remove(e.id);
        window->submit(QString::fromUtf8(TOLVANE_TEST_DATA "/boost.rep"));
        const auto entry = settled();
        ASSERT_TRUE(entry);
        EXPECT_FALSE(posted.isEmpty());
        EXPECT_EQ(entry->state, c.state) << entry->message.toStdString();
        EXPECT_EQ(entry->replay, golden("boost.rep"));
        ASSERT_TRUE(entry->verdict);
        EXPECT_EQ(entry->verdict->id, boost.id);
        EXPECT_TRUE(entry->message.contains(QString::fromUtf8(c.says))) << entry->message.toStdString();
        if (c.state == OutboxEntry::Refused) {
            EXPECT_TRUE(window->Sent->item(0)->text().contains(QString::fromUtf8(c.says)));
            EXPECT_TRUE(entry->runId.isEmpty());
        } else {
            EXPECT_EQ(entry->runId, boost.id);
        }
    }

    // A run an older menu left waiting, without the verdict, is played before it goes.
    for (const auto& e : outbox()) menu_->online()->outbox().remove(e.id);
    OutboxEntry old;
    old.replay = golden("boost.rep");
    old.id = QString::fromLatin1(QCryptographicHash::hash(old.replay, QCryptographicHash::Sha256).toHex());
    old.source = "NewReplay.rep";
    old.queuedAt = QDateTime::currentDateTimeUtc();
    QString why;
    ASSERT_TRUE(menu_->online()->outbox().store(old, &why)) << why.toStdString();
    server_.answer = [&](const QByteArray&, const QByteArray&, const QByteArray&) -> LyingServer::Reply {
        return {201, text(runJson(zero.id, player_, zero.figures))};
    };
    menu_->online()->sendWaiting(true);
    const auto entry = settled();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, OutboxEntry::Refused);
    ASSERT_TRUE(entry->verdict);
    EXPECT_EQ(entry->verdict->id, boost.id);
}

TEST_F(LyingServerTest, AReplayTheGameRefusesIsRefusedWithoutBeingSent) {
    server_.answer = [](const QByteArray& method, const QByteArray&,
                        const QByteArray&) -> LyingServer::Reply {
        if (method == "POST") return {201, "{}"};
        return {};
    };
    Form6* window = openWindow();
    // The window's own questions answered first: what the window says next is the submission's.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Status->text().isEmpty(); }, 5000));
    QTest::qWait(100);
    QByteArray bad = golden("boost.rep");
    bad[0] = '\xff'; // a frame count past the buffer
    bad[1] = '\x7f';
    QTemporaryDir elsewhere;
    const QString file = elsewhere.filePath("bad.rep");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bad);
    f.close();
    window->submit(file);
    QTest::qWait(300);
    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_EQ(outbox()[0].state, OutboxEntry::Refused);
    EXPECT_EQ(outbox()[0].replay, bad);
    EXPECT_TRUE(outbox()[0].message.contains("ゲームが受け付けない")) << outbox()[0].message.toStdString();
    EXPECT_TRUE(window->Status->text().contains("ゲームが受け付けない"))
        << window->Status->text().toStdString();
    for (const QByteArray& r : server_.requests) EXPECT_FALSE(r.startsWith("POST")) << r.data();
}

TEST_F(LyingServerTest, APlainServerOfAnotherMachineIsNamedOnce) {
    // 0.0.0.0 is not one of this machine's own names; a port nothing listens on.
    quint16 port = 0;
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        port = closed.serverPort();
    }
    QString why;
    const QString remote = QStringLiteral("http://0.0.0.0:%1").arg(port);
    ASSERT_TRUE(menu_->online()->setServer(remote, &why)) << why.toStdString();
    Form6* window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->Notice->isHidden());
    EXPECT_TRUE(window->Notice->text().contains(remote)) << window->Notice->text().toStdString();
    window->close();
    QTest::qWait(50);
    window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Notice->isHidden()) << "said once";
}

// Enter starts a new game with the rival [rival] default names: none, the best replay
// while there is one, the run above the player's or the #1 once downloaded and found to
// be that run; without a server, with none that answers or with a replay that is not
// the run, the game starts without a rival and the menu says why.
TEST_F(LyingServerTest, ANewGameTakesTheRivalTheSettingsName) {
    ThreeRuns table;
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const QString down = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QString cache = base_.filePath("XDG_CACHE_HOME/tolvane/runs/");
    const QString best = menu_->recordPath("HiReplay.rep");
    enum Server { Answers, NotTheRun, Endless, Down, NoServer };
    const struct {
        const char* what;
        const char* choice;
        bool hasBest;
        Server server;
        QString rival; // empty: no rival
        const char* says;
    } cases[] = {
        {"none", "none", true, Answers, {}, nullptr},
        {"best", "best", true, Answers, best, nullptr},
        {"best, never played", "best", false, Answers, {}, nullptr},
        {"above", "above", true, Answers, cache + table.boost.id + ".rep", nullptr},
        {"top", "top", false, Answers, cache + table.zero.id + ".rep", nullptr},
        {"top, not the run", "top", true, NotTheRun, {}, "この記録ではありません"},
        {"above, an answer without end", "above", true, Endless, {}, "2 秒"},
        {"above, server down", "above", true, Down, {}, "ライバルなしで始めます"},
        {"top, no server", "top", true, NoServer, {}, "サーバーが設定されていません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(cache).removeRecursively();
        QFile::remove(best);
        if (c.hasBest) {
            QDir().mkpath(QFileInfo(best).absolutePath());
            QFile f(best);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(golden("wander.rep"));
        }
        const QString server = c.server == Down ? down : c.server == NoServer ? QString() : server_.url();
        std::string why;
        ASSERT_TRUE(settings::save(
            settings::settingsFile(),
            {{"online", "server", server.toStdString()}, {"rival", "default", c.choice}}, &why))
            << why;
        server_.answer = [&](const QByteArray&, const QByteArray& path, const QByteArray&) {
            if (c.server == Endless) return LyingServer::Reply{200, {}, LyingServer::Endless};
            ThreeRuns lying = table;
            if (c.server == NotTheRun) lying.replays[table.zero.id] = golden("hunter.rep");
            return lying.answer(player_, path);
        };
        const qsizetype asked = server_.requests.size();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(menu_.get(), Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return runs().size() == 1; }, 10000));
        EXPECT_LT(clock.elapsed(), 5000) << "within the time limit of 2 s, and a little";
        const QStringList expected = c.rival.isEmpty() ? QStringList{} : QStringList{"--rival", c.rival};
        EXPECT_EQ(runs(), std::vector<QStringList>{expected});
        releaseGames();
        forgetRuns();
        if (c.says) {
            EXPECT_FALSE(menu_->Said->isHidden());
            EXPECT_TRUE(menu_->Said->text().contains(QString::fromUtf8(c.says)))
                << menu_->Said->text().toStdString();
        } else {
            EXPECT_TRUE(menu_->Said->isHidden()) << menu_->Said->text().toStdString();
        }
        if (c.server == NoServer || QString(c.choice) == "none" || QString(c.choice) == "best") {
            EXPECT_EQ(server_.requests.size(), asked) << "nothing sent";
        }
        if (c.rival.startsWith(cache)) {
            EXPECT_EQ(readAll(c.rival), table.replays.at(QFileInfo(c.rival).baseName()))
                << "the run as it is";
        }
    }
    EXPECT_TRUE(QDir(cache).entryList(QDir::Files).isEmpty()) << "a replay that is not the run is not kept";
    QFile::remove(best); // the test's own, not the menu's
}

// In the online window R races the selected row, T the #1 and U the run above the
// player's; a run whose replay is not that run starts no game.
TEST_F(LyingServerTest, TheOnlineWindowRacesARunOnlyAsTheRunItIs) {
    ThreeRuns table;
    table.replays[table.boost.id] = golden("zero.rep"); // the second's replay is the first's
    server_.answer = [&](const QByteArray&, const QByteArray& path, const QByteArray&) {
        return table.answer(player_, path);
    };
    Form6* window = openWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Table->rowCount() == 1; }, 10000));
    const QString zeroFile = base_.filePath("XDG_CACHE_HOME/tolvane/runs/" + table.zero.id + ".rep");
    const struct {
        const char* what;
        Qt::Key key;
        QString rival; // empty: no game
    } cases[] = {
        {"R on the #1", Qt::Key_R, zeroFile},
        {"T", Qt::Key_T, zeroFile},
        {"U: the run above is not its replay", Qt::Key_U, {}},
    };
    size_t started = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window->Status->clear();
        window->Table->selectRow(0);
        QTest::keyClick(window->Table, c.key);
        if (c.rival.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return window->Status->text().contains("この記録ではありません"); }, 10000))
                << window->Status->text().toStdString();
            QTest::qWait(200);
            EXPECT_EQ(runs().size(), started);
            continue;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return runs().size() == started + 1; }, 10000))
            << window->Status->text().toStdString();
        ++started;
        const std::vector<QStringList> seen = runs();
        EXPECT_EQ(std::count(seen.begin(), seen.end(), (QStringList{"--rival", c.rival})),
                  qsizetype(started));
    }
    EXPECT_EQ(cachedRuns(), QStringList{table.zero.id + ".rep"});
    releaseGames();
    forgetRuns(); // the stand-in's notes are the test's own
}

} // namespace
} // namespace kestrow::test
