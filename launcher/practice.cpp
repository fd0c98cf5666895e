#include "practice.h"

#include "form1.h"
#include "outbox.h"
#include "session/race.h"
#include "session/world_state.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace kestrow {
namespace {

// A replay holds its count and at most 25001 entries; a file far past that is no replay.
constexpr qint64 kMostReplayBytes = 1024 * 1024;

QTableWidgetItem* cell(const QString& text, Qt::Alignment align) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    return item;
}

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;

} // namespace

QString startPointName(const StartPoint& p) {
    switch (p.kind) {
    case StartPoint::GameStart: return qtext(N_("ゲームの始め"));
    case StartPoint::Stage: return qtext(N_("ステージ%1の始め")).arg(p.number);
    case StartPoint::Boss: return qtext(N_("ボス%1の登場")).arg(p.number);
    case StartPoint::Typed: return qtext(N_("入力したフレーム"));
    }
    return {};
}

qint64 StudiedRun::scoreAt(long frame) const {
    if (frame < 0 || frame >= static_cast<long>(scores.size())) return -1;
    return scores[static_cast<size_t>(frame)];
}

StudiedRun studyRun(const QByteArray& replay) {
    StudiedRun run;
    std::vector<tolvane::SplitPoint> splits;
    const auto observe = [&](const tolvane::World& w, long frame) {
        if (frame == 0) splits = tolvane::splitPoints(w); // the stage script, once begun
        run.scores.push_back(w.score);
    };
    QString why;
    const std::optional<RunVerdict> verdict = playReplay(replay, &why, observe);
    if (!verdict) {
        run.why = why;
        run.scores.clear();
        return run;
    }
    run.ok = true;
    run.id = verdict->id;
    run.endFrame = static_cast<long>(verdict->figures.endFrame);
    run.scores.resize(static_cast<size_t>(run.endFrame) + 1); // what the verdict counts as the game
    run.points.push_back({StartPoint::GameStart, 0, 0, run.scoreAt(0)});
    for (const tolvane::SplitPoint& s : splits) {
        if (s.frame >= run.endFrame) break; // in frame order: none of the rest comes either
        const StartPoint::Kind kind =
            s.kind == tolvane::SplitPoint::Stage ? StartPoint::Stage : StartPoint::Boss;
        run.points.push_back({kind, s.number, s.frame, run.scoreAt(s.frame)});
    }
    return run;
}

Practice::Practice(Form1* menu, const QString& replay, const QString& shownName)
    : SubWindow(qtext(N_("練習"))), menu_(menu), replay_(replay), shownName_(shownName) {
    Label1[0] = addCaption(this, qtext(N_("Enter --- ここから操作する   ESC --- もどる")), 8, 8, 400);
    Label1[1] = addCaption(this, qtext(N_("0～9 --- フレームを入力   BS --- 一文字消す")), 8, 26, 400);
    Run = addCaption(this, QString(), 8, 0, 400);
    Run->setTextFormat(Qt::PlainText); // a file's name, a server player's name
    Status = addCaption(this, QString(), 8, 0, 400);
    Status->setTextFormat(Qt::PlainText);
    Status->setWordWrap(true);

    Table = new QTableWidget(0, 3, this);
    Table->setHorizontalHeaderLabels({qtext(N_("地点")), qtext(N_("フレーム")), qtext(N_("スコア"))});
    styleTable(Table);
    // The names as wide as the widest can be (the frame row's with five digits).
    const QFontMetrics box(Table->font());
    int names = box.horizontalAdvance(qtext(N_("フレームを入力（0～%1）")).arg(tolvane::kLastReplayIndex));
    for (const StartPoint::Kind k :
         {StartPoint::GameStart, StartPoint::Stage, StartPoint::Boss, StartPoint::Typed})
        names = std::max(names, box.horizontalAdvance(startPointName({k, 3, 0, 0})));
    Table->setColumnWidth(0, names + 16);
    Table->setColumnWidth(1, box.horizontalAdvance(QStringLiteral("000000")) + 16);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    for (QLabel* l : {Label1[0], Label1[1], Run}) layout->addWidget(l);
    layout->addWidget(Table, 1);
    layout->addWidget(Status);
    resize(std::max(420, Table->columnWidth(0) + Table->columnWidth(1) + 140), 300);
    takeKeysOf(Table);
    QObject::connect(Table, &QAbstractItemView::doubleClicked, this, [this] { choose(); });
    study();
}

