// The online window and what stands behind it: how an answer of the server is taken, the
// outbox's files, and the window against a real tolvane-server on 127.0.0.1.
#include "form6.h"
#include "practice.h"

#include "form1.h"
#include "launcher_fixture.h"
#include "online.h"
#include "outbox.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <functional>

namespace kestrow::test {
namespace {

qint64 goldenScore(const char* name) {
    const QByteArray json = golden((QString::fromLatin1(name) + ".verify.json").toLatin1().constData());
    return QJsonDocument::fromJson(json).object().value("score").toInteger();
}

bool eventually(const std::function<bool()>& done, int ms = 20000) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (done()) return true;
        QTest::qWait(20);
    }
    return done();
}

TEST(JudgeAnswer, EachStatusMeansWhatTheServerSays) {
    const QByteArray said = R"({"error": "the name \"x\" belongs to another player"})";
    const auto mine = playReplay(golden("boost.rep"), nullptr);
    ASSERT_TRUE(mine);
    const QString player(64, u'd');
    const auto& f = mine->figures;
    const QByteArray run = QJsonDocument(runJson(mine->id, player, f, "Kiri", 2)).toJson();
    const struct {
        int status;
        QByteArray body, retryAfter;
        int attempts;
        OutboxEntry::State state;
        int retry;
        QString message;
    } cases[] = {
        {201, run, "", 1, OutboxEntry::Sent, 0, ""},
        {200, run, "", 3, OutboxEntry::Sent, 0, ""},
        {201, "{}", "", 2, OutboxEntry::Waiting, 60,
         "サーバーの答えが記録になっていません: a run id that is not 64 lowercase hex digits"},
        {403, said, "", 1, OutboxEntry::Refused, 0, R"(the name "x" belongs to another player)"},
        {409, R"({"error": "sent by another player"})", "", 1, OutboxEntry::Refused, 0,
         "sent by another player"},
        {413, "<html>too big</html>", "", 1, OutboxEntry::Refused, 0, "HTTP 413"},
        {429, R"({"error": "slow down"})", "7", 1, OutboxEntry::Waiting, 7, "slow down"},
        {503, "", "", 2, OutboxEntry::Waiting, 30, "HTTP 503"},
        {503, "", "99999", 2, OutboxEntry::Waiting, 3600, "HTTP 503"}, // a Retry-After past reason
        {0, "", "", 1, OutboxEntry::Waiting, 30, "Connection refused"},
        {0, "", "", 3, OutboxEntry::Waiting, 120, "Connection refused"},
        {500, R"({"error": "disk full"})", "", 2, OutboxEntry::Waiting, 60, "HTTP 500: disk full"},
        {502, "", "", 40, OutboxEntry::Waiting, 3600, "HTTP 502"},
    };
    for (const auto& c : cases) {
        const SendOutcome got =
            judgeAnswer(c.status, c.body, c.retryAfter, c.attempts, "Connection refused", *mine, player);
        EXPECT_EQ(got.state, c.state) << c.status;
        EXPECT_EQ(got.retrySeconds, c.retry) << c.status << " attempts " << c.attempts;
        EXPECT_EQ(got.message, c.message) << c.status;
    }
}

class OutboxTest : public ::testing::Test {
  protected:
    QTemporaryDir dir_;
    Outbox box_{dir_.filePath("outbox")};
};

