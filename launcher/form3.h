// The replay picker: every *.rep file of the records folder, by name; Enter plays the
// selected one through the menu.
#pragma once

#include <QFileSystemWatcher>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "look.h"

class QListWidget;

namespace kestrow {

class Form1;

class Form3 : public SubWindow {
  public:
    // Lists the replays in `folder` (the records folder, which may not exist yet).
    Form3(const QString& folder, Form1* menu);

    // Lists the replay files again, keeping the selected name when it is still there.
    void Form_Load();

    QListWidget* File1 = nullptr;

  protected:
    bool handleKey(QKeyEvent* key) override;

  private:
    void play();
    void watch();

    QString folder_;
    QPointer<Form1> menu_;
    // So replays written while the list is open show up: the folder, or while it does
    // not exist yet the nearest folder above it.
    QFileSystemWatcher watcher_;
};

// Names (without folder) of the replay files in `dir`: regular files whose names end in
// ".rep" in any case, hidden ones left out, sorted by name ignoring case.
QStringList replayFiles(const QString& dir);

} // namespace kestrow
