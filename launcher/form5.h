// The settings window: the keys of every action, the pad's buttons and dead zone, the
// two loudnesses, the game window's look, the rival of a new game and what a take-over
// does on a miss and at a section's end, all chosen with the keyboard and written to the
// settings file that the game reads. Rows that do not fit the screen scroll.
#pragma once

#include <QString>
#include <filesystem>
#include <vector>

#include "look.h"
#include "settings/settings.h"

class QLabel;
class QTableWidget;

namespace kestrow {

class Form5 : public SubWindow {
  public:
    // Shows the settings of `file` (the player's settings file unless told otherwise).
    explicit Form5(const std::filesystem::path& file = settings::settingsFile());
    ~Form5() override;

    // What the window shows now, and what it read when it opened.
    const settings::Settings& edited() const { return edited_; }

    QTableWidget* List1 = nullptr; // one row a setting
    QLabel* Status = nullptr;      // what a key press did, or why not

  protected:
    bool handleKey(QKeyEvent* event) override;

  private:
    enum class Kind {
        Keys,
        PadButton,
        Deadzone,
        Volume,
        Fullscreen,
        Scale,
        Window,
        Language,
        Rival,
        Ghost,
        Splits,
        OnMiss,
        Loop,
        Reset,
        Ok
    };
    struct Row {
        Kind kind;
        int which; // the action, the pad button (0 bomb, 1 pause) or the volume (0 effects, 1 music)
        QString label;
    };

    void fill();
    void showRow(int row);
    void change(const Row& row, int step);
    void bindKey(const Row& row, settings::Key key);
    void save();
    void preview(int volume);

    std::filesystem::path file_;
    settings::Settings loaded_, edited_;
    std::vector<Row> rows_;
    bool capturing_ = false; // the next key pressed goes to the selected action
};

// The SDL key of a key press in a Qt window, or 0 for a key that SDL has no name for.
settings::Key sdlKeyOf(const QKeyEvent* event);

} // namespace kestrow