TEST_F(OutboxTest, EntriesReadBackAsWrittenAndEachReplayIsInOnce) {
    const QByteArray replay = golden("boost.rep");
    QString id, why;
    ASSERT_TRUE(box_.add(replay, "NewReplay.rep", &why, &id)) << why.toStdString();
    ASSERT_TRUE(box_.add(replay, "HiReplay.rep", &why)) << "the same replay again";
    auto entries = box_.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].id, id);
    EXPECT_EQ(entries[0].replay, replay);
    EXPECT_EQ(entries[0].source, "NewReplay.rep");
    EXPECT_EQ(entries[0].state, OutboxEntry::Waiting);
    ASSERT_TRUE(entries[0].verdict) << "played as it went in";
    EXPECT_EQ(entries[0].verdict->figures.score, goldenScore("boost"));

    // The file of an older menu, without the verdict, still loads (played before it is sent).
    QJsonObject old = QJsonDocument::fromJson(entryText(entries[0])).object();
    old.remove("verdict");
    const auto older = parseEntry(QJsonDocument(old).toJson(), &why);
    ASSERT_TRUE(older) << why.toStdString();
    EXPECT_FALSE(older->verdict);
    EXPECT_EQ(older->replay, replay);

    // Each state survives its file; a refused run sent again waits again.
    OutboxEntry e = entries[0];
    e.state = OutboxEntry::Sent;
    e.runId = QString(64, u'a');
    e.score = 51532;
    e.rank = 2;
    e.attempts = 3;
    e.queuedAt = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    e.nextTry = e.queuedAt.addSecs(60);
    e.message = "名前 \"x\"";
    EXPECT_EQ(parseEntry(entryText(e), &why), e);
    e.state = OutboxEntry::Refused;
    e.runId.clear();
    e.score = e.rank = 0;
    ASSERT_TRUE(box_.store(e, &why));
    EXPECT_EQ(box_.entries()[0], e);
    ASSERT_TRUE(box_.add(replay, "again", &why));
    EXPECT_EQ(box_.entries()[0].state, OutboxEntry::Waiting);
    EXPECT_EQ(box_.entries()[0].source, "again");

    EXPECT_TRUE(box_.remove(id));
    EXPECT_TRUE(box_.entries().empty());
}

TEST_F(OutboxTest, FilesThatAreNotEntriesAreRefusedAndLeftAlone) {
    const QByteArray replay = golden("zero.rep");
    QString id, why;
    ASSERT_TRUE(box_.add(replay, "zero.rep", &why, &id));
    const QByteArray good = readAll(QDir(box_.folder()).filePath(id));
    auto with = [&](const char* key, const QJsonValue& value) {
        QJsonObject o = QJsonDocument::fromJson(good).object();
        o.insert(QLatin1String(key), value);
        return QJsonDocument(o).toJson();
    };
    const struct {
        QByteArray text;
        const char* why;
    } cases[] = {
        {"", "not a JSON object"},
        {"[1, 2]", "not a JSON object"},
        {good.left(good.size() / 2), "not a JSON object"},
        {with("id", "abc"), "no run id of 64 hex digits"},
        {with("id", QString(64, u'0')), "the replay is not the one the id names"},
        {with("replay", "***"), "the replay is not base64"},
        {with("replay", QJsonValue()), "no replay"},
        {with("replay", QString::fromLatin1(QByteArray(70000, 'x').toBase64())), "over 64 KiB"},
        {with("state", "lost"), "no state of waiting, refused or sent"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(parseEntry(c.text, &why)) << c.why;
        EXPECT_TRUE(why.contains(QLatin1String(c.why))) << why.toStdString();
    }

    // A damaged file is named and kept; the others are still listed.
    const QString damaged = QDir(box_.folder()).filePath(QString(64, u'b'));
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{");
    f.close();
    QStringList broken;
    EXPECT_EQ(box_.entries(&broken).size(), 1u);
    ASSERT_EQ(broken.size(), 1);
    EXPECT_TRUE(broken[0].startsWith(damaged));
    EXPECT_TRUE(QFile::exists(damaged));
}

TEST(ServerAnswers, OnlyWellFormedAnswersAreTaken) {
    const QString id(64, u'c');
    const QByteArray run = QStringLiteral(R"({"id": "%1", "player": "%1", "name": "<b>x</b>", "score": 51532,
        "level": 3, "maxChain": 184, "totalContacts": 900, "frames": 7920, "endFrame": 7919, "timeBonus": 0,
        "finalBonus": 0, "timeLeft": 0, "rank": 4, "submittedAt": "2026-12-08T10:00:00.000Z"})")
                               .arg(id)
                               .toUtf8();
    QString why;
    const auto r = parseRun(run, &why);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, "<b>x</b>");
    EXPECT_EQ(r->score, 51532);
    EXPECT_EQ(r->rank, 4);

    const auto table =
        parseTable(R"({"period": "week", "total": 41, "offset": 20, "entries": [)" + run + "]}", &why);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->total, 41);
    ASSERT_EQ(table->entries.size(), 1u);
    EXPECT_FALSE(parseTable(R"({"entries": [{"id": "short"}]})", &why));
    EXPECT_FALSE(parseTable(R"({"total": 3})", &why));
    EXPECT_FALSE(parseTable("<html>", &why));

    const auto standing =
        parseStanding(R"({"player": ")" + id.toLatin1() + R"(", "name": "x", "best": {"all": )" + run +
                          R"(, "day": null}})",
                      &why);
    ASSERT_TRUE(standing);
    EXPECT_TRUE(standing->all);
    EXPECT_FALSE(standing->day);
    EXPECT_FALSE(standing->month);
    EXPECT_FALSE(parseStanding(R"({"best": {"week": {"score": 1}}})", &why));
}

