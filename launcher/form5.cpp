#include "form5.h"

#include <SDL.h>

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>

#ifdef KESTROW_HAVE_SOUND
#include "common/appdir.h"
#include "media/stools.h"
#include "resources/embedded.h"
#endif

namespace kestrow {
namespace {

using settings::Action;

// clang-format off
const std::array<const char*, settings::kActionCount> kActionLabels = {
    N_("上へ"), N_("下へ"), N_("左へ"), N_("右へ"), N_("ボム"), N_("一時停止"), N_("全画面"),
    N_("画面写真"), N_("やめる"), N_("再生を速く"), N_("再生を遅く"), N_("再生を最速に"),
    N_("再生の一時停止"), N_("一コマ進む"), N_("600コマ進む"), N_("結果へ跳ぶ"), N_("再生パネル"), N_("ゴーストの表示"),
    N_("ここから操作する"), N_("操作をやり直す"), N_("5秒戻す"),
};
// clang-format on

constexpr int kRowCount = settings::kActionCount + 16;
constexpr int kRowHeight = 20;
constexpr int kWidth = 440;
constexpr int kHeight = 48 + kRowCount * kRowHeight + 2 + 32; // made to fit the rows once they are laid out
// The tallest the window is made: on a 1024x768 screen it leaves room for the title bar
// (and on a smaller screen the screen's own height is the limit); the rest of the rows
// scroll.
constexpr int kMostHeight = 720;

QString keysText(const std::vector<settings::Key>& keys) {
    return keys.empty() ? qtext("（なし）") : QString::fromStdString(settings::keyList(keys));
}

// The keypad's keys as Qt reports them, with the keypad flag set.
settings::Key keypadKey(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key == Qt::Key_0 ? SDLK_KP_0 : SDLK_KP_1 + (key - Qt::Key_1);
    switch (key) {
    case Qt::Key_Up: return SDLK_KP_8; // the keypad without Num Lock
    case Qt::Key_Down: return SDLK_KP_2;
    case Qt::Key_Left: return SDLK_KP_4;
    case Qt::Key_Right: return SDLK_KP_6;
    case Qt::Key_Home: return SDLK_KP_7;
    case Qt::Key_End: return SDLK_KP_1;
    case Qt::Key_PageUp: return SDLK_KP_9;
    case Qt::Key_PageDown: return SDLK_KP_3;
    case Qt::Key_Clear: return SDLK_KP_5;
    case Qt::Key_Insert: return SDLK_KP_0;
    case Qt::Key_Delete: return SDLK_KP_PERIOD;
    case Qt::Key_Period: return SDLK_KP_PERIOD;
    case Qt::Key_Enter: return SDLK_KP_ENTER;
    case Qt::Key_Plus: return SDLK_KP_PLUS;
    case Qt::Key_Minus: return SDLK_KP_MINUS;
    case Qt::Key_Asterisk: return SDLK_KP_MULTIPLY;
    case Qt::Key_Slash: return SDLK_KP_DIVIDE;
    default: return 0;
    }
}

// Left and right modifier keys differ only in their scan code (X11's key codes).
settings::Key modifierKey(int key, quint32 scanCode) {
    switch (key) {
    case Qt::Key_Shift: return scanCode == 62 ? SDLK_RSHIFT : SDLK_LSHIFT;
    case Qt::Key_Control: return scanCode == 105 ? SDLK_RCTRL : SDLK_LCTRL;
    case Qt::Key_Alt: return scanCode == 108 ? SDLK_RALT : SDLK_LALT;
    case Qt::Key_AltGr: return SDLK_RALT;
    default: return 0;
    }
}

#ifdef KESTROW_HAVE_SOUND
// The game's own sounds, at the loudness being chosen: the contact effect, or the
// first seconds of the first stage's song.
void playPreview(const settings::Settings& s, int volume) {
    static bool opened = false;
    if (!opened) {
        opened = true;
        STInit(nullptr, 0);
        const res::Blob contact = res::find("WAVE", 101);
        if (contact) STReadBytes(0, contact.data, contact.size, 3);
    }
    media::setVolumes(s.effects, s.music);
    if (volume == 0) {
        STPlay(0);
        return;
    }
    MTStop();
    if (s.music == 0) return;
    const std::string song = (common::dataDirectory() / "stage1.mid").string();
    MTReadFile(song.c_str());
    MTPlay();
    static int previews = 0;
    const int mine = ++previews;
    QTimer::singleShot(2500, [mine] {
        if (mine == previews) MTStop();
    });
}
#endif

} // namespace

settings::Key sdlKeyOf(const QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() & Qt::KeypadModifier) return keypadKey(key);
    if (const settings::Key m = modifierKey(key, event->nativeScanCode())) return m;
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'a' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return SDLK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Up: return SDLK_UP;
    case Qt::Key_Down: return SDLK_DOWN;
    case Qt::Key_Left: return SDLK_LEFT;
    case Qt::Key_Right: return SDLK_RIGHT;
    case Qt::Key_Space: return SDLK_SPACE;
    case Qt::Key_Return: return SDLK_RETURN;
    case Qt::Key_Tab: return SDLK_TAB;
    case Qt::Key_Backspace: return SDLK_BACKSPACE;
    case Qt::Key_Insert: return SDLK_INSERT;
    case Qt::Key_Home: return SDLK_HOME;
    case Qt::Key_End: return SDLK_END;
    case Qt::Key_PageUp: return SDLK_PAGEUP;
    case Qt::Key_PageDown: return SDLK_PAGEDOWN;
    case Qt::Key_Pause: return SDLK_PAUSE;
    case Qt::Key_Escape: return SDLK_ESCAPE;
    case Qt::Key_Delete: return SDLK_DELETE;
    default: break;
    }
    // Other keys that type one ASCII character (punctuation) are named by it.
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() > 32 && text[0].unicode() < 127)
        return QChar(text[0]).toLower().unicode();
    return 0;
}

