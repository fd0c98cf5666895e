#include "look.h"

#include "common/fontmap.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTableView>
#include <QWidget>
#include <algorithm>

namespace kestrow {

QFont faceFont(std::string_view face, double points) {
    QFont font(QString::fromStdString(common::familyForFace(face)));
    font.setPointSizeF(points);
    font.setBold(true);
    // Keep the mapped family even if the name is unusual; fall back only per glyph.
    font.setStyleStrategy(QFont::PreferMatch);
    return font;
}

QFont captionFont() { return faceFont(kMinchoFace, 11.25); }

QFont boxFont() { return faceFont(kGothicFace, 12); }

void setUpGround(QWidget* window, const QString& caption) {
    window->setWindowTitle(caption);
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, kGroundColor);
    pal.setColor(QPalette::WindowText, kLightBlue);
    window->setPalette(pal);
    window->setAutoFillBackground(true);
}

void setUpWindow(QWidget* window, const QString& caption, int width, int height) {
    setUpGround(window, caption);
    window->setFixedSize(width, height);
}

QLabel* addCaption(QWidget* parent, const QString& text, int left, int top, int width, int height) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(left, top, width, height);
    label->setFont(captionFont());
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, kLightBlue);
    label->setPalette(pal);
    label->setAutoFillBackground(false); // transparent: the ground shows through
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void drawFrame(QPainter& painter, const QWidget* window) {
    painter.setPen(kLightBlue);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(window->rect().adjusted(0, 0, -1, -1));
}

void styleBox(QWidget* box) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, kLightBlue);
    pal.setColor(QPalette::Text, Qt::black);
    box->setPalette(pal);
    box->setFont(boxFont());
}

void styleTable(QTableView* table) {
    styleBox(table);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setFont(captionFont());
    table->horizontalHeader()->setStretchLastSection(true);
}

void showOnScreenOf(QWidget* window, const QWidget* menu) {
    if (!window->isVisible() && !window->property("placed").toBool()) {
        window->setProperty("placed", true);
        if (const QScreen* screen = menu ? menu->screen() : nullptr) {
            const QRect area = screen->availableGeometry();
            QRect r(QPoint(0, 0), window->size());
            r.moveCenter(area.center());
            window->move(std::max(area.left(), r.left()), std::max(area.top(), r.top()));
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void showError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, qtext(kErrorTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

SubWindow::SubWindow(const QString& caption) {
    setAttribute(Qt::WA_DeleteOnClose);
    setUpGround(this, caption);
}

void SubWindow::setUpFixed(int width, int height, const QString& firstKey, const QString& secondKey) {
    setFixedSize(width, height);
    Label1[0] = addCaption(this, firstKey, 8, 8, width - 16);
    Label1[1] = addCaption(this, secondKey, 8, 24, width - 16);
}

void SubWindow::takeKeysOf(QWidget* box) {
    box_ = box;
    box->installEventFilter(this);
    setFocusProxy(box);
}

bool SubWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::KeyPress) {
        if (handleKey(static_cast<QKeyEvent*>(event))) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SubWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(painter, this);
}

} // namespace kestrow
