// Platform services on SDL2: the clock, the keyboard (with presses between two samples
// kept), the first joystick, the game window and its events, and message boxes drawn
// with our own fonts so that Japanese text reads everywhere.
#include "media/platform.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <sys/prctl.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "common/fontmap.h"
#include "media/gamepad_sdl.h"
#include "media/window_icon_sdl.h"
#include "media/x11_errors_sdl.h"

namespace {

struct KeyState {
    std::array<bool, SDL_NUM_SCANCODES> down{};
    std::array<bool, SDL_NUM_SCANCODES> pressedSinceQuery{};
};

KeyState keys;
bool opened = false;
volatile std::sig_atomic_t terminationSignal = 0;

// SIGTERM and SIGINT only set a flag; the game looks at it where it handles its window's
// events. SA_RESETHAND: a second signal ends the process at once, should the first one
// not be answered. SA_RESTART: a save in progress carries on undisturbed. A signal that
// the parent set to be ignored (a background job's SIGINT) stays ignored.
extern "C" void onTerminationSignal(int signal) { terminationSignal = signal; }

void catchTerminationSignals() {
    for (int signal : {SIGTERM, SIGINT}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

// The game's own keys, as it has always read them.
int defaultVirtualKeyOf(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_KP_2: return VK_NUMPAD2;
    case SDL_SCANCODE_KP_4: return VK_NUMPAD4;
    case SDL_SCANCODE_KP_6: return VK_NUMPAD6;
    case SDL_SCANCODE_KP_8: return VK_NUMPAD8;
    default: return 0;
    }
}

// Which physical key (scancode) stands for which virtual key, both ways.
struct KeyMap {
    bool custom = false;
    std::vector<platform::KeyBinding> bindings;
    std::array<int, SDL_NUM_SCANCODES> virtualKeyOf{};
    std::array<std::vector<SDL_Scancode>, 256> scancodesOf;

    void add(SDL_Scancode sc, int vk) {
        if (sc <= SDL_SCANCODE_UNKNOWN || sc >= SDL_NUM_SCANCODES || vk <= 0 || vk > 255) return;
        virtualKeyOf[sc] = vk;
        scancodesOf[vk].push_back(sc);
    }

    // Key codes name keys as labelled on the keyboard in use, so they are looked up in
    // its layout; keys without a character (arrows, keypad, F-keys) are where they are.
    static SDL_Scancode scancodeOfKey(SDL_Keycode key) {
        if (key & SDLK_SCANCODE_MASK) return static_cast<SDL_Scancode>(key & ~SDLK_SCANCODE_MASK);
        return SDL_GetScancodeFromKey(key);
    }

    void build() {
        virtualKeyOf.fill(0);
        for (auto& list : scancodesOf) list.clear();
        if (!custom) {
            for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc)
                add(static_cast<SDL_Scancode>(sc), defaultVirtualKeyOf(static_cast<SDL_Scancode>(sc)));
            return;
        }
        for (const platform::KeyBinding& b : bindings) {
            for (std::int32_t key : b.keys) add(scancodeOfKey(key), b.virtualKey);
        }
        for (SDL_Scancode enter : {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER}) {
            if (virtualKeyOf[enter] == 0) add(enter, VK_RETURN);
        }
    }
};

KeyMap keyMap = [] {
    KeyMap m;
    m.build();
    return m;
}();

// Watches every event as it enters the queue, so the key state is current whenever
// events are pumped, while the events themselves wait for the window's turn.
int SDLCALL watchKeys(void*, SDL_Event* e) {
    if (e->type == SDL_KEYDOWN && !e->key.repeat) {
        keys.down[e->key.keysym.scancode] = true;
        keys.pressedSinceQuery[e->key.keysym.scancode] = true;
    } else if (e->type == SDL_KEYUP) {
        keys.down[e->key.keysym.scancode] = false;
    } else if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        keys.down.fill(false);
    } else if (e->type == SDL_KEYMAPCHANGED) {
        keyMap.build();
    }
    return 0;
}

} // namespace

// The millisecond clock, the sleeps until one of its ticks and the microsecond clock
// all count on CLOCK_MONOTONIC from the program's start, so they agree to the nanosecond.
namespace {
std::int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}
const std::int64_t clockStart = monotonicNs();
} // namespace

std::uint32_t timeGetTime() { return static_cast<std::uint32_t>((monotonicNs() - clockStart) / 1000000); }
void timeBeginPeriod(std::uint32_t) {}
void timeEndPeriod(std::uint32_t) {}

std::int16_t GetAsyncKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255 || keyMap.scancodesOf[virtualKey].empty()) return 0;
    SDL_PumpEvents();
    // Any of the keys that feed it: held now, or pressed since the last query.
    bool held = false;
    for (SDL_Scancode sc : keyMap.scancodesOf[virtualKey]) {
        held = held || keys.down[sc] || keys.pressedSinceQuery[sc];
        keys.pressedSinceQuery[sc] = false;
    }
    return held ? static_cast<std::int16_t>(0x8001) : 0;
}

