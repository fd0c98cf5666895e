// Taking over a playback: going live at a frame, playing the game again to a frame,
// the practice choices, and the take-over's own replay.
#include "session/takeover.h"

#include <algorithm>
#include <cstring>

#include "language/language.h"
#include "media/dtools.h"
#include "media/gdi.h"
#include "media/stools.h"
#include "presentation/presentation.h"
#include "records/records.h"

namespace tolvane {
namespace {

// Each "%d" or "%s" of `format` in turn takes the next of `values`.
std::string filled(const std::string& format, const std::vector<std::string>& values) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 'd' || format[i + 1] == 's') &&
            next < values.size()) {
            out += values[next++];
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

bool isBoss(u8 kind) { return kind == kFirstBoss || kind == kSecondBoss || kind == kLastBoss; }

// While one lives, frames are played again behind the picture shown: nothing drawn, no
// sound reaches the device, and the songs asked for are noted so that the one of the
// last frame can start again afterwards.
class ReplayedFrames {
  public:
    ReplayedFrames() : wasLogging_(media::soundLogging()), logged_(media::soundLog()) {
        media::setUnseen(true);
        media::muteThisThread(true);
        media::setSoundLogging(true);
    }
    ~ReplayedFrames() { end(); }
    ReplayedFrames(const ReplayedFrames&) = delete;
    ReplayedFrames& operator=(const ReplayedFrames&) = delete;

    // The last frame: drawn, still silent.
    void drawFromNowOn() { media::setUnseen(false); }

    // Ends it: the song that the frames played last starts again from its beginning.
    void end() {
        if (done_) return;
        done_ = true;
        std::string song;
        bool playing = false;
        for (const media::SoundCall& c : media::soundLog()) {
            if (c.name == "MTStop") playing = false, song.clear();
            if (c.name == "MTReadFile") song = c.path;
            if (c.name == "MTPlay") playing = !song.empty();
        }
        // Whoever logged the sound calls before finds the log as it was.
        media::setSoundLogging(wasLogging_);
        media::soundLog() = logged_;
        media::muteThisThread(false);
        media::setUnseen(false);
        MTStop();
        if (playing) {
            MTReadFile(song.c_str());
            MTPlay();
        }
    }

  private:
    bool done_ = false;
    bool wasLogging_;
    std::vector<media::SoundCall> logged_;
};

} // namespace

TakeOver::TakeOver(Session& game, PracticeChoice choice, RunIdOf runIdOf)
    : game_(game), choice_(choice), runIdOf_(std::move(runIdOf)) {
    const World& w = game_.world();
    original_.assign(std::begin(w.replayInput), std::end(w.replayInput));
    UnseenFrames unseen;
    Session whole;
    std::copy(original_.begin(), original_.end(), std::begin(whole.world().replayInput));
    whole.preparePlayback();
    whole.world().running = 1;
    whole.begin();
    points_ = splitPoints(whole.world());
    originalScore_.reserve(kReplaySlots);
    for (long f = 0; f < kReplaySlots; ++f) {
        const bool ended = whole.frame();
        originalScore_.push_back(whole.world().score);
        if (ended) {
            originalEnd_ = f;
            break;
        }
    }
    // A game always ends on time; one that did not is taken over anywhere it was played.
    if (originalEnd_ < 0) originalEnd_ = kLastReplayIndex - 1;
}

TakeOver::~TakeOver() {
    if (font_ != 0) DeleteObject(font_);
}

i32 TakeOver::originalScore() const { return originalScore_.empty() ? 0 : originalScore_.back(); }

i32 TakeOver::originalScoreAfter(long frame) const {
    if (originalScore_.empty() || frame < 0) return 0;
    return originalScore_[static_cast<std::size_t>(
        std::min<long>(frame, static_cast<long>(originalScore_.size()) - 1))];
}

long TakeOver::shownFrame() const { return static_cast<long>(game_.world().frameCounter) - 1; }

bool TakeOver::takeOverShown() {
    const World& w = game_.world();
    const long f = shownFrame();
    if (w.replayMode != 1 || f < 0 || f > originalEnd_) return false;
    firstFrame_ = f;
    played_.assign(originalScore_.begin(), originalScore_.begin() + f + 1);
    goLive(f);
    return true;
}

