#include "form6.h"

#include "form1.h"
#include "replaylist.h"
#include "rival.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrow {
namespace {

constexpr qint64 kPageSize = 20;

// clang-format off
constexpr const char* kPlainHttpNotice = N_("注意: %1 は暗号化されない http:// で、このパソコンの外にあります。途中の誰でも、送った記録を読んだり自分のものとして送ったりできます");
// clang-format on

constexpr std::array<const char*, 4> kPeriodNames{N_("全期間"), N_("今月"), N_("今週"), N_("今日")};

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    return item;
}

} // namespace

bool plainHttpNoticeDue(const QString& server, const QString& file, bool markSaid) {
    if (!plainHttpElsewhere(server)) return false;
    QStringList said;
    QFile in(file);
    if (in.open(QIODevice::ReadOnly)) {
        said = QString::fromUtf8(in.read(64 * 1024)).split(u'\n', Qt::SkipEmptyParts);
    }
    if (said.contains(server)) return false;
    if (markSaid) {
        said << server;
        QDir().mkpath(QFileInfo(file).absolutePath());
        QSaveFile out(file);
        // Not written: the notice is said again next time, nothing worse.
        if (out.open(QIODevice::WriteOnly)) {
            out.write(said.join(u'\n').toUtf8() + '\n');
            out.commit();
        }
    }
    return true;
}

QString outboxLine(const OutboxEntry& e, bool sending) {
    const QString when = e.queuedAt.toLocalTime().toString(QStringLiteral("MM-dd HH:mm"));
    const QString what = QStringLiteral("%1  %2  ").arg(when, e.source);
    if (sending) return what + qtext(N_("送信中…"));
    switch (e.state) {
    case OutboxEntry::Sent:
        return what + qtext(N_("送信済み: %1位 %2点")).arg(QString::number(e.rank), QString::number(e.score));
    case OutboxEntry::Refused: return what + qtext(N_("受け付けられませんでした: %1")).arg(e.message);
    case OutboxEntry::Waiting: break;
    }
    QString line = what + qtext(N_("送信待ち"));
    if (e.nextTry.isValid() && e.attempts > 0) {
        line += QStringLiteral(" (") +
                qtext(N_("次は %1")).arg(e.nextTry.toLocalTime().toString(QStringLiteral("HH:mm:ss"))) +
                QStringLiteral(")");
    }
    if (!e.message.isEmpty()) line += QStringLiteral(": ") + e.message;
    return line;
}

Form6::Form6(Form1* menu) : SubWindow(qtext(N_("オンライン"))), menu_(menu), online_(menu->online()) {
    Label1[0] =
        addCaption(this, qtext(N_("←→ --- 期間   Enter --- みる   F5 --- 更新   ESC --- もどる")), 8, 8, 600);
    Label1[1] = addCaption(
        this, qtext(N_("N/H --- 最新/最高の一生を送る   S --- サーバー   M --- 名前   A --- 自動送信")), 8,
        26, 600);
    auto* keys = addCaption(
        this, qtext(N_("E/I --- 鍵の書き出し/読み込み   Tab --- 送信記録へ   Del --- 送信記録を消す")), 8, 0,
        600);
    auto* rivals = addCaption(
        this, qtext(N_("R --- ライバルと対戦   T/U --- 1位/一つ上の順位と対戦   P --- 練習")), 8, 0, 600);
    Server = addCaption(this, QString(), 8, 0, 600);
    Notice = addCaption(this, QString(), 8, 0, 600);
    Notice->setWordWrap(true);
    Notice->hide();
    Periods = addCaption(this, QString(), 8, 0, 600);
    Mine = addCaption(this, QString(), 8, 0, 600);
    Status = addCaption(this, QString(), 8, 0, 600);
    // Names and the server's reasons are shown as the text they are, never as markup.
    for (QLabel* l : {Server, Notice, Mine, Status}) l->setTextFormat(Qt::PlainText);

    Table = new QTableWidget(0, 6, this);
    Table->setHorizontalHeaderLabels({qtext(N_("順位")), qtext(N_("名前")), qtext(N_("スコア")),
                                      qtext(N_("レベル")), qtext(N_("最大チェイン")), qtext(N_("日時"))});
    styleTable(Table);
    const int widths[] = {60, 200, 110, 70, 110};
    for (int c = 0; c < 5; ++c) Table->setColumnWidth(c, widths[c]);

    Sent = new QListWidget(this);
    styleBox(Sent);
    Sent->setMaximumHeight(110);
    Sent->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    for (QLabel* l : {Label1[0], Label1[1], keys, rivals, Server, Notice, Periods}) layout->addWidget(l);
    layout->addWidget(Table, 1);
    layout->addWidget(Mine);
    layout->addWidget(Sent);
    layout->addWidget(Status);
    resize(720, 560);
    takeKeysOf(Table);
    QObject::connect(Table, &QAbstractItemView::doubleClicked, this, [this] { watchSelected(); });

    online_->onOutboxChanged = [self = QPointer<Form6>(this)] {
        if (self) self->showOutbox();
    };
    showPeriods();
    showOutbox();
    refresh();
}

