// The null platform: no window, a clock and inputs that tests set by hand.
#include "media/platform_null.h"

#include <algorithm>
#include <array>
#include <deque>

namespace {

struct NullState {
    std::uint32_t now = 0;
    std::uint32_t step = 0;
    std::uint32_t slept = 0;
    std::array<bool, 256> down{};
    std::array<bool, 256> tapped{};
    bool joyPresent = false;
    JOYINFO joy{32768, 32768, 32768, 0};
    std::uint32_t joyGeneration = 0;
    std::deque<std::pair<platform::FormEvent, std::uint32_t>> events;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::function<void()> onBox;
    std::vector<platform::FormEvent> dropped;
    bool terminate = false;
    int cursor = 0;
    bool fullscreen = false;
    std::function<JOYINFO(std::uint32_t)> joyScript;
    std::uint32_t joyReads = 0;
    std::deque<std::pair<std::uint32_t, std::function<void()>>> schedule; // by time
};

NullState n;

// Runs the scheduled actions that are due at clock time t.
void runSchedule(std::uint32_t t) {
    while (!n.schedule.empty() && n.schedule.front().first <= t) {
        auto action = std::move(n.schedule.front().second);
        n.schedule.pop_front();
        action();
    }
}

} // namespace

std::uint32_t timeGetTime() {
    std::uint32_t t = n.now;
    n.now += n.step;
    runSchedule(t);
    return t;
}
void timeBeginPeriod(std::uint32_t) {}
void timeEndPeriod(std::uint32_t) {}

std::int16_t GetAsyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    bool held = n.down[vk] || n.tapped[vk];
    n.tapped[vk] = false;
    return held ? static_cast<std::int16_t>(0x8001) : 0;
}

std::uint32_t joyGetPos(std::uint32_t id, JOYINFO* info) {
    if (id != 0 || !n.joyPresent || !info) return JOYERR_UNPLUGGED;
    *info = n.joyScript ? n.joyScript(n.joyReads) : n.joy;
    ++n.joyReads;
    return JOYERR_NOERROR;
}

std::uint32_t joyGetDevCapsA(std::uint32_t id, JOYCAPS* caps) {
    if (id != 0 || !n.joyPresent || !caps) return JOYERR_UNPLUGGED;
    *caps = JOYCAPS{0, 65535, 0, 65535};
    return JOYERR_NOERROR;
}

void ShowCursor(bool show) { n.cursor += show ? 1 : -1; }

namespace platform {

void bindKeys(const std::vector<KeyBinding>&) {}
void configurePad(int, int, int) {}
bool desktopSize(int*, int*) { return false; }

bool open(std::string*) { return true; }
void close() {}
HWND createForm(const char*, int, int) { return nullptr; }
void showForm(HWND, bool) {}
void setFullscreen(HWND, bool fullscreen) { n.fullscreen = fullscreen; }
bool isFullscreen(HWND) { return n.fullscreen; }

bool nextEvent(FormEvent& event) {
    if (n.events.empty() || n.events.front().second > n.now) return false;
    event = n.events.front().first;
    n.events.pop_front();
    return true;
}

void messageBox(const std::string& text, const std::string& caption) {
    if (n.terminate) return;
    n.dropped.clear();
    while (!n.events.empty() && n.events.front().second <= n.now) {
        n.dropped.push_back(n.events.front().first);
        n.events.pop_front();
    }
    n.boxes.emplace_back(text, caption);
    if (n.onBox) n.onBox();
}
bool terminationRequested() { return n.terminate; }
std::uint32_t joystickGeneration() { return n.joyGeneration; }

void sleepMs(std::uint32_t ms) {
    n.now += ms;
    n.slept += ms;
    runSchedule(n.now);
}

// The clock counts whole milliseconds: a sleep that ends early ends a millisecond early.
void sleepUntilTick(std::uint32_t tick, std::uint32_t earlyUs) {
    const std::uint32_t wake = tick - (earlyUs + 999) / 1000;
    if (static_cast<std::int32_t>(wake - n.now) <= 0) return;
    n.slept += wake - n.now;
    n.now = wake;
}

std::uint64_t microseconds() { return static_cast<std::uint64_t>(n.now) * 1000; }

namespace null {

void reset() { n = NullState{}; }
void setTime(std::uint32_t ms, std::uint32_t stepPerPoll) {
    n.now = ms;
    n.step = stepPerPoll;
}
std::uint32_t sleptMs() { return n.slept; }
void setKey(int vk, bool down) {
    if (vk >= 0 && vk < 256) n.down[vk] = down;
}
void tapKey(int vk) {
    if (vk >= 0 && vk < 256) n.tapped[vk] = true;
}
void setJoystick(bool present, JOYINFO info) {
    n.joyPresent = present;
    n.joy = info;
}
void attachJoystick(JOYINFO info) {
    n.joyPresent = true;
    n.joy = info;
    ++n.joyGeneration;
}
void setJoystickScript(std::function<JOYINFO(std::uint32_t read)> script) {
    n.joyPresent = true;
    n.joyScript = std::move(script);
}
std::uint32_t joystickReads() { return n.joyReads; }
void pushEvent(FormEvent event, std::uint32_t notBefore) { n.events.emplace_back(event, notBefore); }
void scheduleAt(std::uint32_t ms, std::function<void()> action) {
    auto at = std::upper_bound(n.schedule.begin(), n.schedule.end(), ms,
                               [](std::uint32_t t, const auto& entry) { return t < entry.first; });
    n.schedule.emplace(at, ms, std::move(action));
}
std::vector<std::pair<std::string, std::string>>& messageBoxes() { return n.boxes; }
int cursorShows() { return n.cursor; }
void onMessageBox(std::function<void()> action) { n.onBox = std::move(action); }
std::vector<FormEvent>& droppedByBox() { return n.dropped; }
std::size_t pendingEvents() { return n.events.size(); }
void requestTermination() { n.terminate = true; }

} // namespace null
} // namespace platform