std::uint32_t joyGetPos(std::uint32_t id, JOYINFO* info) {
    if (id != 0 || !info || !gamepad::read(*info)) return JOYERR_UNPLUGGED;
    return JOYERR_NOERROR;
}

std::uint32_t joyGetDevCapsA(std::uint32_t id, JOYCAPS* caps) {
    if (id != 0 || !gamepad::present() || !caps) return JOYERR_UNPLUGGED;
    *caps = JOYCAPS{0, 65535, 0, 65535};
    return JOYERR_NOERROR;
}

void ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

namespace platform {

bool open(std::string* why) {
    if (opened) return true;
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    bool named = driver && *driver;
    if (!named && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        if (why) *why = "no display to open a window on (DISPLAY is not set)";
        return false;
    }
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SDL would turn SIGTERM and SIGINT into a quit event, which a message box could
    // then wait on forever; the game handles them itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER | SDL_INIT_EVENTS) != 0) {
        if (why) *why = std::string("cannot open the display: ") + SDL_GetError();
        return false;
    }
    const char* current = SDL_GetCurrentVideoDriver();
    if (!named && current && (std::string(current) == "offscreen" || std::string(current) == "dummy")) {
        if (why) *why = "no display to open a window on";
        SDL_Quit();
        return false;
    }
    passByLostWindowErrors();
    catchTerminationSignals();
    SDL_AddEventWatch(watchKeys, nullptr);
    gamepad::open();
    opened = true;
    return true;
}

void close() {
    if (!opened) return;
    SDL_DelEventWatch(watchKeys, nullptr);
    gamepad::close();
    opened = false;
    SDL_Quit();
}

HWND createForm(const char* title, int width, int height) {
    SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                                          height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
    setFormIcon(window);
    return window;
}

void showForm(HWND window, bool visible) {
    if (!window) return;
    if (visible) {
        SDL_ShowWindow(window);
        SDL_RaiseWindow(window);
    } else {
        SDL_HideWindow(window);
    }
}

bool nextEvent(FormEvent& event) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
            event = {FormEvent::KeyDown, keyMap.virtualKeyOf[e.key.keysym.scancode],
                     (e.key.keysym.mod & KMOD_ALT) != 0, e.key.repeat != 0};
            if (event.keyCode != 0) return true;
            break;
        case SDL_MOUSEBUTTONDOWN: event = {FormEvent::MouseDown, 0}; return true;
        case SDL_QUIT: event = {FormEvent::Close, 0}; return true;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                event = {FormEvent::Close, 0};
                return true;
            }
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                event = {FormEvent::FocusLost, 0};
                return true;
            }
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                event = {FormEvent::Exposed, 0};
                return true;
            }
            break;
        case SDL_JOYDEVICEADDED: gamepad::added(e.jdevice.which); break;
        case SDL_JOYDEVICEREMOVED: gamepad::removed(e.jdevice.which); break;
        case SDL_CONTROLLERBUTTONDOWN:
            if (gamepad::isStart(e)) {
                event = {FormEvent::PadStart, 0};
                return true;
            }
            if (gamepad::isBack(e)) {
                event = {FormEvent::PadBack, 0};
                return true;
            }
            break;
        default: break;
        }
    }
    return false;
}

std::uint32_t joystickGeneration() { return gamepad::generation(); }

void bindKeys(const std::vector<KeyBinding>& bindings) {
    keyMap.custom = true;
    keyMap.bindings = bindings;
    keyMap.build();
}

void configurePad(int bombButton, int pauseButton, int deadzonePercent) {
    gamepad::configure(bombButton, pauseButton, deadzonePercent);
}

bool desktopSize(int* width, int* height) {
    SDL_Rect r{};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0 || r.w <= 0 || r.h <= 0) return false;
    *width = r.w;
    *height = r.h;
    return true;
}

bool terminationRequested() { return terminationSignal != 0; }

void sleepMs(std::uint32_t ms) { SDL_Delay(ms); }

void sleepUntilTick(std::uint32_t tick, std::uint32_t earlyUs) {
    // Wake-ups as exact as the system allows: by default a sleep may end 50 µs late.
    static const int exact = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    (void)exact;
    const std::int64_t now = monotonicNs() - clockStart, ms = now / 1000000;
    const std::int64_t wake =
        (ms + static_cast<std::int32_t>(tick - static_cast<std::uint32_t>(ms))) * 1000000 -
        static_cast<std::int64_t>(earlyUs) * 1000;
    if (wake <= now) return;
    const std::int64_t at = clockStart + wake;
    const timespec t{static_cast<time_t>(at / 1000000000), static_cast<long>(at % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

std::uint64_t microseconds() { return static_cast<std::uint64_t>((monotonicNs() - clockStart) / 1000); }

} // namespace platform
