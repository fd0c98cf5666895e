// The replay list: its columns filled by the real tolvane-replay, sorting, the cache and
// when it is used, unusable files, following the folder, and playing the right file.
#include "form1.h"
#include "form3.h"
#include "form4.h"
#include "launcher_fixture.h"
#include "outbox.h"
#include "practice.h"
#include "replaylist.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace kestrow::test {
namespace {

const QString kData = QStringLiteral(TOLVANE_TEST_DATA);
const QString kRealTool = QStringLiteral(TOLVANE_REPLAY_TOOL);

class ListTest : public LauncherTest {
  protected:
    void SetUp() override {
        LauncherTest::SetUp();
        oldCache_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", base_.filePath(QStringLiteral("cache")).toUtf8());
        useTool(QStringLiteral("exec '%1' \"$@\"").arg(kRealTool));
        menu_ = std::make_unique<Form1>(appDir_.toStdString());
        menu_->show();
    }
    void TearDown() override {
        menu_.reset();
        qputenv("XDG_CACHE_HOME", oldCache_);
        LauncherTest::TearDown();
    }

  public:
    // The tool beside the menu: a script that notes the files it was asked about, then
    // runs `body` (by default the real tolvane-replay).
    void useTool(const QString& body) const {
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '%1/verify.log'\n")
                .arg(runsDir_) +
            body + u'\n';
        writeFile(kVerifyProgram, script.toUtf8());
        QFile::setPermissions(appFile(kVerifyProgram),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The files the tool has been asked about so far.
    QStringList asked() const {
        QFile log(QDir(runsDir_).filePath(QStringLiteral("verify.log")));
        if (!log.open(QIODevice::ReadOnly)) return {};
        QStringList files = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
        files.removeAll(QStringLiteral("verify"));
        return files;
    }
    void copyGolden(const QString& golden, const QString& name) const {
        QFile::remove(appFile(name));
        ASSERT_TRUE(QFile::copy(kData + u'/' + golden + QStringLiteral(".rep"), appFile(name)));
        QFile::setPermissions(appFile(name), QFile::ReadOwner | QFile::WriteOwner);
    }
    void setTime(const QString& name, const QDateTime& when) const {
        QFile file(appFile(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
    }

    Form4* open() {
        QTest::keyClick(menu_.get(), Qt::Key_L);
        return menu_->form4();
    }
    void close(Form4* list) {
        QTest::keyClick(list->Table, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu_->form4() == nullptr; }, 2000));
    }
    static bool allSettled(const Form4* list) { return list->list()->settled() == list->list()->rowCount(); }
    static bool waitSettled(const Form4* list) {
        return QTest::qWaitFor([&] { return allSettled(list); }, 60000);
    }
    // What the table shows, row by row in its current order, for the given columns.
    static std::vector<QStringList> shown(const Form4* list, std::initializer_list<int> columns) {
        std::vector<QStringList> rows;
        const QAbstractItemModel* m = list->sorted();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c : columns) row << m->index(r, c).data().toString();
            rows.push_back(row);
        }
        return rows;
    }
    static QStringList names(const Form4* list) {
        QStringList out;
        for (const QStringList& row : shown(list, {ReplayList::Name})) out << row[0];
        return out;
    }
    static int rowNamed(const Form4* list, const QString& name) { return names(list).indexOf(name); }

