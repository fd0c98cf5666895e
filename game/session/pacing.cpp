// Frame pacing: when the next frame is due, which frames are presented, the playback
// speed keys, and the wait between frames on the millisecond clock.
#include "media/platform.h"
#include "session/arith.h"
#include "session/session.h"

namespace tolvane {

bool frameDue(std::uint32_t now, i32 lastFrameTime, u8 playbackSpeed) {
    std::uint32_t elapsed = now - static_cast<std::uint32_t>(lastFrameTime);
    return static_cast<double>(elapsed) >= 17.0 / (playbackSpeed + 1);
}

u8 nextFrameSkip(u8 frameSkip, u8 playbackSpeed) {
    u8 next = wrap8(frameSkip + 1);
    return next >= playbackSpeed + 1 ? 0 : next;
}

void changePlaybackSpeed(World& w, int keyCode) {
    if (w.replayMode != 1) return;
    if (keyCode == VK_F1 && w.playbackSpeed < 15) ++w.playbackSpeed;
    if (keyCode == VK_F2 && w.playbackSpeed > 0) --w.playbackSpeed;
    if (keyCode == VK_F3) w.playbackSpeed = w.playbackSpeed != 255 ? 255 : 0;
}

// Sleeps while much of the frame remains and polls for the last three milliseconds
// (a sleep may overrun by one or two).
bool waitForFrame(const World& w, std::uint32_t& now) {
    for (;;) {
        if (w.running == 0) return false;
        now = timeGetTime();
        if (frameDue(now, w.lastFrameTime, w.playbackSpeed)) return true;
        double left = 17.0 / (w.playbackSpeed + 1) - double(now - std::uint32_t(w.lastFrameTime));
        if (left > 3.0) platform::sleepMs(1);
    }
}

} // namespace tolvane