// The name is kept in the form the table stores it in; a name the table's rule refuses is
// not written, and the refusal gives the rule's reason after the menu's own sentence.
TEST_F(LauncherTest, OnlineNameIsKeptInItsNormalFormOrRefusedWithTheRulesReason) {
    const std::string file = base_.filePath("name.ini").toStdString();
    Online online(file, base_.filePath("name.key").toStdString(), base_.filePath("name-outbox"));
    QString why;
    ASSERT_TRUE(online.setName(QString::fromUtf8("\uFF2C\uFF45\uFF41\uFF44\uFF45\uFF52"), &why))
        << why.toStdString();
    EXPECT_EQ(online.name(), "Leader");
    EXPECT_EQ(settings::load(file, nullptr).name, "Leader");
    for (const auto& [name, reason] :
         {std::pair{"Leader\u200D", "the name contains an invisible formatting character (U+200D)"},
          {"a\u3000#b", "the name holds a ';' or '#' after a blank, which the settings file would read as a "
                        "comment"}}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(online.setName(QString::fromUtf8(name), &why));
        EXPECT_TRUE(why.endsWith(QStringLiteral(": ") + reason)) << why.toStdString();
        EXPECT_EQ(settings::load(file, nullptr).name, "Leader");
    }
}

#ifdef TOLVANE_SERVER_PROGRAM
// A tolvane-server of the test's own, on a free port of 127.0.0.1, with a fresh database.
class Server {
  public:
    explicit Server(const QString& dir) {
        QDir().mkpath(dir);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(
            QStringLiteral(TOLVANE_SERVER_PROGRAM),
            {"--listen", "127.0.0.1:0", "--db", QDir(dir).filePath("runs.sqlite"), "--workers", "1"});
        static const QRegularExpression listening(R"(listening on 127\.0\.0\.1:(\d+))");
        QByteArray said;
        eventually([&] {
            said += process_.readAllStandardError();
            const auto m = listening.match(QString::fromUtf8(said));
            if (m.hasMatch()) url_ = QStringLiteral("http://127.0.0.1:") + m.captured(1);
            return !url_.isEmpty() || process_.state() == QProcess::NotRunning;
        });
    }
    ~Server() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    const QString& url() const { return url_; }

  private:
    QProcess process_;
    QString url_;
};