Form5::Form5(const std::filesystem::path& file) : SubWindow(qtext("設定")), file_(file) {
    std::vector<std::string> warnings;
    loaded_ = settings::load(file_, &warnings);
    for (const std::string& w : warnings) std::fprintf(stderr, "kestrow: %s\n", w.c_str());
    edited_ = loaded_;

    setUpFixed(kWidth, kHeight, qtext("Enter --- キーを足す   Del --- キーを外す"),
               qtext("←→ --- 値を変える      ESC --- もどる"));
    for (int a = 0; a < settings::kActionCount; ++a)
        rows_.push_back({Kind::Keys, a, qtext(kActionLabels[a])});
    rows_.push_back({Kind::PadButton, 0, qtext("パッドのボム")});
    rows_.push_back({Kind::PadButton, 1, qtext("パッドの一時停止")});
    rows_.push_back({Kind::Deadzone, 0, qtext("スティックの遊び")});
    rows_.push_back({Kind::Volume, 0, qtext("効果音の音量")});
    rows_.push_back({Kind::Volume, 1, qtext("音楽の音量")});
    rows_.push_back({Kind::Fullscreen, 0, qtext("全画面で始める")});
    rows_.push_back({Kind::Scale, 0, qtext("絵の拡大")});
    rows_.push_back({Kind::Window, 0, qtext("窓の大きさ")});
    rows_.push_back({Kind::Language, 0, qtext("言語")});
    rows_.push_back({Kind::Rival, 0, qtext("新たな人生のライバル")});
    rows_.push_back({Kind::Ghost, 0, qtext("ゴーストの濃さ")});
    rows_.push_back({Kind::Splits, 0, qtext("区間ごとの差")});
    rows_.push_back({Kind::OnMiss, 0, qtext(N_("ミスしたとき"))});
    rows_.push_back({Kind::Loop, 0, qtext(N_("区間の繰り返し"))});
    rows_.push_back({Kind::Reset, 0, qtext("Reset to defaults")});
    rows_.push_back({Kind::Ok, 0, QStringLiteral("OK")});

    List1 = new QTableWidget(static_cast<int>(rows_.size()), 2, this);
    styleBox(List1);
    List1->setGeometry(8, 48, kWidth - 16, kRowCount * kRowHeight + 2);
    List1->horizontalHeader()->hide();
    List1->verticalHeader()->hide();
    List1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    List1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    List1->setColumnWidth(0, 176);
    List1->horizontalHeader()->setStretchLastSection(true);
    List1->setSelectionBehavior(QAbstractItemView::SelectRows);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setTabKeyNavigation(false);
    fill();
    // Every row shown (the font may make a row taller than asked) while the window fits
    // the screen, the status line below.
    int most = kMostHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        most = std::min(most, screen->availableGeometry().height() - 48);
    const int listHeight =
        std::min(List1->verticalHeader()->length() + 2 * List1->frameWidth(), most - 48 - 32);
    List1->setFixedHeight(listHeight);
    setFixedSize(kWidth, 48 + listHeight + 32);
    Status = addCaption(this, QString(), 8, 48 + listHeight + 7, kWidth - 16);
    List1->setCurrentCell(0, 0);
    takeKeysOf(List1);
}