    std::unique_ptr<Form1> menu_;
    QByteArray oldCache_;
};

const QDateTime kMay(QDate(2024, 5, 6), QTime(7, 8));

// The five golden games as the list must show them (their results are the golden
// verify lines; the length is frames / 60 as minutes and seconds).
struct Golden {
    const char* name;
    const char* length;
    const char* score;
    const char* level;
    const char* chain;
};
const Golden kGoldens[] = {
    {"autoplay", "06:46", "407192028", "262", "43148"},
    {"zero", "02:15", "120690", "21", "304"},
    {"boost", "02:12", "51532", "3", "184"},
    {"wander", "02:06", "11008", "2", "28"},
    {"hunter", "02:21", "4830", "2", "18"},
};

TEST_F(ListTest, ColumnsShowWhatTheGameComputes) {
    for (const Golden& g : kGoldens)
        copyGolden(QString::fromUtf8(g.name), QString::fromUtf8(g.name) + ".rep");
    writeFile(QStringLiteral("short.rep"), QByteArray("\x01\0\0", 3));
    setTime(QStringLiteral("zero.rep"), kMay);

    Form4* list = open();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), QStringLiteral("記録の一覧"));
    EXPECT_NE(list->minimumSize(), list->maximumSize()) << "resizable";
    QStringList headers;
    for (int c = 0; c < ReplayList::ColumnCount; ++c)
        headers << list->sorted()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"ファイル", "日付", "長さ", "スコア", "レベル", "最大チェイン", "状態"}));

    // At once: every file listed, nothing known yet, the progress bar showing.
    EXPECT_EQ(list->sorted()->rowCount(), 6);
    EXPECT_EQ(list->list()->settled(), 0);
    EXPECT_FALSE(list->Progress->isHidden());
    EXPECT_EQ(list->Progress->maximum(), 6);
    EXPECT_EQ(shown(list, {ReplayList::Status})[0], QStringList{"…"});

    ASSERT_TRUE(waitSettled(list));
    EXPECT_TRUE(list->Progress->isHidden());
    const int cols[] = {ReplayList::Length, ReplayList::Score, ReplayList::Level, ReplayList::MaxChain,
                        ReplayList::Status};
    for (const Golden& g : kGoldens) {
        SCOPED_TRACE(g.name);
        const int row = rowNamed(list, QString::fromUtf8(g.name) + ".rep");
        ASSERT_GE(row, 0);
        QStringList got;
        for (int c : cols) got << list->sorted()->index(row, c).data().toString();
        EXPECT_EQ(got, (QStringList{g.length, g.score, g.level, g.chain, "ok"}));
    }
    const int zero = rowNamed(list, QStringLiteral("zero.rep"));
    EXPECT_EQ(list->sorted()->index(zero, ReplayList::Date).data().toString(),
              QStringLiteral("2024-05-06 07:08"));
    const int bad = rowNamed(list, QStringLiteral("short.rep"));
    QStringList got;
    for (int c : cols) got << list->sorted()->index(bad, c).data().toString();
    EXPECT_EQ(got, (QStringList{"", "", "", "", "the file is too short to be a replay (3 bytes)"}));
}

// A take-over's record is named by the run it came from and the frame, with the listed
// replay of that run; a file whose name is not exactly a take-over's is an ordinary one.
TEST_F(ListTest, TakeOversShowTheirOriginAndPOpensThePracticeWindow) {
    const auto idOf = [](const char* name) {
        QString why;
        const auto v = playReplay(golden(name), &why);
        return v ? v->id.left(12) : QString();
    };
    const QString zero = idOf("zero.rep"), wander = idOf("wander.rep");
    ASSERT_EQ(zero.size(), 12);
    ASSERT_EQ(wander.size(), 12);
    copyGolden(QStringLiteral("zero"), QStringLiteral("HiReplay.rep"));
    copyGolden(QStringLiteral("zero"), QStringLiteral("a copy.rep")); // HiReplay is named first
    copyGolden(QStringLiteral("wander"), QStringLiteral("wander.rep"));
    const QString date = QStringLiteral("-20261209-082535.rep");
    const struct {
        QString name;
        const char* content; // boost: 7920 frames
        QString shown;       // in the Name column; empty: the file's name (an ordinary replay)
    } cases[] = {
        {"takeover-" + zero + "-f1234" + date, "boost",
         "乗っ取り: 元 " + zero + "（HiReplay）のフレーム 1234 から"},
        {"takeover-" + wander + "-f0" + date, "boost",
         "乗っ取り: 元 " + wander + "（wander.rep）のフレーム 0 から"},
        {"takeover-000000000000-f7919" + date, "boost", "乗っ取り: 元 000000000000 のフレーム 7919 から"},
        {"takeover-" + zero + "-f7920" + date, "boost", {}}, // past the record's own end
        {"takeover-" + zero.toUpper() + "-f5" + date, "hunter", {}},
        {"takeover-" + zero + "-f05" + date, "hunter", {}},
        {"takeover-" + zero + "-f5-20261209-0825.rep", "hunter", {}},
        {QStringLiteral("HiReplay.rep"), nullptr, {}},
        {QStringLiteral("wander.rep"), nullptr, {}},
    };
    for (const auto& c : cases)
        if (c.content) copyGolden(QString::fromUtf8(c.content), c.name);
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));
    // The row of a file, whatever it is shown as.
    const auto rowOf = [&](const QString& name) {
        for (int r = 0; r < list->sorted()->rowCount(); ++r)
            if (list->pathAt(r) == appFile(name)) return r;
        return -1;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const int row = rowOf(c.name);
        ASSERT_GE(row, 0);
        const QModelIndex name = list->sorted()->index(row, ReplayList::Name);
        EXPECT_EQ(name.data().toString(), c.shown.isEmpty() ? c.name : c.shown);
        EXPECT_EQ(name.data(Qt::ToolTipRole).toString(), appFile(c.name));
        EXPECT_EQ(list->sorted()->index(row, ReplayList::Status).data().toString(), QStringLiteral("ok"));
    }
    // The origin's name comes once the original is known: a new copy of the best is named
    // by HiReplay still, and the origin follows the original when it goes.
    QFile::remove(appFile(QStringLiteral("HiReplay.rep")));
    list->list()->rescan();
    const int first = rowOf(cases[0].name);
    EXPECT_EQ(list->sorted()->index(first, ReplayList::Name).data().toString(),
              "乗っ取り: 元 " + zero + "（a copy.rep）のフレーム 1234 から");

    // P: the practice window on the selected record; Esc in it leaves the list open.
    list->Table->selectRow(first);
    QTest::keyClick(list->Table, Qt::Key_P);
    Practice* practice = menu_->practice();
    ASSERT_NE(practice, nullptr);
    EXPECT_EQ(practice->replay(), appFile(cases[0].name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return practice->ready(); }, 30000));
    EXPECT_EQ(practice->run().endFrame, 7919);
    QTest::keyClick(practice->Table, Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(1));
    EXPECT_EQ(runs().front(), (QStringList{appFile(cases[0].name), "--take-over", "0"}));
    EXPECT_TRUE(list->isVisible());
}