void Form6::refresh() {
    online_->reload();
    if (!online_->enabled()) {
        Server->setText(qtext(N_("オンラインは切ってあります。S でサーバーを決めてください")));
        Table->setRowCount(0);
        rows_.clear();
        Mine->clear();
        Notice->hide();
        return;
    }
    const QString name = online_->name().isEmpty() ? qtext(N_("(未設定)")) : online_->name();
    Server->setText(
        qtext(N_("サーバー: %1   名前: %2   自動送信: %3"))
            .arg(online_->server(), name, online_->autoSubmit() ? qtext(N_("する")) : qtext(N_("しない"))));
    noticePlainHttp();
    QPointer<Form6> self(this);
    const int asked = period_;
    online_->fetchTable(QString::fromLatin1(kPeriods[period_]), offset_, kPageSize,
                        [self, asked](std::optional<OnlineTable> table, QString why) {
                            if (!self || self->period_ != asked) return;
                            self->Status->setText(why); // rows left out, or why there is no table
                            if (!table) return;
                            self->total_ = table->total;
                            self->rows_ = table->entries;
                            self->Table->setRowCount(static_cast<int>(table->entries.size()));
                            int row = 0;
                            for (const OnlineRun& r : table->entries) {
                                self->Table->setItem(
                                    row, 0, cell(r.rank > 0 ? QString::number(r.rank) : QStringLiteral("-")));
                                self->Table->setItem(row, 1, cell(r.name, Qt::AlignLeft | Qt::AlignVCenter));
                                self->Table->setItem(row, 2, cell(QString::number(r.score)));
                                self->Table->setItem(row, 3, cell(QString::number(r.level)));
                                self->Table->setItem(row, 4, cell(QString::number(r.maxChain)));
                                self->Table->setItem(
                                    row, 5, cell(shortTime(r.submittedAt), Qt::AlignLeft | Qt::AlignVCenter));
                                ++row;
                            }
                            if (row > 0 && !self->Table->currentIndex().isValid()) self->Table->selectRow(0);
                            self->showPeriods();
                        });
    online_->fetchStanding([self](std::optional<OnlineStanding> standing, QString why) {
        if (!self) return;
        self->standing_ = std::move(standing);
        if (!self->standing_) self->Status->setText(why);
        self->showStanding();
    });
}

void Form6::noticePlainHttp() {
    // Said once for each server, and kept in sight while this window shows that server.
    const QString file = QDir(cacheFolder()).filePath(QStringLiteral("plain-http-said"));
    if (plainHttpNoticeDue(online_->server(), file, true)) {
        noticeFor_ = online_->server();
        Notice->setText(qtext(kPlainHttpNotice).arg(online_->server()));
    }
    Notice->setVisible(!noticeFor_.isEmpty() && noticeFor_ == online_->server());
}

void Form6::showPeriods() {
    QStringList parts;
    for (size_t i = 0; i < kPeriodNames.size(); ++i) {
        const QString name = qtext(kPeriodNames[i]);
        parts << (static_cast<int>(i) == period_ ? QStringLiteral("[%1]").arg(name) : name);
    }
    QString text = parts.join(QStringLiteral("  "));
    if (total_ > kPageSize) {
        text += QStringLiteral("     ") + qtext(N_("%1～%2位 / %3人  (PageUp/PageDown)"))
                                              .arg(offset_ + 1)
                                              .arg(std::min(offset_ + kPageSize, total_))
                                              .arg(total_);
    }
    Periods->setText(text);
    showStanding();
}

