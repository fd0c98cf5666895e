// The race against a rival: its world stepped beside the player's, its ghost, the gap,
// the splits and the results line.
#include "session/race.h"

#include <algorithm>
#include <cstdlib>

#include "common/cp932.h"
#include "language/language.h"
#include "media/dtools.h"
#include "media/gdi.h"
#include "media/stools.h"
#include "presentation/presentation.h"

namespace tolvane {
namespace {

// Ahead in blue, behind in orange: two colours that stay apart for colour-blind eyes
// too, and the sign says it once more. 0x00BBGGRR.
constexpr COLORREF kAhead = 0xFFA64D;
constexpr COLORREF kBehind = 0x2C9EFF;
constexpr COLORREF kEven = 0xFFFFFF;
constexpr std::int32_t kGhostColour = 0xFFE6C8; // a pale blue-white

COLORREF colourOf(long long gap) { return gap > 0 ? kAhead : gap < 0 ? kBehind : kEven; }

std::string withNumber(const std::string& format, long long n) {
    const std::size_t at = format.find("%d");
    if (at == std::string::npos) return format;
    return format.substr(0, at) + std::to_string(n) + format.substr(at + 2);
}

std::string withText(const std::string& format, const std::string& text) {
    const std::size_t at = format.find("%s");
    if (at == std::string::npos) return format + text;
    return format.substr(0, at) + text + format.substr(at + 2);
}

} // namespace

std::string textBytes(const std::string& utf8) {
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80) return common::utf8ToCp932(utf8).value_or(std::string{});
    }
    return utf8;
}

void drawLine(HDC dc, COLORREF colour, const std::string& bytes, int x, int y) {
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, 0);
    SetTextColor(dc, colour);
    TextOutA(dc, x, y, bytes.data(), static_cast<int>(bytes.size()));
}

std::string SplitPoint::name() const { return (kind == Stage ? "stage " : "boss ") + std::to_string(number); }

std::string SplitPoint::shownName() const {
    return withNumber(kind == Stage ? _("ステージ%d") : _("ボス%d"), number);
}

std::vector<SplitPoint> splitPoints(const World& w) {
    std::vector<SplitPoint> out;
    int bosses = 0;
    for (int i = 0; i < w.scriptCount && i < kScriptSlots; ++i) {
        const i16 kind = w.scriptKind[i];
        SplitPoint p;
        p.frame = w.scriptTime[i];
        if (kind == kStageBanner) {
            // The banner's picture is surface 5, 6 or 7: stage 1, 2, 3.
            p.kind = SplitPoint::Stage;
            p.number = w.scriptX[i] - sheet::kStage1Card + 1;
            if (p.number <= 1) continue;
        } else if (kind == kFirstBoss || kind == kSecondBoss || kind == kLastBoss) {
            p.kind = SplitPoint::Boss;
            p.number = ++bosses;
        } else {
            continue;
        }
        out.push_back(p);
    }
    return out;
}

UnseenFrames::UnseenFrames() {
    media::setUnseen(true);
    media::silenceSound(true);
}

UnseenFrames::~UnseenFrames() {
    media::silenceSound(false);
    media::setUnseen(false);
}

std::vector<Loss> worstSpans(const std::vector<long long>& gap, long span, int count) {
    const long n = static_cast<long>(gap.size());
    auto before = [&](long f) { return f <= 0 ? 0 : gap[f - 1]; };
    std::vector<Loss> all;
    for (long from = 0; from + span <= std::max(n, span); ++from) {
        const long to = std::min(n, from + span);
        all.push_back({from, to, before(from) - before(to)});
        if (to == n) break;
    }
    std::stable_sort(all.begin(), all.end(), [](const Loss& x, const Loss& y) { return x.by > y.by; });
    std::vector<Loss> out;
    for (const Loss& l : all) {
        if (static_cast<int>(out.size()) == count || l.by <= 0) break;
        bool apart = true;
        for (const Loss& o : out) apart = apart && (l.to <= o.from || l.from >= o.to);
        if (apart) out.push_back(l);
    }
    return out;
}

std::string groupedFigure(long long value) {
    std::string digits = std::to_string(std::llabs(value));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return (value < 0 ? "-" : "") + digits;
}

std::string signedFigure(long long value) {
    if (value == 0) return "\u00B10";
    return (value > 0 ? "+" : "\u2212") + groupedFigure(std::llabs(value));
}

// ---- The rival's game ----

RivalRun::RivalRun() : game_(std::make_unique<Session>()) {}