TEST_F(ListTest, SortsByAnyColumnNewestFirst) {
    // Dates in another order than the scores.
    const char* byDate[] = {"wander", "autoplay", "hunter", "zero", "boost"}; // newest first
    for (int i = 0; i < 5; ++i) {
        const QString name = QString::fromUtf8(byDate[i]) + ".rep";
        copyGolden(QString::fromUtf8(byDate[i]), name);
        setTime(name, kMay.addDays(-i));
    }
    writeFile(QStringLiteral("bad.rep"), QByteArray("\xFF\xFF\xFF\xFF", 4));
    setTime(QStringLiteral("bad.rep"), kMay.addDays(-9));
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));
    EXPECT_EQ(names(list),
              (QStringList{"wander.rep", "autoplay.rep", "hunter.rep", "zero.rep", "boost.rep", "bad.rep"}));
    EXPECT_EQ(list->Table->currentIndex().row(), 0) << "the newest is selected";

    const QStringList byScoreUp{"bad.rep",   "hunter.rep", "wander.rep",
                                "boost.rep", "zero.rep",   "autoplay.rep"};
    const struct {
        int column;
        Qt::SortOrder order;
        QStringList expected;
    } cases[] = {
        // As numbers, not text ("4830" < "11008"); a file without a score comes first up, last down.
        {ReplayList::Score, Qt::AscendingOrder, byScoreUp},
        {ReplayList::Score, Qt::DescendingOrder, {byScoreUp.rbegin(), byScoreUp.rend()}},
        // Ties (hunter and wander are both level 2) stay in name order either way.
        {ReplayList::Level,
         Qt::DescendingOrder,
         {"autoplay.rep", "zero.rep", "boost.rep", "hunter.rep", "wander.rep", "bad.rep"}},
        {ReplayList::Level,
         Qt::AscendingOrder,
         {"bad.rep", "hunter.rep", "wander.rep", "boost.rep", "zero.rep", "autoplay.rep"}},
        {ReplayList::Length,
         Qt::AscendingOrder,
         {"bad.rep", "wander.rep", "boost.rep", "zero.rep", "hunter.rep", "autoplay.rep"}},
        {ReplayList::MaxChain,
         Qt::DescendingOrder,
         {"autoplay.rep", "zero.rep", "boost.rep", "wander.rep", "hunter.rep", "bad.rep"}},
        {ReplayList::Name,
         Qt::AscendingOrder,
         {"autoplay.rep", "bad.rep", "boost.rep", "hunter.rep", "wander.rep", "zero.rep"}},
        {ReplayList::Status,
         Qt::AscendingOrder,
         {"autoplay.rep", "boost.rep", "hunter.rep", "wander.rep", "zero.rep", "bad.rep"}},
        {ReplayList::Date,
         Qt::AscendingOrder,
         {"bad.rep", "boost.rep", "zero.rep", "hunter.rep", "autoplay.rep", "wander.rep"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column * 10 + c.order);
        list->Table->sortByColumn(c.column, c.order);
        EXPECT_EQ(names(list), c.expected);
    }

    // A click on a column's title sorts by it, as in any table.
    QHeaderView* header = list->Table->horizontalHeader();
    list->Table->sortByColumn(ReplayList::Date, Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(ReplayList::Score) + 5, header->height() / 2));
    EXPECT_EQ(header->sortIndicatorSection(), int(ReplayList::Score));
    const QStringList first = names(list);
    EXPECT_TRUE(first == byScoreUp || first == QStringList(byScoreUp.rbegin(), byScoreUp.rend()));
}