void Form6::showStanding() {
    if (!online_->enabled() || !standing_) return;
    const std::optional<OnlineRun>* best[] = {&standing_->all, &standing_->month, &standing_->week,
                                              &standing_->day};
    if (!*best[period_]) {
        Mine->setText(qtext(N_("あなた: この期間の記録はまだありません")));
        return;
    }
    const OnlineRun& run = **best[period_];
    Mine->setText(qtext(N_("あなた: %1位  %2点  レベル %3  最大チェイン %4"))
                      .arg(run.rank)
                      .arg(run.score)
                      .arg(run.level)
                      .arg(run.maxChain));
}

void Form6::showOutbox() {
    const QString current =
        Sent->currentRow() >= 0 && Sent->currentRow() < static_cast<int>(outboxIds_.size())
            ? outboxIds_[static_cast<size_t>(Sent->currentRow())]
            : QString();
    Sent->clear();
    outboxIds_.clear();
    QStringList broken;
    const auto entries = online_->outbox().entries(&broken);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) { // newest first
        Sent->addItem(outboxLine(*it, online_->sending(it->id)));
        outboxIds_.push_back(it->id);
        if (it->id == current) Sent->setCurrentRow(Sent->count() - 1);
    }
    for (const QString& b : broken) Sent->addItem(qtext(N_("読めないファイル: %1")).arg(b));
}

void Form6::submit(const QString& path) {
    QString why;
    if (online_->submitFile(path, &why)) {
        Status->setText(qtext(N_("%1 を送ります")).arg(QFileInfo(path).fileName()));
    } else {
        Status->setText(why);
    }
    showOutbox();
}

void Form6::watchSelected() {
    const int row = Table->currentRow();
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !menu_) return;
    Status->setText(qtext(N_("リプレイを取ってきています…")));
    QPointer<Form6> self(this);
    // Played only once the game has found the bytes to be that run.
    online_->fetchReplay(rows_[static_cast<size_t>(row)],
                         QDir(cacheFolder()).filePath(QStringLiteral("runs")),
                         [self](bool ok, QString why, QString file) {
                             if (!self) return;
                             if (!ok) {
                                 self->Status->setText(why);
                                 return;
                             }
                             self->Status->clear();
                             if (self->menu_) self->menu_->ShellExe(file);
                         });
}

void Form6::practise() {
    const int row = Table->currentRow();
    if (row < 0 || row >= static_cast<int>(rows_.size()) || !menu_) return;
    Status->setText(qtext(N_("リプレイを取ってきています…")));
    QPointer<Form6> self(this);
    const OnlineRun run = rows_[static_cast<size_t>(row)];
    // Practised on only once the game has found the bytes to be that run.
    online_->fetchReplay(run, QDir(cacheFolder()).filePath(QStringLiteral("runs")),
                         [self, run](bool ok, QString why, QString file) {
                             if (!self) return;
                             if (!ok) {
                                 self->Status->setText(why);
                                 return;
                             }
                             self->Status->clear();
                             if (self->menu_)
                                 self->menu_->showPractice(
                                     file, qtext(N_("%1位 %2")).arg(QString::number(run.rank), run.name));
                         });
}

void Form6::race(std::optional<TableRival> which) {
    if (!menu_ || !online_->enabled()) return;
    const int row = Table->currentRow();
    if (!which && (row < 0 || row >= static_cast<int>(rows_.size()))) return;
    Status->setText(qtext(N_("ライバルの記録を取ってきています…")));
    QPointer<Form6> self(this);
    // The game is given the run only once the game's library has found it to be that run.
    auto start = [self](QString file, QString why) {
        if (!self) return;
        if (file.isEmpty()) {
            self->Status->setText(why);
            return;
        }
        self->Status->clear();
        if (self->menu_) self->menu_->ShellExe(QString(), file);
    };
    const QString folder = QDir(cacheFolder()).filePath(QStringLiteral("runs"));
    if (which) {
        fetchTableRival(*online_, *which, QString::fromLatin1(kPeriods[period_]), folder, start);
    } else {
        online_->fetchReplay(
            rows_[static_cast<size_t>(row)], folder,
            [start](bool ok, QString why, QString file) { start(ok ? file : QString(), why); });
    }
}