Form5::~Form5() {
#ifdef KESTROW_HAVE_SOUND
    MTStop();
#endif
}

void Form5::fill() {
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        if (!List1->item(r, 0)) {
            List1->setItem(r, 0, new QTableWidgetItem(rows_[r].label));
            List1->setItem(r, 1, new QTableWidgetItem());
        }
        showRow(r);
    }
}

void Form5::showRow(int r) {
    const Row& row = rows_[r];
    QString value;
    switch (row.kind) {
    case Kind::Keys: value = keysText(edited_.keys[row.which]); break;
    case Kind::PadButton:
        value =
            QString::fromStdString(settings::buttonName(row.which == 0 ? edited_.padBomb : edited_.padPause));
        break;
    case Kind::Deadzone: value = QStringLiteral("%1 %").arg(edited_.deadzone); break;
    case Kind::Volume: {
        // A slider that only shows: the arrows of the list move it.
        const int v = row.which == 0 ? edited_.effects : edited_.music;
        auto* slider = qobject_cast<QSlider*>(List1->cellWidget(r, 1));
        if (!slider) {
            slider = new QSlider(Qt::Horizontal);
            slider->setRange(0, 100);
            slider->setFocusPolicy(Qt::NoFocus);
            slider->setAttribute(Qt::WA_TransparentForMouseEvents);
            slider->setMaximumWidth(170);
            List1->setCellWidget(r, 1, slider);
        }
        slider->setValue(v);
        value = QString(22, QChar(' ')) + QStringLiteral("%1 %").arg(v);
        break;
    }
    case Kind::Fullscreen: value = edited_.fullscreen ? qtext("はい") : qtext("いいえ"); break;
    case Kind::Scale:
        value = edited_.scale == settings::Scale::Integer ? qtext("整数倍") : qtext("窓いっぱい");
        break;
    case Kind::Window:
        value = edited_.window == 0 ? qtext("自動") : qtext("%1 倍").arg(edited_.window);
        break;
    case Kind::Language: {
        // Each language by its own name.
        const settings::Language l = edited_.language;
        value = l == settings::Language::Auto       ? qtext("自動（デスクトップに合わせる）")
                : l == settings::Language::Japanese ? QStringLiteral("日本語") // not translated: its own name
                                                    : QStringLiteral("English");
        break;
    }
    case Kind::Rival: {
        constexpr const char* kChoices[] = {N_("なし"), N_("自分の最高の一生"),
                                            N_("オンラインで一つ上の順位"), N_("オンラインの1位")};
        value = qtext(kChoices[static_cast<int>(edited_.rival)]);
        break;
    }
    case Kind::Ghost: value = QStringLiteral("%1 %").arg(edited_.ghost); break;
    case Kind::Splits: value = edited_.splits ? qtext("はい") : qtext("いいえ"); break;
    case Kind::OnMiss:
        value = edited_.onMiss == settings::PracticeMiss::Rewind ? qtext(N_("3秒戻す")) : qtext(N_("続ける"));
        break;
    case Kind::Loop:
        value = edited_.loop == settings::PracticeLoop::Section ? qtext(N_("する")) : qtext(N_("しない"));
        break;
    case Kind::Reset:
    case Kind::Ok: break;
    }
    List1->item(r, 1)->setText(value);
}

