// Platform services on SDL2: the clock, the keyboard (with presses between two samples
// kept), the first joystick, the game window and its events, and message boxes drawn
// with our own fonts so that Japanese text reads everywhere.
#include "media/platform.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/fontmap.h"
#include "media/gamepad_sdl.h"
#include "media/window_icon_sdl.h"

namespace {

struct KeyState {
    std::array<bool, SDL_NUM_SCANCODES> down{};
    std::array<bool, SDL_NUM_SCANCODES> pressedSinceQuery{};
};

KeyState keys;
bool opened = false;

SDL_Scancode scancodeOf(int vk) {
    switch (vk) {
    case VK_ESCAPE: return SDL_SCANCODE_ESCAPE;
    case VK_LEFT: return SDL_SCANCODE_LEFT;
    case VK_UP: return SDL_SCANCODE_UP;
    case VK_RIGHT: return SDL_SCANCODE_RIGHT;
    case VK_DOWN: return SDL_SCANCODE_DOWN;
    case VK_NUMPAD2: return SDL_SCANCODE_KP_2;
    case VK_NUMPAD4: return SDL_SCANCODE_KP_4;
    case VK_NUMPAD6: return SDL_SCANCODE_KP_6;
    case VK_NUMPAD8: return SDL_SCANCODE_KP_8;
    case VK_F1: return SDL_SCANCODE_F1;
    case VK_F2: return SDL_SCANCODE_F2;
    case VK_F3: return SDL_SCANCODE_F3;
    case VK_Z: return SDL_SCANCODE_Z;
    default: return SDL_SCANCODE_UNKNOWN;
    }
}

int virtualKeyOf(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
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
    }
    return 0;
}

} // namespace

std::uint32_t timeGetTime() { return SDL_GetTicks(); }
void timeBeginPeriod(std::uint32_t) {}
void timeEndPeriod(std::uint32_t) {}

std::int16_t GetAsyncKeyState(int virtualKey) {
    SDL_Scancode sc = scancodeOf(virtualKey);
    if (sc == SDL_SCANCODE_UNKNOWN) return 0;
    SDL_PumpEvents();
    bool held = keys.down[sc] || keys.pressedSinceQuery[sc];
    keys.pressedSinceQuery[sc] = false;
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
            event = {FormEvent::KeyDown, virtualKeyOf(e.key.keysym.scancode),
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
            break;
        default: break;
        }
    }
    return false;
}

std::uint32_t joystickGeneration() { return gamepad::generation(); }

void sleepMs(std::uint32_t ms) { SDL_Delay(ms); }

std::uint64_t microseconds() {
    static const Uint64 frequency = SDL_GetPerformanceFrequency();
    return SDL_GetPerformanceCounter() * 1000000 / frequency;
}

} // namespace platform
