// The replay picker: every *.rep file beside the programs, by name; Enter plays the
// selected one through the menu.
#pragma once

#include <QFileSystemWatcher>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>

class QLabel;
class QListWidget;

namespace kestrow {

class Form1;

class Form3 : public QWidget {
  public:
    Form3(const QString& appDir, Form1* menu);

    // Lists the replay files again, keeping the selected name when it is still there.
    void Form_Load();

    QListWidget* File1 = nullptr;
    std::array<QLabel*, 2> Label1{};

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void play();

    QString appDir_;
    QPointer<Form1> menu_;
    QFileSystemWatcher watcher_; // so replays written while the list is open show up
};

// Names (without folder) of the replay files in `dir`: regular files whose names end in
// ".rep" in any case, hidden ones left out, sorted by name ignoring case.
QStringList replayFiles(const QString& dir);

} // namespace kestrow
