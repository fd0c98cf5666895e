// The high-score view: Hiscore.txt shown as text, line for line, headers included.
#pragma once

#include <QString>

#include "common/appdir.h"
#include "look.h"

class QPlainTextEdit;

namespace kestrow {

class Form2 : public SubWindow {
  public:
    // Shows the Hiscore.txt of the records folder (or its seed's while it has none).
    explicit Form2(const common::RecordsPlace& records);

    // Reads Hiscore.txt into the box, replacing what it showed. A missing or unreadable
    // file shows the error box and leaves the box as it was.
    void Form_Load();

    QPlainTextEdit* Text1 = nullptr;

  protected:
    bool handleKey(QKeyEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    common::RecordsPlace records_;
};

// The box's text for the bytes of a high-score file: every line (CP932, any line end)
// after a line break of its own, and one more line break at the end. Bytes that are
// not CP932 show as U+FFFD.
QString hiscoreBoxText(const QByteArray& cp932);

} // namespace kestrow