bool RivalRun::load(const std::string& path, std::string* why) {
    UnseenFrames unseen;
    if (!game_->preparePlayback(path, why)) return false;
    // The final score: the same bytes played to their end once, now (a few hundredths
    // of a second), so that the results can compare whole games.
    Session whole;
    std::copy(std::begin(game_->world().replayInput), std::end(game_->world().replayInput),
              std::begin(whole.world().replayInput));
    whole.preparePlayback();
    whole.world().running = 1;
    whole.begin();
    whole.runToEnd(kReplaySlots);
    finalScore_ = whole.world().score;
    return true;
}

void RivalRun::begin() {
    UnseenFrames unseen;
    game_->world().running = 1;
    game_->begin();
}

void RivalRun::step() {
    if (ended()) return;
    UnseenFrames unseen;
    game_->frame();
}

// ---- The race ----

Race::Race(Session& player, RaceLook look) : player_(player), look_(look) {
    layer_.draw = &Race::drawGhost;
    layer_.context = this;
}

Race::~Race() {
    player_.setUnderShipLayer(nullptr);
    if (font_ != 0) DeleteObject(font_);
}

bool Race::load(const std::string& rivalPath, std::string* why) { return rival_.load(rivalPath, why); }

void Race::begin() {
    rival_.begin();
    points_ = splitPoints(player_.world());
    nextPoint_ = 0;
    player_.setUnderShipLayer(&layer_);
}

long long Race::gap() const {
    return static_cast<long long>(player_.world().score) - static_cast<long long>(rival_.score());
}

void Race::drawGhost(const void* self) {
    const Race& r = *static_cast<const Race*>(self);
    if (!r.ghostShown_ || r.rival_.ended() || r.look_.ghostPercent <= 0) return;
    // The rival's ship where the player's is drawn from: after the previous frame.
    const World& w = r.rival_.world();
    DTSilhouette(sheet::kBackBuffer, w.shipX - 16, w.shipY - 16, 32, 32, sheet::kShipSheet, w.shipCellX,
                 w.shipCellY, kGhostColour, r.look_.ghostPercent);
}

void Race::afterFrame() {
    rival_.step();
    const World& w = player_.world();
    const long index = static_cast<long>(w.frameCounter) - 1; // the frame just run
    // A split counts when the player's game still ran: after its end nothing spawns.
    while (nextPoint_ < points_.size() && points_[nextPoint_].frame <= index) {
        const SplitPoint& p = points_[nextPoint_++];
        if (p.frame != index || w.timeUpDone != 0) continue;
        const long long now = gap();
        split_.gap = now;
        split_.change = now - lastSplitGap_;
        split_.until = index + kSplitFrames - 1;
        const std::string sign = split_.change > 0 ? "\u25B2" : split_.change < 0 ? "\u25BC" : "";
        split_.line = p.shownName() + "  " + signedFigure(now) + "  (" + _("前回から") + " " + sign +
                      signedFigure(split_.change) + ")";
        lastSplitGap_ = now;
        splitBytes_ = textBytes(split_.line);
    }
    if (w.frameSkip == 0 && media::drawing()) drawReadouts();
}

const std::string& Race::gapText(long long value) {
    if (!gapShown_.made || gapShown_.value != value) {
        gapShown_ = {value, true, textBytes(signedFigure(value))};
    }
    return gapShown_.bytes;
}

void Race::drawReadouts() {
    const World& w = player_.world();
    const long index = static_cast<long>(w.frameCounter) - 1;
    const HDC dc = DTGetDC(sheet::kBackBuffer);
    if (dc == 0) return;
    // The font of the game's text passes ("2", 16 pixels, bold), made once: what changes
    // from frame to frame is the figures, and their bytes are made again only then.
    if (font_ == 0) {
        font_ = CreateFontA(16, 0, 0, 0, 700, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, faceName("2"));
    }
    const HFONT old = SelectObject(dc, font_);
    if (w.gameEnded == 0) {
        // The gap at this frame, under the score and the time, on black so that the
        // bullets never hide it.
        const long long now = gap();
        drawLine(dc, colourOf(now), gapText(now), 290, 54);
        if (look_.splits && index <= split_.until && !split_.line.empty()) {
            drawLine(dc, colourOf(split_.change), splitBytes_, 168, 352);
        }
    } else {
        // Whole games compared: the player's final score against the rival's.
        const long long whole = static_cast<long long>(w.score) - static_cast<long long>(rival_.finalScore());
        if (!wholeShown_.made || wholeShown_.value != whole) {
            wholeShown_ = {whole, true, textBytes(withText(_("ライバルとの差: %s"), signedFigure(whole)))};
        }
        // Bottom left, on black: clear of the results' box and the title's lettering.
        drawLine(dc, colourOf(whole), wholeShown_.bytes, 12, 456);
    }
    SelectObject(dc, old);
    DTReleaseDC(sheet::kBackBuffer, dc);
}

} // namespace tolvane