void Practice::study() {
    Run->setText(qtext(N_("%1 を調べています…")).arg(shownName_));
    QFile file(replay_);
    if (!file.open(QIODevice::ReadOnly)) {
        Status->setText(qtext(N_("%1 を読めません: %2")).arg(shownName_, file.errorString()));
        return;
    }
    const QByteArray bytes = file.read(kMostReplayBytes + 1);
    if (bytes.size() > kMostReplayBytes) {
        Status->setText(qtext(N_("%1 はリプレイにしては大きすぎます")).arg(shownName_));
        return;
    }
    // A whole game takes the game's library a moment: played off the window's thread,
    // the answer is shown only while the window is still there.
    auto result = std::make_shared<StudiedRun>();
    QThread* thread = QThread::create([bytes, result] { *result = studyRun(bytes); });
    QObject::connect(thread, &QThread::finished, this, [this, result] { showRun(*result); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

void Practice::showRun(const StudiedRun& run) {
    run_ = run;
    if (!run_.ok) {
        Run->setText(shownName_);
        Status->setText(qtext(N_("この記録は遊べません: %1")).arg(run_.why));
        return;
    }
    ready_ = true;
    Run->setText(qtext(N_("%1: 最後のフレーム %2、スコア %3"))
                     .arg(shownName_)
                     .arg(run_.endFrame)
                     .arg(run_.scoreAt(run_.endFrame)));
    Table->setRowCount(static_cast<int>(run_.points.size()) + 1);
    for (size_t i = 0; i < run_.points.size(); ++i) {
        const StartPoint& p = run_.points[i];
        const int r = static_cast<int>(i);
        Table->setItem(r, 0, cell(startPointName(p), kLeft));
        Table->setItem(r, 1, cell(QString::number(p.frame), kRight));
        Table->setItem(r, 2, cell(QString::number(p.score), kRight));
    }
    showTyped();
    Table->selectRow(0);
}

void Practice::showTyped() {
    const int r = Table->rowCount() - 1;
    if (r < 0) return;
    const QString name = typed_ < 0 ? qtext(N_("フレームを入力（0～%1）")).arg(run_.endFrame)
                                    : startPointName({StartPoint::Typed, 0, typed_, 0});
    Table->setItem(r, 0, cell(name, kLeft));
    Table->setItem(r, 1, cell(typed_ < 0 ? QString() : QString::number(typed_), kRight));
    Table->setItem(r, 2, cell(typed_ < 0 ? QString() : QString::number(run_.scoreAt(typed_)), kRight));
}

void Practice::type(int digit) {
    if (!ready_) return;
    const long next = typed_ < 0 ? digit : typed_ * 10 + digit;
    if (next > run_.endFrame) {
        Status->setText(qtext(N_("フレームは 0 から %1 までです")).arg(run_.endFrame));
    } else {
        typed_ = next;
        Status->clear();
    }
    showTyped();
    Table->selectRow(Table->rowCount() - 1);
}

void Practice::choose() {
    const int r = Table->currentRow();
    if (!ready_ || r < 0 || !menu_) return;
    long frame = -1;
    if (r < static_cast<int>(run_.points.size())) {
        frame = run_.points[static_cast<size_t>(r)].frame;
    } else if (typed_ >= 0) {
        frame = typed_;
    } else {
        Status->setText(qtext(N_("フレームを数字で入力してください")));
        QApplication::beep();
        return;
    }
    Status->clear();
    menu_->takeOver(replay_, frame);
}

bool Practice::handleKey(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        type(key - Qt::Key_0);
        return true;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat()) choose();
        return true;
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Backspace:
        if (typed_ >= 0) {
            typed_ = typed_ >= 10 ? typed_ / 10 : -1;
            Status->clear();
            showTyped();
        }
        return true;
    default: return false; // up, down and the rest move through the list
    }
}

} // namespace kestrow
