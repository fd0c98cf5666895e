#include "gamestart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace kestrow {

namespace {

// Only a file the game can open is worth a game window: open it once and let go.
// (QFile refuses directories, so "dir/" with nothing selected fails here too.)
bool readable(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace

QStringList gameArguments(const QString& replay, const QString& rival, long takeOver) {
    QStringList arguments;
    if (!rival.isEmpty()) arguments << QStringLiteral("--rival") << rival;
    if (!replay.isEmpty()) arguments << replay;
    if (!replay.isEmpty() && takeOver >= 0)
        arguments << QStringLiteral("--take-over") << QString::number(takeOver);
    return arguments;
}

bool startGame(const QString& appDir, const QString& replay, const QString& rival, long takeOver) {
    if (!replay.isEmpty() && !readable(replay)) return false;
    if (!rival.isEmpty() && !readable(rival)) return false;
    if (takeOver >= 0 && replay.isEmpty()) return false; // nothing to take over
    const QStringList arguments = gameArguments(replay, rival, takeOver);
    const QString program = QDir(appDir).filePath(kGameProgram);
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) return false;
    return QProcess::startDetached(program, arguments, appDir);
}

} // namespace kestrow
