#include "form3.h"

#include "form1.h"
#include "look.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <algorithm>

namespace kestrow {

QStringList replayFiles(const QString& dir) {
    QStringList names = QDir(dir).entryList({QStringLiteral("*.rep")}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

// Esc unloads the window: the next R reads the folder anew.
Form3::Form3(const QString& folder, Form1* menu)
    : SubWindow(qtext("さまざまな一生")), folder_(folder), menu_(menu) {
    setUpFixed(177, 241, qtext("ESC   --- もどる"), qtext("Enter --- みる"));

    File1 = new QListWidget(this);
    File1->setGeometry(1, 46, 175, 194);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    styleBox(File1);
    takeKeysOf(File1); // Enter, Esc and Tab are the window's; the list moves on the rest
    File1->setToolTip(qtext("Tab --- 記録の一覧"));

    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Form_Load(); });
    Form_Load();
}

void Form3::watch() {
    QString dir = folder_;
    while (!QFileInfo(dir).isDir() && !QFileInfo(dir).isRoot()) dir = QFileInfo(dir).absolutePath();
    const QStringList watched = watcher_.directories();
    if (watched.size() == 1 && watched.front() == dir) return;
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    watcher_.addPath(dir);
}

void Form3::Form_Load() {
    watch();
    const QString selected = File1->currentItem() ? File1->currentItem()->text() : QString();
    const int row = File1->currentRow();
    const QStringList names = replayFiles(folder_);
    File1->clear();
    File1->addItems(names);
    if (names.isEmpty()) return;
    const int again = names.indexOf(selected);
    File1->setCurrentRow(again >= 0 ? again : std::clamp(row, 0, int(names.size()) - 1));
}

void Form3::play() {
    // With nothing selected the path is the folder itself, which the menu refuses.
    const QString name = File1->currentItem() ? File1->currentItem()->text() : QString();
    const QString path = folder_ + u'/' + name;
    if (menu_) menu_->ShellExe(path);
}

bool Form3::handleKey(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!key->isAutoRepeat()) play();
        return true;
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Tab:
        if (menu_) menu_->showForm4();
        return true;
    default: return false;
    }
}

} // namespace kestrow
