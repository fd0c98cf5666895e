#include "form1.h"

#include "form2.h"
#include "form3.h"
#include "form4.h"
#include "form5.h"
#include "form6.h"
#include "gamestart.h"
#include "look.h"
#include "online.h"
#include "practice.h"
#include "replaylist.h"
#include "rival.h"
#include "settings/settings.h"
#include "titlepicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace kestrow {
namespace {

constexpr int kWidth = 270;
constexpr int kHeight = 446;      // the six captions of old, and a line each for L, O, W, G and P
constexpr int kTitleHeight = 180; // the title picture, with the line right under it

struct Caption {
    int top;
    const char* text;
};

constexpr std::array<Caption, 11> kCaptions{{
    {192, N_("Enter --- 新たな人生を歩む")},
    {216, N_("S key --- 前世の遺産")},
    {240, N_("H key --- 一番すごい前世の一生")},
    {256, N_("N key --- 一つ前の前世の一生")},
    {272, N_("R key --- さまざまな一生")},
    {296, N_("ESC   --- ばいばい")},
    {320, N_("L key --- 記録の一覧")},
    {344, N_("O key --- 設定")},
    {368, N_("W key --- オンライン")},
    {392, N_("G key --- 一番すごい前世と競う")},
    {416, N_("P key --- 練習")},
}};

} // namespace

Form1::Form1(const std::filesystem::path& appDir) : Form1(appDir, common::recordsPlace(appDir)) {}

Form1::Form1(const std::filesystem::path& appDir, const common::RecordsPlace& records)
    : appDir_(QDir(QString::fromStdString(appDir.string())).absolutePath()), records_(records),
      title_(titlePicture()) {
    setUpWindow(this, QStringLiteral("Velmora Kestrow"), kWidth, kHeight);
    for (size_t i = 0; i < kCaptions.size(); ++i) {
        Label1[i] = addCaption(this, qtext(kCaptions[i].text), 8, kCaptions[i].top, 257);
    }
    Said = addCaption(this, QString(), 8, kHeight - 4, 257);
    Said->setTextFormat(Qt::PlainText); // a server's words among them
    Said->setWordWrap(true);
    Said->hide();
    setFocusPolicy(Qt::StrongFocus);
    online_ = std::make_unique<Online>(settings::settingsFile(), player::keyFile(), Outbox::defaultFolder());
    watchNewReplay();
    online_->sendWaiting(); // runs left waiting by an earlier menu
}

void Form1::watchNewReplay() {
    // Where the game writes it, never the seed folder's copy.
    const QString file = QString::fromStdString((records_.folder / "NewReplay.rep").string());
    auto read = [file] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.read(64 * 1024 + 1) : QByteArray();
    };
    lastNewReplay_ = read();
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(1000);
    QObject::connect(settle_, &QTimer::timeout, this, [this, file, read] {
        if (!records_watch_->files().contains(file)) records_watch_->addPath(file); // a new file
        const QByteArray bytes = read();
        if (bytes.isEmpty() || bytes == lastNewReplay_) return;
        lastNewReplay_ = bytes;
        online_->reload();
        if (online_->enabled() && online_->autoSubmit()) {
            online_->submitBytes(bytes, QStringLiteral("NewReplay.rep"), nullptr);
        }
    });
    // The file and its folder are watched: a file written anew under the same name is
    // a change of the folder, one written over a change of the file. A folder the first
    // game has yet to make is looked for every few seconds.
    records_watch_ = new QFileSystemWatcher(this);
    QObject::connect(records_watch_, &QFileSystemWatcher::directoryChanged, settle_,
                     qOverload<>(&QTimer::start));
    QObject::connect(records_watch_, &QFileSystemWatcher::fileChanged, settle_, qOverload<>(&QTimer::start));
    if (QFile::exists(file)) records_watch_->addPath(file);
    const QString folder = QFileInfo(file).absolutePath();
    if (!records_watch_->addPath(folder)) {
        auto* look = new QTimer(this);
        QObject::connect(look, &QTimer::timeout, this, [this, look, folder] {
            if (!records_watch_->addPath(folder)) return;
            look->deleteLater();
            settle_->start();
        });
        look->start(3000);
    }
}

Form1::~Form1() {
    // The other windows are windows of their own (closing the menu leaves them open);
    // they go when the menu object goes.
    delete form2_;
    delete form3_;
    delete form4_;
    delete form5_;
    delete form6_;
    delete practice_;
}

Form2* Form1::form2() const { return form2_; }

Form3* Form1::form3() const { return form3_; }