// Enter and a double-click play the file of the row that is selected, whatever the order.
TEST_F(ListTest, EnterAndDoubleClickPlayTheSelectedReplay) {
    const QString odd = QStringLiteral("a b; $(id) \"q\".rep");
    copyGolden(QStringLiteral("zero"), QStringLiteral("zero.rep"));
    copyGolden(QStringLiteral("hunter"), odd);
    copyGolden(QStringLiteral("wander"), QStringLiteral("wander.rep"));
    writeFile(QStringLiteral("short.rep"), QByteArray(2, '\0'));
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));
    list->Table->sortByColumn(ReplayList::Score, Qt::DescendingOrder); // zero, wander, odd, short

    enum How { Enter, DoubleClick, Rival };
    const struct {
        const char* what;
        int row;
        How how;
        QString plays; // empty: nothing may start
    } cases[] = {
        {"best score, Enter", 0, Enter, QStringLiteral("zero.rep")},
        {"third, Enter", 2, Enter, odd},
        {"second, double-click", 1, DoubleClick, QStringLiteral("wander.rep")},
        {"second, R: a new game against it", 1, Rival, QStringLiteral("wander.rep")},
        {"unusable, Enter", 3, Enter, {}},
        {"unusable, double-click", 3, DoubleClick, {}},
        {"unusable, R", 3, Rival, {}},
    };
    size_t started = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        list->Table->selectRow(c.row);
        if (c.how == DoubleClick) {
            const QRect cell = list->Table->visualRect(list->sorted()->index(c.row, ReplayList::Score));
            // A view takes a double-click on the item that the press before it went to.
            QTest::mouseClick(list->Table->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(list->Table->viewport(), Qt::LeftButton, {}, cell.center());
        } else {
            QTest::keyClick(list->Table, c.how == Rival ? Qt::Key_R : Qt::Key_Return);
        }
        if (c.plays.isEmpty()) {
            QTest::qWait(200);
            EXPECT_EQ(runs().size(), started);
            continue;
        }
        ASSERT_TRUE(waitForRuns(++started));
        const std::vector<QStringList> seen = runs();
        const QStringList expected =
            c.how == Rival ? QStringList{"--rival", appFile(c.plays)} : QStringList{appFile(c.plays)};
        EXPECT_EQ(std::count(seen.begin(), seen.end(), expected), 1);
    }
    EXPECT_EQ(runs().size(), 4u);
    EXPECT_TRUE(list->isVisible()); // stays open for the next one
}