// The menu of the test's application folder, with its own settings, key, outbox and cache.
class OnlineWindowTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            saved_.push_back({var, qgetenv(var)});
            qputenv(var, base_.filePath(QString::fromLatin1(var)).toUtf8());
        }
        server_ = std::make_unique<Server>(base_.path());
        ASSERT_FALSE(server_->url().isEmpty()) << "the server did not start";
    }
    void TearDown() override {
        menu_.reset();
        server_.reset();
        for (const auto& [var, value] : saved_) qputenv(var, value);
        LauncherTest::TearDown();
    }

  public:
    void writeSettings(const QString& server, const QString& name, bool autoSubmit = false) {
        const QString dir = base_.filePath("XDG_CONFIG_HOME/tolvane");
        QDir().mkpath(dir);
        QFile f(dir + "/settings.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("[online]\nserver = %1\nname = %2\nauto_submit = %3\n")
                    .arg(server, name, autoSubmit ? "true" : "false")
                    .toUtf8());
    }
    void writeRecord(const char* name, const QByteArray& bytes) {
        const QString folder = QString::fromStdString(menu_->records().folder.string());
        QDir().mkpath(folder);
        QFile f(QDir(folder).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Form6* openWindow() {
        QTest::keyClick(menu_.get(), Qt::Key_W);
        return menu_->form6();
    }
    // The only entry of the outbox, once it is no longer on its way.
    std::optional<OutboxEntry> settled() {
        std::optional<OutboxEntry> out;
        eventually([&] {
            const auto entries = menu_->online()->outbox().entries();
            if (entries.size() != 1 || menu_->online()->sending(entries[0].id)) return false;
            if (entries[0].state == OutboxEntry::Waiting && entries[0].attempts == 0) return false;
            out = entries[0];
            return true;
        });
        return out;
    }

    std::vector<std::pair<const char*, QByteArray>> saved_;
    std::unique_ptr<Server> server_;
    std::unique_ptr<Form1> menu_;
};

TEST_F(OnlineWindowTest, RunSentFromTheWindowIsOnTheTableAndCanBeWatched) {
    writeSettings(server_->url(), "Kiri <b>");
    menu_ = std::make_unique<Form1>(appDir_.toStdString());
    writeRecord("NewReplay.rep", golden("boost.rep"));
    Form6* window = openWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "オンライン");
    EXPECT_TRUE(window->Server->text().contains(server_->url()));

    QTest::keyClick(window->Table, Qt::Key_N);
    const auto entry = settled();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, OutboxEntry::Sent) << entry->message.toStdString();
    EXPECT_EQ(entry->score, goldenScore("boost"));
    EXPECT_EQ(entry->rank, 1);
    EXPECT_EQ(window->Sent->item(0)->text().section("  ", 2), "送信済み: 1位 51532点");

    // The table and the player's own line come with the next look.
    QTest::keyClick(window->Table, Qt::Key_F5);
    ASSERT_TRUE(eventually([&] { return window->Table->rowCount() == 1; }));
    EXPECT_EQ(window->Table->item(0, 1)->text(), "Kiri <b>");
    EXPECT_TRUE(window->Server->text().contains("Kiri <b>"));
    EXPECT_EQ(window->Server->textFormat(), Qt::PlainText) << "a name is no markup";
    EXPECT_EQ(window->Table->item(0, 2)->text(), "51532");
    ASSERT_TRUE(eventually([&] { return window->Mine->text().contains("1位"); }))
        << window->Mine->text().toStdString();
    QTest::keyClick(window->Table, Qt::Key_Right); // this month: the same run
    EXPECT_EQ(window->period(), 1);
    ASSERT_TRUE(eventually([&] { return window->Table->rowCount() == 1; }));

    // Watching fetches the replay into the cache and plays it in the game.
    window->Table->selectRow(0);
    QTest::keyClick(window->Table, Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(1));
    const QString cached = base_.filePath("XDG_CACHE_HOME/tolvane/runs/" + entry->runId + ".rep");
    EXPECT_EQ(runs()[0].value(0), cached);
    EXPECT_EQ(readAll(cached), golden("boost.rep"));

    // P: the practice window on that run, once fetched and checked again.
    QTest::keyClick(window->Table, Qt::Key_P);
    ASSERT_TRUE(eventually([&] { return menu_->practice() && menu_->practice()->ready(); }));
    EXPECT_EQ(menu_->practice()->replay(), cached);
    EXPECT_EQ(menu_->practice()->run().id, entry->runId);
    EXPECT_TRUE(menu_->practice()->Run->text().startsWith("1位 Kiri <b>"))
        << menu_->practice()->Run->text().toStdString();
}