void Form6::askServer() {
    bool ok = false;
    const QString url =
        QInputDialog::getText(this, qtext(N_("サーバー")), qtext(N_("サーバーのURL (空にするとオフライン):")),
                              QLineEdit::Normal, online_->server(), &ok);
    if (!ok) return;
    QString why;
    if (!online_->setServer(url.trimmed(), &why)) {
        Status->setText(why);
        return;
    }
    offset_ = 0;
    refresh();
    showOutbox();
}

void Form6::askName() {
    bool ok = false;
    const QString name =
        QInputDialog::getText(this, qtext(N_("名前")), qtext(N_("表に出る名前 (1～24文字):")),
                              QLineEdit::Normal, online_->name(), &ok);
    if (!ok) return;
    QString why;
    if (!online_->setName(name, &why)) Status->setText(why);
    refresh();
}

void Form6::exportKey() {
    const QString to = QFileDialog::getSaveFileName(
        this, qtext(N_("鍵の書き出し")), QDir::home().filePath(QStringLiteral("tolvane-player.key")));
    if (to.isEmpty()) return;
    QString why;
    Status->setText(online_->exportKey(to, &why) ? qtext(N_("鍵を %1 に書き出しました")).arg(to) : why);
}

void Form6::importKey() {
    const QString from = QFileDialog::getOpenFileName(this, qtext(N_("鍵の読み込み")), QDir::homePath());
    if (from.isEmpty()) return;
    QString why;
    if (!online_->importKey(from, &why)) {
        Status->setText(why);
        return;
    }
    Status->setText(qtext(N_("鍵を読み込みました")));
    refresh();
}

bool Form6::eventFilter(QObject* watched, QEvent* event) {
    // The list of sent runs has the window's keys too (Tab back to the table, Delete).
    if (watched == Sent && event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event)))
        return true;
    return SubWindow::eventFilter(watched, event);
}

bool Form6::handleKey(QKeyEvent* event) {
    if (event->isAutoRepeat() && event->key() != Qt::Key_Up && event->key() != Qt::Key_Down) return false;
    switch (event->key()) {
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        period_ = (period_ + (event->key() == Qt::Key_Left ? 3 : 1)) % 4;
        offset_ = 0;
        total_ = 0;
        Table->setRowCount(0);
        rows_.clear();
        showPeriods();
        refresh();
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        const qint64 next = offset_ + (event->key() == Qt::Key_PageDown ? kPageSize : -kPageSize);
        if (next >= 0 && next < total_) {
            offset_ = next;
            refresh();
        }
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: watchSelected(); return true;
    case Qt::Key_F5:
        online_->sendWaiting(true);
        refresh();
        return true;
    case Qt::Key_N:
    case Qt::Key_H:
        if (menu_) submit(menu_->recordPath(event->key() == Qt::Key_N ? "NewReplay.rep" : "HiReplay.rep"));
        return true;
    case Qt::Key_R: race(std::nullopt); return true;
    case Qt::Key_P: practise(); return true;
    case Qt::Key_T: race(TableRival::Top); return true;
    case Qt::Key_U: race(TableRival::Above); return true;
    case Qt::Key_S: askServer(); return true;
    case Qt::Key_M: askName(); return true;
    case Qt::Key_A: {
        QString why;
        if (!online_->setAutoSubmit(!online_->autoSubmit(), &why)) Status->setText(why);
        refresh();
        return true;
    }
    case Qt::Key_E: exportKey(); return true;
    case Qt::Key_I: importKey(); return true;
    case Qt::Key_Tab:
        if (Table->hasFocus()) {
            Sent->setFocus();
            if (Sent->currentRow() < 0 && Sent->count() > 0) Sent->setCurrentRow(0);
        } else {
            Table->setFocus();
        }
        return true;
    case Qt::Key_Delete: {
        const int row = Sent->currentRow();
        if (row >= 0 && row < static_cast<int>(outboxIds_.size()) &&
            !online_->sending(outboxIds_[static_cast<size_t>(row)])) {
            online_->outbox().remove(outboxIds_[static_cast<size_t>(row)]);
            showOutbox();
        }
        return true;
    }
    default: return false;
    }
}

} // namespace kestrow
