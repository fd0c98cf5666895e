#include "form2.h"

#include "common/cp932.h"
#include "look.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
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

Form2::Form2(const common::RecordsPlace& records) : records_(records) {
    setAttribute(Qt::WA_DeleteOnClose); // Esc unloads: the next S starts with an empty box
    setUpWindow(this, QStringLiteral("遺産"), 233, 305);
    Label1[0] = addCaption(this, QStringLiteral("ESC   --- もどる"), 8, 8, 217);
    Label1[1] = addCaption(this, QStringLiteral("F5 --- 最新の情報に更新"), 8, 24, 217);

    Text1 = new QPlainTextEdit(this);
    Text1->setGeometry(1, 47, 231, 257);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setReadOnly(true); // nothing reads the box back; it only shows the file
    Text1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    styleBox(Text1);
    // The window sees Esc and F5 before the box does.
    Text1->installEventFilter(this);
    setFocusProxy(Text1);
}

void Form2::Form_Load() {
    QFile file(QString::fromStdString(common::recordToRead(records_, "Hiscore.txt").string()));
    if (!file.open(QIODevice::ReadOnly)) {
        showError(this, kNoTableText);
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        showError(this, kNoTableText);
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

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        return handleKey(static_cast<QKeyEvent*>(event));
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event)) QWidget::keyPressEvent(event);
}

void Form2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(painter, this);
}

} // namespace kestrow
