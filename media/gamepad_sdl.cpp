// The first joystick or game controller on SDL2, hot-plugged.
#include "media/gamepad_sdl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace gamepad {
namespace {

struct Device {
    SDL_GameController* controller = nullptr; // when SDL has a mapping for it
    SDL_Joystick* joystick = nullptr;         // always (the controller's own, then)
    SDL_JoystickID id = -1;
    std::uint32_t generation = 0;
};

Device d;

struct Buttons {
    SDL_GameControllerButton bomb = SDL_CONTROLLER_BUTTON_A;
    SDL_GameControllerButton pause = SDL_CONTROLLER_BUTTON_START;
    int deadzone = 50;
};
Buttons chosen;

std::uint32_t axisValue(Sint16 v) {
    return static_cast<std::uint32_t>(applyDeadzone(v, chosen.deadzone) + 32768);
}

// A D-pad steers like a stick pushed all the way.
void applyDpad(JOYINFO& info, bool left, bool right, bool up, bool down) {
    if (left) info.wXpos = 0;
    if (right) info.wXpos = 65535;
    if (up) info.wYpos = 0;
    if (down) info.wYpos = 65535;
}

void readController(JOYINFO& info) {
    SDL_GameController* c = d.controller;
    info.wXpos = axisValue(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX));
    info.wYpos = axisValue(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY));
    info.wZpos = 32768;
    applyDpad(info, SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0,
              SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0,
              SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0,
              SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0);
    // The player's bomb button (the south face button unless chosen otherwise).
    info.wButtons = SDL_GameControllerGetButton(c, chosen.bomb) ? 1u : 0u;
}

void readJoystick(JOYINFO& info) {
    SDL_Joystick* j = d.joystick;
    int axes = SDL_JoystickNumAxes(j);
    info.wXpos = axes > 0 ? axisValue(SDL_JoystickGetAxis(j, 0)) : 32768;
    info.wYpos = axes > 1 ? axisValue(SDL_JoystickGetAxis(j, 1)) : 32768;
    info.wZpos = axes > 2 ? axisValue(SDL_JoystickGetAxis(j, 2)) : 32768;
    // A pad's direction buttons often come as a hat: it steers like the stick.
    if (SDL_JoystickNumHats(j) > 0) {
        Uint8 hat = SDL_JoystickGetHat(j, 0);
        applyDpad(info, hat & SDL_HAT_LEFT, hat & SDL_HAT_RIGHT, hat & SDL_HAT_UP, hat & SDL_HAT_DOWN);
    }
    info.wButtons = 0;
    int buttons = SDL_JoystickNumButtons(j);
    for (int b = 0; b < buttons && b < 32; ++b) {
        if (SDL_JoystickGetButton(j, b)) info.wButtons |= 1u << b;
    }
}

void release() {
    if (d.controller)
        SDL_GameControllerClose(d.controller);
    else if (d.joystick)
        SDL_JoystickClose(d.joystick);
    d.controller = nullptr;
    d.joystick = nullptr;
    d.id = -1;
}

} // namespace

void open() {
    // SDL reads SDL_GAMECONTROLLERCONFIG itself; the file is ours to load.
    if (const char* file = std::getenv("SDL_GAMECONTROLLERCONFIG_FILE"); file && *file) {
        if (SDL_GameControllerAddMappingsFromFile(file) < 0)
            std::fprintf(stderr, "tolvane: game controller mappings in %s not read: %s\n", file,
                         SDL_GetError());
    }
    for (int i = 0; i < SDL_NumJoysticks() && !d.joystick; ++i) added(i);
}

void close() { release(); }

void added(int deviceIndex) {
    if (d.joystick) return; // the first one stays in use
    if (SDL_IsGameController(deviceIndex)) {
        d.controller = SDL_GameControllerOpen(deviceIndex);
        d.joystick = d.controller ? SDL_GameControllerGetJoystick(d.controller) : nullptr;
    }
    if (!d.joystick) {
        d.controller = nullptr;
        d.joystick = SDL_JoystickOpen(deviceIndex);
    }
    if (!d.joystick) return;
    d.id = SDL_JoystickInstanceID(d.joystick);
    ++d.generation;
}

void removed(SDL_JoystickID id) {
    if (!d.joystick || id != d.id) return;
    release();
    for (int i = 0; i < SDL_NumJoysticks() && !d.joystick; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) != id) added(i);
    }
}

bool read(JOYINFO& info) {
    if (!d.joystick || !SDL_JoystickGetAttached(d.joystick)) return false;
    SDL_JoystickUpdate();
    if (d.controller)
        readController(info);
    else
        readJoystick(info);
    return true;
}

bool present() { return d.joystick != nullptr; }

std::uint32_t generation() { return d.generation; }

bool isStart(const SDL_Event& e) {
    return e.type == SDL_CONTROLLERBUTTONDOWN && d.controller && e.cbutton.which == d.id &&
           e.cbutton.button == chosen.pause;
}

bool isBack(const SDL_Event& e) {
    return e.type == SDL_CONTROLLERBUTTONDOWN && d.controller && e.cbutton.which == d.id &&
           e.cbutton.button == SDL_CONTROLLER_BUTTON_BACK && chosen.bomb != SDL_CONTROLLER_BUTTON_BACK &&
           chosen.pause != SDL_CONTROLLER_BUTTON_BACK;
}

void configure(int bombButton, int pauseButton, int deadzonePercent) {
    auto valid = [](int b) { return b >= 0 && b < SDL_CONTROLLER_BUTTON_MAX; };
    chosen.bomb =
        valid(bombButton) ? static_cast<SDL_GameControllerButton>(bombButton) : SDL_CONTROLLER_BUTTON_A;
    chosen.pause =
        valid(pauseButton) ? static_cast<SDL_GameControllerButton>(pauseButton) : SDL_CONTROLLER_BUTTON_START;
    chosen.deadzone = std::clamp(deadzonePercent, 0, 100);
}

Sint16 applyDeadzone(Sint16 value, int deadzonePercent) {
    if (deadzonePercent == 50) return value;
    if (deadzonePercent <= 0) return value > 0 ? 32767 : (value < 0 ? -32768 : 0);
    const long stretched = static_cast<long>(value) * 50 / deadzonePercent;
    return static_cast<Sint16>(std::clamp(stretched, -32768L, 32767L));
}

} // namespace gamepad