TEST_F(OnlineWindowTest, ARefusalShowsTheServersReason) {
    // Another player's key takes the name first.
    {
        writeSettings(server_->url(), "Kiri");
        Online other(base_.filePath("other.ini").toStdString(), base_.filePath("other.key").toStdString(),
                     base_.filePath("other-outbox"));
        QString why;
        ASSERT_TRUE(other.setServer(server_->url(), &why)) << why.toStdString();
        ASSERT_TRUE(other.setName("kiri", &why)) << why.toStdString();
        ASSERT_TRUE(other.submitBytes(golden("zero.rep"), "zero.rep", &why));
        ASSERT_TRUE(eventually([&] { return other.outbox().entries()[0].state == OutboxEntry::Sent; }));
    }
    menu_ = std::make_unique<Form1>(appDir_.toStdString());
    writeRecord("HiReplay.rep", golden("boost.rep"));
    Form6* window = openWindow();
    QTest::keyClick(window->Table, Qt::Key_H);
    const auto entry = settled();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, OutboxEntry::Refused);
    EXPECT_EQ(entry->message,
              R"(the name "Kiri" belongs to another player: it reads the same as their name "kiri")");
    EXPECT_TRUE(window->Sent->item(0)->text().endsWith(entry->message));
}

TEST_F(OnlineWindowTest, ARunWaitsOnDiskWhileTheServerCannotBeReachedAndIsSentLater) {
    // A port nothing listens on: the server of a moment ago, stopped.
    QString gone;
    {
        Server stopped(base_.filePath("stopped"));
        gone = stopped.url();
    }
    writeSettings(gone, "Kiri");
    menu_ = std::make_unique<Form1>(appDir_.toStdString());
    Form6* window = openWindow();
    window->submit(QString::fromUtf8(TOLVANE_TEST_DATA "/boost.rep"));
    auto entry = settled();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, OutboxEntry::Waiting);
    EXPECT_EQ(entry->attempts, 1);
    EXPECT_GT(entry->nextTry, QDateTime::currentDateTimeUtc().addSecs(20));
    EXPECT_TRUE(window->Sent->item(0)->text().contains("送信待ち"))
        << window->Sent->item(0)->text().toStdString();

    // A new menu finds it waiting; pointed at a server that answers, it is sent at once.
    window->close();
    menu_ = std::make_unique<Form1>(appDir_.toStdString());
    ASSERT_EQ(menu_->online()->outbox().entries().size(), 1u);
    QString why;
    ASSERT_TRUE(menu_->online()->setServer(server_->url(), &why)) << why.toStdString();
    ASSERT_TRUE(
        eventually([&] { return menu_->online()->outbox().entries()[0].state == OutboxEntry::Sent; }));
}

TEST_F(OnlineWindowTest, WithAutoSubmitEachNewGameIsSentAndWithoutAServerNothingIs) {
    writeSettings("", "Kiri", true);
    menu_ = std::make_unique<Form1>(appDir_.toStdString());
    writeRecord("NewReplay.rep", golden("zero.rep"));
    QTest::qWait(1500);
    EXPECT_TRUE(menu_->online()->outbox().entries().empty()) << "online is off";
    EXPECT_FALSE(QFile::exists(base_.filePath("XDG_DATA_HOME/tolvane/player.key"))) << "no key made";

    writeSettings(server_->url(), "Kiri", true);
    writeRecord("NewReplay.rep", golden("boost.rep"));
    const auto entry = settled();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, OutboxEntry::Sent);
    EXPECT_EQ(entry->replay, golden("boost.rep"));
}
#endif

} // namespace
} // namespace kestrow::test
