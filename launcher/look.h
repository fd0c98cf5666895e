// The look shared by the three windows of the menu program: the dark-blue ground, the
// light-blue captions in the Japanese system faces, the frame drawn around each window
// and the error box.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <array>
#include <string_view>

#include "language/language.h"

class QKeyEvent;
class QLabel;
class QPainter;
class QTableView;

namespace kestrow {

inline const QColor kGroundColor{0, 0, 64};    // window background
inline const QColor kLightBlue{192, 192, 255}; // captions, text boxes, lines

inline constexpr std::string_view kMinchoFace = "ＭＳ 明朝";     // a font's name: not translated
inline constexpr std::string_view kGothicFace = "ＭＳ ゴシック"; // a font's name: not translated

// Bold font of a Windows face name, mapped onto the installed family by fontconfig's
// table ("ＭＳ 明朝" -> IPAMincho), at the given point size.
QFont faceFont(std::string_view face, double points);

// The captions' font: "ＭＳ 明朝", 11.25 point, bold.
QFont captionFont();

// The text boxes' font: "ＭＳ ゴシック", 12 point, bold.
QFont boxFont();

// Gives `window` its caption and the dark-blue ground.
void setUpGround(QWidget* window, const QString& caption);

// Makes `window` a fixed-size window of the given client area on the dark-blue ground.
void setUpWindow(QWidget* window, const QString& caption, int width, int height);

// A light-blue caption with a transparent background at (left, top).
QLabel* addCaption(QWidget* parent, const QString& text, int left, int top, int width, int height = 17);

// The decorative frame around the whole client area.
void drawFrame(QPainter& painter, const QWidget* window);

// Gives a text box or list its light-blue ground, the black text and the box font.
void styleBox(QWidget* box);

// A table of whole rows that the keyboard walks (one row selected, nothing edited, Tab
// left to the window), styled as a box, with the captions' font in its header.
void styleTable(QTableView* table);

// Shows `window` (raised, with the keyboard). The first time, it is placed in the middle
// of the screen that `menu` is on, so that it lies wholly on that screen.
void showOnScreenOf(QWidget* window, const QWidget* menu);

// The menu's error box: exclamation icon, title "えら～", one OK button. Modal.
void showError(QWidget* parent, const QString& text);

// The smaller windows the menu opens (the hiscore table, the replay picker, the replay
// list). Each is gone once closed, so that the next opening reads its file or folder
// anew; it stands on the dark-blue ground inside the frame, with two key captions at the
// top and one box that holds the focus. The window sees the box's keys before the box.
class SubWindow : public QWidget {
  public:
    std::array<QLabel*, 2> Label1{}; // the key captions

  protected:
    explicit SubWindow(const QString& caption);

    // Makes the window `width` x `height` and puts the two key captions one above the
    // other at its top left, as wide as the window inside its margins.
    void setUpFixed(int width, int height, const QString& firstKey, const QString& secondKey);
    // Gives `box` the focus and its key presses to handleKey first.
    void takeKeysOf(QWidget* box);
    // A key pressed in the box: true when the window used it, so the box never sees it.
    virtual bool handleKey(QKeyEvent* key) = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QWidget* box_ = nullptr;
};

// A text of the menu in the language in use (language/language.h).
inline QString qtext(const char* source) { return QString::fromUtf8(language::text(source)); }

inline constexpr const char* kNoFileText = N_("ふぁいるがありやせんぜ！");
inline constexpr const char* kNoTableText = N_("ハイスコアファイルがありやせん！");
inline constexpr const char* kErrorTitle = N_("えら～");

} // namespace kestrow