bool Form5::handleKey(QKeyEvent* event) {
    const int r = List1->currentRow();
    if (r < 0) return false;
    const Row& row = rows_[r];
    if (capturing_) {
        capturing_ = false;
        if (event->key() == Qt::Key_Escape) {
            Status->setText(QString());
            return true;
        }
        const settings::Key key = sdlKeyOf(event);
        if (key == 0)
            Status->setText(qtext("そのキーは使えません"));
        else
            bindKey(row, key);
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Escape: close(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (row.kind == Kind::Keys) {
            capturing_ = true;
            Status->setText(qtext("「%1」に足すキーを押してください").arg(row.label));
        } else if (row.kind == Kind::Reset) {
            edited_ = settings::defaults();
            fill();
            Status->setText(qtext("もとの設定に戻しました（OKで保存）"));
        } else if (row.kind == Kind::Ok) {
            save();
        } else {
            change(row, 1);
        }
        return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (row.kind == Kind::Keys && !edited_.keys[row.which].empty()) {
            edited_.keys[row.which].pop_back();
            showRow(r);
        }
        return true;
    case Qt::Key_Left: change(row, -1); return true;
    case Qt::Key_Right: change(row, 1); return true;
    default: return false; // up, down and the rest move through the list
    }
}

void Form5::change(const Row& row, int step) {
    switch (row.kind) {
    case Kind::PadButton: {
        int& mine = row.which == 0 ? edited_.padBomb : edited_.padPause;
        const int other = row.which == 0 ? edited_.padPause : edited_.padBomb;
        do {
            mine = (mine + step + SDL_CONTROLLER_BUTTON_MAX) % SDL_CONTROLLER_BUTTON_MAX;
        } while (mine == other);
        break;
    }
    case Kind::Deadzone: edited_.deadzone = std::clamp(edited_.deadzone + 5 * step, 0, 100); break;
    case Kind::Volume: {
        int& v = row.which == 0 ? edited_.effects : edited_.music;
        v = std::clamp(v + 5 * step, 0, 100);
        preview(row.which);
        break;
    }
    case Kind::Fullscreen: edited_.fullscreen = !edited_.fullscreen; break;
    case Kind::Scale:
        edited_.scale =
            edited_.scale == settings::Scale::Integer ? settings::Scale::Fit : settings::Scale::Integer;
        break;
    case Kind::Window: edited_.window = (edited_.window + step + 9) % 9; break;
    case Kind::Rival:
        edited_.rival = static_cast<settings::RivalChoice>((static_cast<int>(edited_.rival) + step + 4) % 4);
        break;
    case Kind::Ghost: edited_.ghost = std::clamp(edited_.ghost + 5 * step, 0, 100); break;
    case Kind::Splits: edited_.splits = !edited_.splits; break;
    case Kind::OnMiss:
        edited_.onMiss = edited_.onMiss == settings::PracticeMiss::GoOn ? settings::PracticeMiss::Rewind
                                                                        : settings::PracticeMiss::GoOn;
        break;
    case Kind::Loop:
        edited_.loop = edited_.loop == settings::PracticeLoop::None ? settings::PracticeLoop::Section
                                                                    : settings::PracticeLoop::None;
        break;
    case Kind::Language:
        edited_.language =
            static_cast<settings::Language>((static_cast<int>(edited_.language) + step + 3) % 3);
        fill();
        Status->setText(qtext("言語は次に開いたときから変わります"));
        return;
    default: return;
    }
    Status->setText(QString());
    fill();
}

void Form5::bindKey(const Row& row, settings::Key key) {
    for (int other = 0; other < settings::kActionCount; ++other) {
        const bool together = settings::heardTogether(Action(row.which), Action(other));
        const auto& keys = edited_.keys[other];
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) continue;
        if (other == row.which) {
            Status->setText(qtext("%1 はもう「%2」のキーです")
                                .arg(QString::fromStdString(settings::keyName(key)), row.label));
            return;
        }
        if (together) {
            Status->setText(qtext("%1 は「%2」に使われています")
                                .arg(QString::fromStdString(settings::keyName(key)), rows_[other].label));
            return;
        }
    }
    edited_.keys[row.which].push_back(key);
    Status->setText(QString());
    fill();
}

void Form5::save() {
    std::string why;
    if (!settings::save(file_, settings::changes(loaded_, edited_), &why)) {
        showError(this, qtext("設定を保存できませんでした。\n") + QString::fromStdString(why));
        return;
    }
    loaded_ = edited_;
    close();
}

void Form5::preview(int volume) {
#ifdef KESTROW_HAVE_SOUND
    playPreview(edited_, volume);
#else
    (void)volume;
#endif
}

} // namespace kestrow