// A file seen before is not checked again while it keeps its size, time and content;
// a changed one is, and so is every file once the tool is another build.
TEST_F(ListTest, CacheAnswersForUnchangedFilesOnly) {
    copyGolden(QStringLiteral("zero"), QStringLiteral("zero.rep"));
    copyGolden(QStringLiteral("hunter"), QStringLiteral("hunter.rep"));
    copyGolden(QStringLiteral("boost"), QStringLiteral("boost.rep"));
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));
    const auto first = shown(list, {0, 2, 3, 4, 5, 6});
    close(list);
    EXPECT_TRUE(QFile::exists(base_.filePath(QStringLiteral("cache/tolvane/replays.json"))));
    ASSERT_EQ(asked().size(), 3);

    // Nothing changed: everything is known the moment the window opens.
    list = open();
    EXPECT_TRUE(allSettled(list));
    EXPECT_TRUE(list->Progress->isHidden());
    EXPECT_EQ(shown(list, {0, 2, 3, 4, 5, 6}), first);
    QTest::qWait(300);
    EXPECT_EQ(list->list()->toolRuns(), 0);
    close(list);

    // zero.rep rewritten with one more input byte (same size, a later time); a copy of
    // hunter.rep under a new name is known by its content.
    QFile zero(appFile(QStringLiteral("zero.rep")));
    ASSERT_TRUE(zero.open(QIODevice::ReadWrite));
    QByteArray bytes = zero.readAll();
    bytes[4 + 2000] = 8; // right held for one frame
    zero.seek(0);
    zero.write(bytes);
    zero.close();
    setTime(QStringLiteral("zero.rep"), QDateTime::currentDateTime().addSecs(5));
    copyGolden(QStringLiteral("hunter"), QStringLiteral("copy of hunter.rep"));
    list = open();
    EXPECT_EQ(list->list()->settled(), 2) << "boost.rep and hunter.rep";
    ASSERT_TRUE(waitSettled(list));
    EXPECT_EQ(list->list()->toolRuns(), 1);
    EXPECT_EQ(asked().mid(3), QStringList{appFile(QStringLiteral("zero.rep"))});
    const int copy = rowNamed(list, QStringLiteral("copy of hunter.rep"));
    const int hunter = rowNamed(list, QStringLiteral("hunter.rep"));
    EXPECT_EQ(list->sorted()->index(copy, ReplayList::Score).data(),
              list->sorted()->index(hunter, ReplayList::Score).data());
    // The changed game's new result is the tool's own.
    QProcess tool;
    tool.start(kRealTool, {QStringLiteral("verify"), appFile(QStringLiteral("zero.rep"))});
    ASSERT_TRUE(tool.waitForFinished(30000));
    const QJsonObject expected = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    const int z = rowNamed(list, QStringLiteral("zero.rep"));
    EXPECT_EQ(list->sorted()->index(z, ReplayList::Score).data().toString(),
              QString::number(expected.value(QStringLiteral("score")).toInteger()));
    close(list);

    // Another build of the tool: nothing of the old answers is used.
    QFile toolFile(appFile(kVerifyProgram));
    ASSERT_TRUE(toolFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        toolFile.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    toolFile.close();
    list = open();
    EXPECT_EQ(list->list()->settled(), 0);
    ASSERT_TRUE(waitSettled(list));
    EXPECT_EQ(asked().size(), 4 + 4);
}

TEST_F(ListTest, FollowsTheFolderWhileOpen) {
    copyGolden(QStringLiteral("hunter"), QStringLiteral("hunter.rep"));
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));

    copyGolden(QStringLiteral("wander"), QStringLiteral("wander.rep"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->sorted()->rowCount() == 2 && allSettled(list); }, 30000));
    EXPECT_EQ(list->sorted()
                  ->index(rowNamed(list, QStringLiteral("wander.rep")), ReplayList::Score)
                  .data()
                  .toString(),
              QStringLiteral("11008"));

    // Replaced by another game under the same name: checked again.
    copyGolden(QStringLiteral("boost"), QStringLiteral("hunter.rep"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const int r = rowNamed(list, QStringLiteral("hunter.rep"));
            return r >= 0 && list->sorted()->index(r, ReplayList::Score).data().toString() == "51532";
        },
        30000));

    // One new file alone is one call of the tool with one file, answered the old way.
    writeFile(QStringLiteral("broken.rep"), QByteArray("\x05\0\0\0\0", 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->sorted()->rowCount() == 3 && allSettled(list); }, 30000));
    EXPECT_EQ(list->sorted()->index(rowNamed(list, QStringLiteral("broken.rep")), ReplayList::Status).data(),
              QStringLiteral("the file ends before its 6 input bytes (1 found)"));

    QFile::remove(appFile(QStringLiteral("wander.rep")));
    QFile::remove(appFile(QStringLiteral("broken.rep")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->sorted()->rowCount() == 1; }, 3000));
    EXPECT_EQ(names(list), QStringList{"hunter.rep"});
}

