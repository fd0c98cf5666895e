#include "form4.h"

#include "form1.h"
#include "form6.h"
#include "look.h"
#include "replaylist.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrow {
namespace {

// Sorted by the column's own values; rows that tie stay in name order.
class SortedReplays : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool lessThan(const QModelIndex& a, const QModelIndex& b) const override {
        const QPartialOrdering order =
            QVariant::compare(a.data(ReplayList::SortRole), b.data(ReplayList::SortRole));
        if (order == QPartialOrdering::Less) return true;
        if (order == QPartialOrdering::Greater) return false;
        const QString na = a.siblingAtColumn(ReplayList::Name).data(ReplayList::SortRole).toString();
        const QString nb = b.siblingAtColumn(ReplayList::Name).data(ReplayList::SortRole).toString();
        return sortOrder() == Qt::AscendingOrder ? na < nb : nb < na;
    }
};

} // namespace

QString replayListFolder(const Form1& menu) { return QString::fromStdString(menu.records().folder.string()); }

Form4::Form4(Form1* menu) : SubWindow(qtext("記録の一覧")), menu_(menu) {
    list_ = new ReplayList(replayListFolder(*menu), menu->applicationDirectory(),
                           QDir(cacheFolder()).filePath(QStringLiteral("replays.json")), this);
    sorted_ = new SortedReplays(this);
    sorted_->setSourceModel(list_);
    sorted_->setSortRole(ReplayList::SortRole);
    sorted_->setDynamicSortFilter(true); // scores that come in take their place

    Label1[0] = addCaption(this, qtext("Enter --- みる"), 8, 8, 120);
    Label1[1] = addCaption(this, qtext("ESC   --- もどる"), 136, 8, 130);
    auto* send = addCaption(this, qtext(N_("U key --- 送る")), 0, 8, 130);
    auto* race = addCaption(this, qtext(N_("R key --- ライバルと対戦")), 0, 8, 190);
    auto* practise = addCaption(this, qtext(N_("P key --- 練習")), 0, 8, 130);
    Progress = new QProgressBar(this);
    Progress->setFormat(QStringLiteral("%v / %m"));
    Progress->setMaximumHeight(17);

    Table = new QTableView(this);
    Table->setModel(sorted_);
    styleTable(Table);
    Table->horizontalHeader()->setSortIndicatorShown(true);
    Table->setSortingEnabled(true);
    Table->sortByColumn(ReplayList::Date, Qt::DescendingOrder);
    const QFontMetrics box(Table->font());
    const QFontMetrics head(captionFont());
    // Columns as wide as their widest value can be (names: the longest there is now, up
    // to a point), measured once instead of over every row.
    // A take-over is named by its origin, with the original's name once that is known.
    int name = box.horizontalAdvance(QStringLiteral("NewReplay.rep"));
    int most = 320;
    for (int r = 0; r < list_->rowCount(); ++r) {
        const bool takeOver = list_->takeOver(r).has_value();
        // Room for the original's name once it is known.
        const int extra =
            takeOver ? box.horizontalAdvance(QStringLiteral("（HiReplay）")) : 0; // not translated
        if (takeOver) most = 470;
        name = std::max(
            name, box.horizontalAdvance(list_->data(list_->index(r, 0), Qt::DisplayRole).toString()) + extra);
    }
    const char* const widest[ReplayList::Status] = {"",      "2000-00-00 00:00", "00:00", "4000000000", "999",
                                                    "999999"};
    for (int c = 0; c < ReplayList::Status; ++c) {
        const int sample = c == ReplayList::Name ? std::min(name, most) : box.horizontalAdvance(widest[c]);
        const QString title = list_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        Table->setColumnWidth(c, std::max(sample + 12, head.horizontalAdvance(title) + 24));
    }
    takeKeysOf(Table); // Enter, Esc, Home and End are the window's
    QObject::connect(Table, &QAbstractItemView::doubleClicked, this,
                     [this](const QModelIndex& i) { play(i); });

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(24);
    top->addWidget(Label1[0]);
    top->addWidget(Label1[1]);
    top->addWidget(send);
    top->addWidget(race);
    top->addWidget(practise);
    top->addStretch(1);
    top->addWidget(Progress, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(Table, 1);
    // Never wider than the screen: the names give up room first (down to a point), so
    // that the state stays in sight; past that the table scrolls.
    int width = std::max(560, Table->horizontalHeader()->length() + 180);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int room = screen->availableGeometry().width() - 16;
        const int over = Table->horizontalHeader()->length() + 40 - room; // the state at its least
        if (over > 0) {
            const int names = Table->columnWidth(ReplayList::Name);
            Table->setColumnWidth(ReplayList::Name, std::max(std::min(names, 260), names - over));
        }
        width = std::min(width, room);
    }
    resize(width, 420);

    list_->onProgress = [this] { showProgress(); };
    showProgress();
}

QString Form4::pathAt(int row) const {
    const QModelIndex source = sorted_->mapToSource(sorted_->index(row, 0));
    return source.isValid() ? list_->path(source.row()) : QString();
}

void Form4::showProgress() {
    const int total = list_->rowCount();
    const int settled = list_->settled();
    Progress->setMaximum(std::max(total, 1));
    Progress->setValue(settled);
    Progress->setVisible(settled < total);
    // Something is always selected, so that Enter has a replay to play.
    if (!Table->currentIndex().isValid() && sorted_->rowCount() > 0) Table->selectRow(0);
}

void Form4::play(const QModelIndex& index, bool asRival) {
    if (!index.isValid() || !menu_) return;
    const int row = sorted_->mapToSource(index).row();
    if (list_->verdict(row).state == Verdict::Unusable) { // the game would refuse it
        QApplication::beep();
        return;
    }
    if (asRival) {
        menu_->ShellExe(QString(), list_->path(row)); // a new game against it
    } else {
        menu_->ShellExe(list_->path(row));
    }
}

bool Form4::handleKey(QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!key->isAutoRepeat()) play(Table->currentIndex());
        return true;
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_R:
        if (!key->isAutoRepeat()) play(Table->currentIndex(), true);
        return true;
    case Qt::Key_P: // the practice window on the selected run
        if (!key->isAutoRepeat() && menu_ && Table->currentIndex().isValid()) {
            const int row = sorted_->mapToSource(Table->currentIndex()).row();
            if (list_->verdict(row).state == Verdict::Unusable) {
                QApplication::beep();
            } else {
                menu_->showPractice(list_->path(row), QFileInfo(list_->path(row)).fileName());
            }
        }
        return true;
    case Qt::Key_U: // to the online table, where the window shows how the sending goes
        if (!key->isAutoRepeat() && menu_ && Table->currentIndex().isValid()) {
            const QString path = pathAt(Table->currentIndex().row());
            menu_->showForm6();
            if (Form6* online = menu_->form6()) online->submit(path);
        }
        return true;
    case Qt::Key_Home: // whole rows are selected: the first and the last replay
    case Qt::Key_End:
        if (sorted_->rowCount() > 0) {
            const int row = key->key() == Qt::Key_Home ? 0 : sorted_->rowCount() - 1;
            Table->setCurrentIndex(
                sorted_->index(row, Table->currentIndex().isValid() ? Table->currentIndex().column() : 0));
        }
        return true;
    default: return false;
    }
}

} // namespace kestrow