void TakeOver::restartAt(long frame) {
    frame = std::clamp<long>(frame, 0, originalEnd_);
    World& w = game_.world();
    // The bytes of frames 0..frame as played: the original's up to the first frame taken
    // over, the player's after it.
    std::vector<u8> bytes(w.replayInput, w.replayInput + frame + 1);
    if (!active()) std::copy(original_.begin(), original_.begin() + frame + 1, bytes.begin());
    std::memset(static_cast<void*>(&w), 0, sizeof(World));
    std::copy(bytes.begin(), bytes.end(), std::begin(w.replayInput));
    played_.clear();
    {
        ReplayedFrames replayed;
        game_.preparePlayback();
        w.running = 1;
        game_.begin();
        for (long f = 0; f <= frame; ++f) {
            // Only the last frame is composed: it is the picture the countdown stands over.
            if (f == frame) replayed.drawFromNowOn();
            w.frameSkip = f == frame ? 0 : 1;
            game_.frame();
            played_.push_back(w.score);
        }
    }
    w.frameSkip = 0;
    if (!active() || frame < firstFrame_) firstFrame_ = frame;
    goLive(frame);
}

void TakeOver::rewind(long frames) { restartAt(std::max(0L, shownFrame() - frames)); }

void TakeOver::goLive(long frame) {
    World& w = game_.world();
    w.replayMode = 0;
    w.takenOver = 1;
    w.playbackSpeed = 0;
    w.frameSkip = 0;
    w.recordNotSaved = 0;
    // From the first live frame on the buffer records the player.
    std::memset(w.replayInput + frame + 1, 0, static_cast<std::size_t>(kReplaySlots - frame - 1));
    // The newly pressed flags go on from the playback's: a key held across the take-over
    // is held, not pressed again, exactly as the written replay will play it.
    Joystick& joy = game_.joystick();
    joy.lastUp = w.prevUp;
    joy.lastDown = w.prevDown;
    joy.lastLeft = w.prevLeft;
    joy.lastRight = w.prevRight;
    joy.lastBomb = (w.replayInput[frame] & 16) != 0 ? -1 : 0;
    while (!starts_.empty() && starts_.back() > frame) starts_.pop_back();
    if (starts_.empty() || starts_.front() > firstFrame_) starts_.assign(1, frame);
    bossBefore_ = bossPresent();
    endedBefore_ = game_.ended();
    // Taken over on the results screen: the game is the original's, ended where it ended.
    endFrame_ = endedBefore_ ? originalEnd_ : -1;
    saved_ = false;
}

bool TakeOver::bossPresent() const {
    const World& w = game_.world();
    for (int i = 0; i < kObjectSlots; ++i)
        if (isBoss(w.objKind[i])) return true;
    return false;
}

int TakeOver::afterFrame() {
    if (!active()) return 0;
    World& w = game_.world();
    const long f = shownFrame();
    if (f < 0) return 0;
    played_.resize(static_cast<std::size_t>(f), played_.empty() ? 0 : played_.back());
    played_.push_back(w.score);
    if (sectionLineLeft_ > 0) --sectionLineLeft_;

    if (game_.ended() && !endedBefore_) {
        endedBefore_ = true;
        endFrame_ = f;
        save(std::time(nullptr));
        return 0;
    }
    if (game_.ended()) return 0;

    // A miss: the only thing that sets the blink timer to 160 (it counts down before
    // the objects move).
    if (choice_.rewindOnMiss && w.blinkTimer == 160) {
        rewind(kMissRewindFrames);
        return 1;
    }

    // A section ends at a split point after its start, or when a boss leaves the table.
    const bool bossNow = bossPresent();
    const bool bossGone = bossBefore_ && !bossNow;
    bossBefore_ = bossNow;
    const long from = starts_.back();
    const bool split =
        std::any_of(points_.begin(), points_.end(), [&](const SplitPoint& p) { return p.frame == f; });
    if (f <= from || !(split || bossGone)) return 0;
    section_.from = from;
    section_.to = f;
    section_.gain = static_cast<long long>(played_[static_cast<std::size_t>(f)]) -
                    played_[static_cast<std::size_t>(from)];
    section_.originalGain = static_cast<long long>(originalScoreAfter(f)) - originalScoreAfter(from);
    sectionLineLeft_ = kSectionLineFrames;
    if (choice_.loopSection) {
        restartAt(firstFrame_);
        return 3;
    }
    starts_.push_back(f);
    return 0;
}

