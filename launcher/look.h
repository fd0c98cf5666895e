// The look shared by the three windows of the menu program: the dark-blue ground, the
// light-blue captions in the Japanese system faces, the frame drawn around each window
// and the error box.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string_view>

class QLabel;
class QPainter;
class QWidget;

namespace kestrow {

inline const QColor kGroundColor{0, 0, 64};    // window background
inline const QColor kLightBlue{192, 192, 255}; // captions, text boxes, lines

inline constexpr std::string_view kMinchoFace = "ＭＳ 明朝";
inline constexpr std::string_view kGothicFace = "ＭＳ ゴシック";

// Bold font of a Windows face name, mapped onto the installed family by fontconfig's
// table ("ＭＳ 明朝" -> IPAMincho), at the given point size.
QFont faceFont(std::string_view face, double points);

// The captions' font: "ＭＳ 明朝", 11.25 point, bold.
QFont captionFont();

// The text boxes' font: "ＭＳ ゴシック", 12 point, bold.
QFont boxFont();

// Makes `window` a fixed-size window of the given client area on the dark-blue ground.
void setUpWindow(QWidget* window, const QString& caption, int width, int height);

// A light-blue caption with a transparent background at (left, top).
QLabel* addCaption(QWidget* parent, const QString& text, int left, int top, int width, int height = 17);

// The decorative frame around the whole client area.
void drawFrame(QPainter& painter, const QWidget* window);

// Gives a text box or list its light-blue ground, the black text and the box font.
void styleBox(QWidget* box);

// The menu's error box: exclamation icon, title "えら～", one OK button. Modal.
void showError(QWidget* parent, const QString& text);

inline const QString kNoFileText = QStringLiteral("ふぁいるがありやせんぜ！");
inline const QString kNoTableText = QStringLiteral("ハイスコアファイルがありやせん！");
inline const QString kErrorTitle = QStringLiteral("えら～");

} // namespace kestrow
