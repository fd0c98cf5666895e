#include "launcher_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>

namespace kestrow::test {

BoxSeen catchMessageBox(const std::function<void()>& action) {
    BoxSeen seen;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || seen.shown) return;
        seen = {true, box->windowTitle(), box->text(), box->icon()};
        box->accept();
    });
    timer.start();
    action();
    timer.stop();
    return seen;
}

void expectCaption(const QLabel* label, int top, const char* text) {
    SCOPED_TRACE(text);
    EXPECT_EQ(label->text(), QString::fromUtf8(text));
    EXPECT_EQ(label->pos(), QPoint(8, top));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(192, 192, 255));
    EXPECT_FALSE(label->autoFillBackground()); // transparent
    EXPECT_EQ(QFontInfo(label->font()).family(), QStringLiteral("IPAMincho"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 11.25);
    const QFontMetrics metrics(label->font());
    for (char32_t c : label->text().toUcs4()) {
        EXPECT_TRUE(metrics.inFontUcs4(c)) << "no glyph for U+" << std::hex << uint32_t(c);
    }
}

void expectBox(const QWidget* box, const QRect& geometry) {
    EXPECT_EQ(box->geometry(), geometry);
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(192, 192, 255));
    EXPECT_EQ(QFontInfo(box->font()).family(), QStringLiteral("IPAGothic"));
    EXPECT_TRUE(box->font().bold());
    EXPECT_DOUBLE_EQ(box->font().pointSizeF(), 12.0);
    EXPECT_TRUE(QFontMetrics(box->font()).inFontUcs4(U'位'));
}

void LauncherTest::SetUp() {
    ASSERT_TRUE(base_.isValid());
    appDir_ = base_.filePath(QStringLiteral("app dir"));
    runsDir_ = base_.filePath(QStringLiteral("runs"));
    ASSERT_TRUE(QDir().mkpath(appDir_));
    ASSERT_TRUE(QDir().mkpath(runsDir_));
    // The stand-in writes its arguments NUL-separated, renames the note into place when
    // it is complete, and waits for "release" before it ends (at most ten seconds).
    const QString script =
        QStringLiteral("#!/bin/sh\n"
                       "runs='%1'\n"
                       "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$runs/$$.tmp\"\n"
                       "mv \"$runs/$$.tmp\" \"$runs/$$.args\"\n"
                       "i=0\n"
                       "while [ ! -e \"$runs/release\" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                       "touch \"$runs/$$.done\"\n")
            .arg(runsDir_);
    writeFile(QStringLiteral("tolvane"), script.toUtf8());
    QFile::setPermissions(appFile(QStringLiteral("tolvane")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile release(QDir(runsDir_).filePath(QStringLiteral("release")));
    ASSERT_TRUE(release.open(QIODevice::WriteOnly));
}

void LauncherTest::TearDown() { releaseGames(); }

QString LauncherTest::appFile(const QString& name) const { return QDir(appDir_).filePath(name); }

void LauncherTest::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(appFile(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
    file.write(bytes);
}

void LauncherTest::removeGame() const { QFile::remove(appFile(QStringLiteral("tolvane"))); }

void LauncherTest::makeGameNotExecutable() const {
    QFile::setPermissions(appFile(QStringLiteral("tolvane")), QFile::ReadOwner | QFile::WriteOwner);
}

std::vector<QStringList> LauncherTest::runs() const {
    std::vector<QStringList> result;
    const QDir dir(runsDir_);
    for (const QString& name : dir.entryList({QStringLiteral("*.args")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QStringList args;
        for (const QByteArray& arg : file.readAll().split('\0')) args << QString::fromUtf8(arg);
        args.removeLast(); // every argument ends with a NUL, so the last piece is empty
        result.push_back(args);
    }
    return result;
}

bool LauncherTest::waitForRuns(size_t count) const {
    return QTest::qWaitFor([&] { return runs().size() >= count; }, 5000);
}

void LauncherTest::holdGames() const { QFile::remove(QDir(runsDir_).filePath(QStringLiteral("release"))); }

bool LauncherTest::gameFinished(size_t count) const {
    return QDir(runsDir_).entryList({QStringLiteral("*.done")}, QDir::Files).size() >= qsizetype(count);
}

void LauncherTest::forgetRuns() const {
    const QDir dir(runsDir_);
    for (const QString& name :
         dir.entryList({QStringLiteral("*.args"), QStringLiteral("*.done")}, QDir::Files))
        QFile::remove(dir.filePath(name));
}

void LauncherTest::releaseGames() const {
    QFile release(QDir(runsDir_).filePath(QStringLiteral("release")));
    if (release.open(QIODevice::WriteOnly)) release.close();
    const size_t started = runs().size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return gameFinished(started); }, 5000));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray golden(const char* name) { return readAll(QStringLiteral(TOLVANE_TEST_DATA "/") + name); }

QJsonObject runJson(const QString& id, const QString& player, const RunFigures& f, const QString& name,
                    qint64 rank) {
    return {{"id", id},
            {"player", player},
            {"name", name},
            {"score", f.score},
            {"level", f.level},
            {"maxChain", f.maxChain},
            {"totalContacts", f.totalContacts},
            {"frames", f.frames},
            {"endFrame", f.endFrame},
            {"timeBonus", f.timeBonus},
            {"finalBonus", f.finalBonus},
            {"timeLeft", f.timeLeft},
            {"submittedAt", "2026-12-08T10:00:00.000Z"},
            {"rank", rank}};
}

} // namespace kestrow::test