std::string TakeOver::countdownLine() const {
    return filled(_("フレーム%dから操作"), {std::to_string(shownFrame())});
}

std::vector<std::string> TakeOver::notes() const {
    std::vector<std::string> out;
    if (!active()) return out;
    if (game_.ended()) {
        out.push_back(filled(_("フレーム%dから操作"), {std::to_string(firstFrame_)}));
        out.push_back(filled(_("元の記録 %s点"), {groupedFigure(originalScore())}));
        if (game_.world().recordNotSaved != 0) out.push_back(_("記録を保存できませんでした。"));
    } else if (sectionLineLeft_ > 0 && section_.to >= 0) {
        out.push_back(filled(_("区間 %s / 元の記録 %s"),
                             {signedFigure(section_.gain), signedFigure(section_.originalGain)}));
    }
    return out;
}

void TakeOver::drawLines(bool countingDown) {
    const std::vector<std::string> lines = notes();
    if (!countingDown && lines.empty()) return;
    const HDC dc = DTGetDC(sheet::kBackBuffer);
    if (dc == 0) return;
    if (font_ == 0)
        font_ = CreateFontA(16, 0, 0, 0, 700, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, faceName("2"));
    const HFONT old = SelectObject(dc, font_);
    if (countingDown) {
        // Under the countdown's figure, about centred: the font's cells are 8 pixels a byte.
        const std::string bytes = textBytes(countdownLine());
        drawLine(dc, 0xFFFFFF, bytes, 320 - 4 * static_cast<int>(bytes.size()), 250);
    }
    // Bottom left, on black, above the bomb stock; on the results screen left of their box
    // (the frame and the original's score), a failure to write below it.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int y = !game_.ended() ? 424 : i < 2 ? 404 + 20 * static_cast<int>(i) : 456;
        drawLine(dc, 0xFFFFFF, textBytes(lines[i]), 12, y);
    }
    SelectObject(dc, old);
    DTReleaseDC(sheet::kBackBuffer, dc);
}

std::string TakeOver::fileBytes() const {
    // The frames played, up to the game's end when it has ended (the results screen's
    // frames are no part of it) and at most what the buffer holds; then the one entry
    // of the frame not played, 0.
    const World& w = game_.world();
    long count = std::clamp<long>(w.replayFrame, 0, kLastReplayIndex);
    if (endFrame_ >= 0) count = std::min(count, endFrame_ + 1);
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((count >> shift) & 0xFF));
    bytes.append(reinterpret_cast<const char*>(w.replayInput), static_cast<std::size_t>(count));
    bytes.push_back('\0');
    return bytes;
}

const std::string& TakeOver::runId() {
    if (runId_.empty() && runIdOf_) {
        // The buffer as loaded is the game the original played.
        std::string file(4, '\0');
        for (int i = 0; i < 4; ++i)
            file[static_cast<std::size_t>(i)] = static_cast<char>((kLastReplayIndex >> (8 * i)) & 0xFF);
        file.append(reinterpret_cast<const char*>(original_.data()), original_.size());
        UnseenFrames unseen;
        runId_ = runIdOf_(file);
    }
    return runId_;
}

std::string TakeOver::fileName(std::time_t when) {
    runId();
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string run = runId_.size() >= 12 ? runId_.substr(0, 12) : std::string("unknown");
    return "takeover-" + run + "-f" + std::to_string(firstFrame_) + "-" + stamp + ".rep";
}

bool TakeOver::save(std::time_t when) {
    if (!active()) return false;
    const std::string bytes = fileBytes();
    const std::string name = fileName(when);
    saved_ = true;
    if (bytes.empty() || !writeRecord(name, bytes)) {
        game_.world().recordNotSaved = 1;
        return false;
    }
    savedName_ = name;
    return true;
}

} // namespace tolvane
