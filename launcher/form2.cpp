#include "form2.h"

#include "common/cp932.h"
#include "look.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

namespace kestrow {

QString hiscoreBoxText(const QByteArray& cp932) {
    const QString text =
        QString::fromStdString(common::cp932ToUtf8(std::string_view(cp932.constData(), cp932.size())));
    QString box;
    box.reserve(text.size() + 2);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
        box += u'\n';
        box += QStringView(text).mid(start, end - start);
        // CR LF, CR or LF ends a line; the last line may have no end at all.
        if (end < text.size() && text[end] == u'\r') ++end;
        if (end < text.size() && text[end] == u'\n') ++end;
        start = end;
    }
    box += u'\n';
    return box;
}

// Esc unloads the window: the next S starts with an empty box.
Form2::Form2(const common::RecordsPlace& records) : SubWindow(qtext("遺産")), records_(records) {
    setUpFixed(233, 305, qtext("ESC   --- もどる"), qtext("F5 --- 最新の情報に更新"));

    Text1 = new QPlainTextEdit(this);
    Text1->setGeometry(1, 47, 231, 257);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setReadOnly(true); // nothing reads the box back; it only shows the file
    Text1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    styleBox(Text1);
    takeKeysOf(Text1); // Esc and F5 are the window's
}

void Form2::Form_Load() {
    QFile file(QString::fromStdString(common::recordToRead(records_, "Hiscore.txt").string()));
    if (!file.open(QIODevice::ReadOnly)) {
        showError(this, qtext(kNoTableText));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showError(this, qtext(kNoTableText));
        return;
    }
    Text1->setPlainText(hiscoreBoxText(bytes));
}

bool Form2::handleKey(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_F5: Form_Load(); return true;
    default: return false;
    }
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

} // namespace kestrow
