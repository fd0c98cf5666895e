// Platform services of the game: the millisecond clock, the key state, the first
// joystick, the game window with its events, the mouse cursor and message boxes.
// A real implementation on SDL2 and a null one (a scripted clock, keys and events)
// for tests and headless runs; a program links one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/dtools.h"

// Virtual-key codes the game and its window use.
enum : int {
    VK_BACK = 8, // Backspace
    VK_RETURN = 13,
    VK_PAUSE = 0x13,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_NEXT = 0x22, // Page Down
    VK_END = 0x23,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_NUMPAD2 = 0x62,
    VK_NUMPAD4 = 0x64,
    VK_NUMPAD6 = 0x66,
    VK_NUMPAD8 = 0x68,
    VK_F1 = 112,
    VK_F2 = 113,
    VK_F3 = 114,
    VK_F11 = 122,
    VK_F12 = 123,
    VK_G = 0x47,
    VK_H = 0x48,
    VK_P = 0x50,
    VK_R = 0x52,
    VK_T = 0x54,
    VK_Z = 0x5A,
    VK_OEM_PERIOD = 0xBE,
};

// Millisecond clock.
std::uint32_t timeGetTime();
void timeBeginPeriod(std::uint32_t ms);
void timeEndPeriod(std::uint32_t ms);

// Non-zero when the key is down now or has been pressed since the previous query of
// that key, so a tap between two samples is never lost.
std::int16_t GetAsyncKeyState(int virtualKey);

// The first joystick. Axes run 0..65535; button 1 is bit value 1.
struct JOYINFO {
    std::uint32_t wXpos, wYpos, wZpos, wButtons;
};
struct JOYCAPS {
    std::uint32_t wXmin, wXmax, wYmin, wYmax;
};
constexpr std::uint32_t JOYERR_NOERROR = 0;
constexpr std::uint32_t JOYERR_UNPLUGGED = 167;
std::uint32_t joyGetPos(std::uint32_t id, JOYINFO* info);
std::uint32_t joyGetDevCapsA(std::uint32_t id, JOYCAPS* caps);

void ShowCursor(bool show);

namespace platform {

// Opens the platform (video, events). False, with a one-line reason, when there is no
// display to open a window on.
bool open(std::string* why);
void close();

// The game window: a title and a client area; resizable, the picture scales to fit.
HWND createForm(const char* title, int width, int height);
void showForm(HWND window, bool visible);
// Desktop fullscreen (the window covers the screen, the display mode stays) or back.
void setFullscreen(HWND window, bool fullscreen);
bool isFullscreen(HWND window);

// A window event, handed out between frames.
struct FormEvent {
    enum Type {
        None,
        KeyDown,
        MouseDown,
        Close,
        FocusLost, // the window no longer has the keyboard
        Exposed,   // the window's picture must be shown again (uncovered, resized)
        PadStart,  // a game controller's Start button
        PadBack,   // a game controller's Back button, when neither bomb nor pause has it
    } type = None;
    int keyCode = 0;     // virtual-key code for KeyDown
    bool alt = false;    // KeyDown with an Alt key held
    bool repeat = false; // KeyDown repeated by a key held down
};
// Takes the next pending window event; false when there are none.
bool nextEvent(FormEvent& event);

// A modal message box with an OK button. It answers only to its own window: keys and
// buttons already held when it opens, key repeats and whatever was still queued for the
// game window are not taken as the OK. It is not shown, or closes, once the process has
// been asked to terminate.
void messageBox(const std::string& text, const std::string& caption);

// True once SIGTERM or SIGINT has arrived (a logout, kill, Ctrl+C): the game then ends as
// its quit key does, without a message box. The signal handler only sets this flag; a
// second signal ends the process at once.
bool terminationRequested();

// The player's keys: each virtual key the game asks about (GetAsyncKeyState) and hands
// out in its key events is fed by the SDL key codes listed for it, and by no other key;
// a key listed for no virtual key is none of the game's (Return stays the Enter of
// Alt+Enter unless it is listed). Without a call, the game's own keys.
struct KeyBinding {
    int virtualKey = 0;
    std::vector<std::int32_t> keys; // SDL_Keycode values
};
void bindKeys(const std::vector<KeyBinding>& bindings);

// The game controller's bomb and pause buttons (SDL_GameControllerButton numbers), and
// how much of a stick's travel from its centre is not yet a direction, in percent (50:
// the outer quarters count, as the joystick limits have it).
void configurePad(int bombButton, int pauseButton, int deadzonePercent);

// The size of the desktop the windows open on (the usable area, without panels); false
// when it cannot be told.
bool desktopSize(int* width, int* height);

// Joystick attach counter: changes whenever a joystick appears, so the game can probe it.
std::uint32_t joystickGeneration();

// A microsecond clock for measurements (never used by the simulation).
std::uint64_t microseconds();

// Sleeps about the given milliseconds.
void sleepMs(std::uint32_t ms);
// Sleeps on a monotonic clock until `earlyUs` microseconds before the millisecond clock
// reaches `tick`; returns at once when that moment has passed.
void sleepUntilTick(std::uint32_t tick, std::uint32_t earlyUs);

} // namespace platform
