// The window's own keys and its layer: pause, the playback controls and panel,
// fullscreen and screenshots.
#include <string>

#include "language/language.h"
#include "media/overlay.h"
#include "session/window.h"

namespace tolvane {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kLit = 0xFFE040;
constexpr std::uint32_t kUnlit = 0x505050;

// The playback panel in the bottom-right corner, clear of the game's own read-outs.
void drawPanel(const WindowControls& c, const World& w) {
    constexpr int x = 452, y = 404, width = 184, height = 72;
    media::overlayBox(x, y, width, height, 0xB0000000u);
    media::overlayText(x + 8, y + 4, _("REPLAY"), 16, kLit);
    const std::string speed = c.paused ? _("pause") : speedLabel(w.playbackSpeed);
    media::overlayText(x + width - 8 - media::overlayTextWidth(speed, 16), y + 4, speed, 16, kWhite);
    // The frame shown is the last one run; its index is the trace's frame number.
    const long shown = static_cast<long>(w.frameCounter) - 1;
    const std::string frame = std::string(_("frame")) + " " + (shown < 0 ? "-" : std::to_string(shown));
    media::overlayText(x + 8, y + 26, frame, 16, kWhite);
    const long index = static_cast<long>(w.replayFrame) - 1;
    const u8 input = index >= 0 && index <= kLastReplayIndex ? w.replayInput[index] : 0;
    struct Lamp {
        const char* text;
        u8 bit;
    };
    const Lamp lamps[] = {{"\u25C0", 4}, {"\u25B2", 1}, {"\u25BC", 2}, {"\u25B6", 8}, {_("BOMB"), 16}};
    int lx = x + 8;
    for (const Lamp& l : lamps) {
        media::overlayText(lx, y + 48, l.text, 16, (input & l.bit) ? kLit : kUnlit);
        lx += media::overlayTextWidth(l.text, 16) + 8;
    }
}

} // namespace

std::string speedLabel(u8 playbackSpeed) {
    return playbackSpeed == 255 ? _("max") : "x" + std::to_string(playbackSpeed + 1);
}

void setPaused(WindowControls& c, bool paused) {
    if (paused == c.paused) return;
    c.paused = paused;
    c.stepped = false;
    if (paused)
        c.repaint = true;
    else
        c.restartClock = true; // no burst of frames for the time spent paused
}

bool windowKey(WindowControls& c, const World& w, const platform::FormEvent& key) {
    const bool once = !key.repeat; // keys that toggle ignore the repeats of a held key
    switch (key.keyCode) {
    case VK_F11:
        if (once) c.toggleFullscreen = true;
        return true;
    case VK_RETURN:
        if (!key.alt) return false;
        if (once) c.toggleFullscreen = true;
        return true;
    case VK_F12:
        if (once) c.screenshot = true;
        return true;
    case VK_P:
    case VK_PAUSE:
        if (once) setPaused(c, !c.paused);
        return true;
    case VK_G:
        if (once) c.toggleGhost = true;
        return true;
    default: break;
    }
    if (w.replayMode == 0 && w.takenOver != 0) {
        switch (key.keyCode) {
        case VK_BACK:
            if (once) c.retry = true;
            return true;
        case VK_R:
            c.rewind = true; // held, it goes on back
            return true;
        default: return false;
        }
    }
    if (w.replayMode != 1) return false;
    switch (key.keyCode) {
    case VK_SPACE:
        if (once) setPaused(c, !c.paused);
        return true;
    case VK_OEM_PERIOD:
        // One frame at a time while paused; held, it steps on.
        if (c.paused) ++c.runAhead;
        return true;
    case VK_NEXT: c.runAhead += kPageFrames; return true;
    case VK_END:
        if (once) c.toResults = true;
        return true;
    case VK_H:
        if (once) {
            c.panelShown = !c.panelShown;
            c.repaint = true;
        }
        return true;
    case VK_T:
        if (once) c.takeOver = true;
        return true;
    default: return false;
    }
}

void windowFocusLost(WindowControls& c, const World& w) {
    if (w.replayMode == 0) setPaused(c, true);
}

void windowPadStart(WindowControls& c) { setPaused(c, !c.paused); }

void windowPadBack(WindowControls& c, const World& w) {
    if (w.replayMode == 0 && w.takenOver != 0) c.retry = true;
}

void describeWindowLayer(const WindowControls& c, const World& w) {
    media::overlayClear();
    if (c.paused && !c.stepped) {
        media::overlayDim();
        media::overlayText(320, 200, _("PAUSE"), 64, kWhite, true);
    }
    if (w.replayMode == 1 && c.panelShown) drawPanel(c, w);
    if (c.countdown > 0) media::overlayText(320, 170, std::to_string(c.countdown), 64, kLit, true);
}

} // namespace tolvane
