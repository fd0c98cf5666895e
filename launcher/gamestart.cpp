#include "gamestart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace kestrow {

bool startGame(const QString& appDir, const QString& replay) {
    QStringList arguments;
    if (!replay.isEmpty()) {
        // Only a file the game can open is worth a game window: open it once and let go.
        // (QFile refuses directories, so "dir/" with nothing selected fails here too.)
        QFile file(replay);
        if (!file.open(QIODevice::ReadOnly)) return false;
        file.close();
        arguments << replay;
    }
    const QString program = QDir(appDir).filePath(kGameProgram);
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) return false;
    return QProcess::startDetached(program, arguments, appDir);
}

} // namespace kestrow