Form4* Form1::form4() const { return form4_; }

Form5* Form1::form5() const { return form5_; }

Form6* Form1::form6() const { return form6_; }

Practice* Form1::practice() const { return practice_; }

bool Form1::ShellExe(const QString& rep, const QString& rival) {
    if (startGame(appDir_, rep, rival)) return true;
    showError(this, qtext(kNoFileText));
    return false;
}

bool Form1::takeOver(const QString& rep, long frame) {
    if (startGame(appDir_, rep, QString(), frame)) return true;
    showError(this, qtext(kNoFileText));
    return false;
}

void Form1::startNewGame() {
    if (choosingRival_) return; // one game, once its rival is there
    const settings::Settings s = settings::load(settings::settingsFile(), nullptr);
    choosingRival_ = true;
    if (s.rival == settings::RivalChoice::Above || s.rival == settings::RivalChoice::Top)
        say(qtext(N_("ライバルの記録を取ってきています…")));
    QPointer<Form1> self(this);
    chooseRival(*online_, s.rival, recordPath("HiReplay.rep"),
                QDir(cacheFolder()).filePath(QStringLiteral("runs")), [self](QString file, QString why) {
                    if (!self) return;
                    self->choosingRival_ = false;
                    self->say(why.isEmpty() ? QString() : qtext(N_("ライバルなしで始めます: %1")).arg(why));
                    self->ShellExe(QString(), file);
                });
}

void Form1::say(const QString& text) {
    Said->setText(text);
    Said->setVisible(!text.isEmpty());
    int height = kHeight;
    if (!text.isEmpty()) {
        Said->setFixedHeight(Said->heightForWidth(Said->width()));
        height += Said->height() + 2;
    }
    setFixedSize(kWidth, height);
    update();
}

void Form1::keyPressEvent(QKeyEvent* event) {
    // A held key repeats; one press is one game, not a row of them.
    if (event->isAutoRepeat()) return;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: startNewGame(); break;
    case Qt::Key_S: showForm2(); break;
    case Qt::Key_R: showForm3(); break;
    case Qt::Key_L: showForm4(); break;
    case Qt::Key_O: showForm5(); break;
    case Qt::Key_W: showForm6(); break;
    case Qt::Key_N: // the key the caption names
    case Qt::Key_B: // and the one the menu has always answered to
        ShellExe(recordPath("NewReplay.rep"));
        break;
    case Qt::Key_H: ShellExe(recordPath("HiReplay.rep")); break;
    case Qt::Key_G: ShellExe(QString(), recordPath("HiReplay.rep")); break;
    case Qt::Key_P: showPractice(recordPath("HiReplay.rep"), QStringLiteral("HiReplay")); break;
    case Qt::Key_Escape: close(); break;
    default: QWidget::keyPressEvent(event);
    }
}

QString Form1::recordPath(const char* name) const {
    return QString::fromStdString(common::recordToRead(records_, name).string());
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (title_.isNull()) {
        painter.fillRect(0, 0, kWidth, kTitleHeight, Qt::black);
    } else {
        painter.drawPixmap(0, 0, title_);
    }
    painter.setPen(kLightBlue);
    painter.drawLine(0, kTitleHeight, 272, kTitleHeight);
    drawFrame(painter, this);
}

void Form1::showForm2() {
    if (!form2_) {
        form2_ = new Form2(records_);
        showOnScreenOf(form2_, this);
        form2_->Form_Load();
    }
    showOnScreenOf(form2_, this);
}

void Form1::showForm4() {
    if (!form4_) form4_ = new Form4(this);
    showOnScreenOf(form4_, this);
}

void Form1::showForm3() {
    if (!form3_) form3_ = new Form3(QString::fromStdString(records_.folder.string()), this);
    showOnScreenOf(form3_, this);
}

void Form1::showForm5() {
    if (!form5_) form5_ = new Form5();
    showOnScreenOf(form5_, this);
}

void Form1::showPractice(const QString& replay, const QString& shownName) {
    if (!QFileInfo(replay).isFile()) {
        showError(this, qtext(kNoFileText));
        return;
    }
    if (practice_ && practice_->replay() != replay) delete practice_; // the other run gives way
    if (!practice_) practice_ = new Practice(this, replay, shownName);
    showOnScreenOf(practice_, this);
}

void Form1::showForm6() {
    if (!form6_) {
        form6_ = new Form6(this);
    } else {
        form6_->refresh();
    }
    showOnScreenOf(form6_, this);
}

} // namespace kestrow
