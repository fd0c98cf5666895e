// Frame pacing: when the next frame is due, which frames are presented, the playback
// speed keys, and the wait between frames on the millisecond clock.
#include <algorithm>
#include <cmath>

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

namespace {

// Milliseconds from a frame's start to the first tick at which the next is due: the
// whole number that is at least the frame's length.
std::uint32_t frameTicks(u8 playbackSpeed) {
    return static_cast<std::uint32_t>(std::ceil(17.0 / (playbackSpeed + 1)));
}

// How long before the frame's tick the sleep ends; the rest is polled, so that a sleep
// that ends a little late does not make the frame late. 3 % of the frame, so polling
// costs that much of a core at any speed, but never more than 150 µs: most wake-ups
// come within that, and one that comes a little later still starts the frame within a
// tenth of a millisecond of its tick.
std::uint32_t pollUs(u8 playbackSpeed) {
    return std::min<std::uint32_t>(150, 30 * frameTicks(playbackSpeed));
}

} // namespace

// Polls the clock as the game does, but sleeps until just before the tick that makes
// the frame due, and only polls what is left (at speed 255, the next tick).
bool waitForFrame(const World& w, std::uint32_t& now) {
    for (;;) {
        if (w.running == 0) return false;
        now = timeGetTime();
        if (frameDue(now, w.lastFrameTime, w.playbackSpeed)) return true;
        const std::uint32_t due = static_cast<std::uint32_t>(w.lastFrameTime) + frameTicks(w.playbackSpeed);
        platform::sleepUntilTick(due, pollUs(w.playbackSpeed));
    }
}

} // namespace tolvane