// When the check itself goes wrong the row says so, nothing hangs, nothing wrong is kept.
TEST_F(ListTest, ToolTroubleIsShownAndNotKept) {
    const struct {
        const char* what;
        QString body; // empty: no tool at all
        QString status;
    } cases[] = {
        {"no tool", {}, QStringLiteral("tolvane-replay is not beside kestrow")},
        {"silent tool", QStringLiteral("exec sleep 30"),
         QStringLiteral("the check gave no answer within 0.3 s")},
        {"tool that crashes", QStringLiteral("kill -SEGV $$"),
         QStringLiteral("tolvane-replay stopped during the check")},
        {"tool that says nothing", QStringLiteral("exit 0"),
         QStringLiteral("tolvane-replay ended without an answer (status 0)")},
        {"tool that talks nonsense", QStringLiteral("echo '{\"file\": 1'; echo nonsense"),
         QStringLiteral("tolvane-replay gave an answer that cannot be read")},
    };
    copyGolden(QStringLiteral("zero"), QStringLiteral("zero.rep"));
    copyGolden(QStringLiteral("wander"), QStringLiteral("wander.rep"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.body.isEmpty()) {
            QFile::remove(appFile(kVerifyProgram));
        } else {
            useTool(c.body);
        }
        Form4* list = open();
        list->list()->setAnswerTimeout(300);
        ASSERT_TRUE(QTest::qWaitFor([&] { return allSettled(list); }, 10000));
        for (const QStringList& row : shown(list, {ReplayList::Status, ReplayList::Score}))
            EXPECT_EQ(row, (QStringList{c.status, ""}));
        close(list);
    }
    // Back to the real tool: both files are checked, nothing of the above was kept.
    useTool(QStringLiteral("exec '%1' \"$@\"").arg(kRealTool));
    Form4* list = open();
    EXPECT_EQ(list->list()->settled(), 0);
    ASSERT_TRUE(waitSettled(list));
    EXPECT_EQ(shown(list, {ReplayList::Status}), (std::vector<QStringList>{{"ok"}, {"ok"}}));
}

// Records kept away from the programs: the list shows that folder, as the picker does,
// and still finds the tool beside the menu program.
TEST_F(ListTest, ShowsTheRecordsFolder) {
    const QString records = base_.filePath(QStringLiteral("records"));
    ASSERT_TRUE(QDir().mkpath(records));
    ASSERT_TRUE(QFile::copy(kData + QStringLiteral("/wander.rep"), records + QStringLiteral("/kept.rep")));
    copyGolden(QStringLiteral("zero"), QStringLiteral("beside the programs.rep"));
    menu_ = std::make_unique<Form1>(appDir_.toStdString(),
                                    common::RecordsPlace{records.toStdString(), appDir_.toStdString(), {}});
    menu_->show();
    Form4* list = open();
    ASSERT_TRUE(waitSettled(list));
    EXPECT_EQ(shown(list, {ReplayList::Name, ReplayList::Score}),
              (std::vector<QStringList>{{"kept.rep", "11008"}}));
    QTest::keyClick(menu_.get(), Qt::Key_R);
    EXPECT_EQ(menu_->form3()->File1->count(), 1);
    QTest::keyClick(list->Table, Qt::Key_Return);
    ASSERT_TRUE(waitForRuns(1));
    EXPECT_EQ(runs().front(), QStringList{records + QStringLiteral("/kept.rep")});
}

// L in the menu and Tab in the picker open one list; the picker tells of Tab; Esc closes.
TEST_F(ListTest, LAndTabOpenItAndEscClosesIt) {
    Form4* list = open();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(open(), list) << "already open: the same window";
    close(list);

    QTest::keyClick(menu_.get(), Qt::Key_R);
    Form3* picker = menu_->form3();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->File1->toolTip().contains(QStringLiteral("Tab")));
    EXPECT_TRUE(picker->File1->toolTip().contains(QStringLiteral("記録の一覧")));
    QTest::keyClick(picker->File1, Qt::Key_Tab);
    ASSERT_NE(menu_->form4(), nullptr);
    EXPECT_TRUE(menu_->form4()->isVisible());
    EXPECT_TRUE(picker->isVisible()) << "the picker stays";
    EXPECT_TRUE(menu_->isVisible());
    EXPECT_EQ(menu_->size(), QSize(270, 446));
}

} // namespace
} // namespace kestrow::test
