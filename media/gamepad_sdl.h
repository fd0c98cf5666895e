// The first joystick of the SDL platform: a game controller that SDL knows a mapping
// for (its own, SDL_GAMECONTROLLERCONFIG or the file SDL_GAMECONTROLLERCONFIG_FILE
// names) reads its left stick, D-pad and south button; any other device reads its
// raw axes 0 and 1, its first hat and its buttons. Devices come and go at any time.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "media/platform.h"

namespace gamepad {

// Loads the mappings of SDL_GAMECONTROLLERCONFIG_FILE and takes a device already
// plugged in. Called once the joystick and game-controller systems are up.
void open();
void close();

// A device was plugged in (device index) or pulled out (instance id). When the one in
// use goes, the next one still plugged in takes its place.
void added(int deviceIndex);
void removed(SDL_JoystickID id);

// The reading in the form of the game's joystick: axes 0..65535, the bomb as bit 1 of
// the buttons. False when nothing is plugged in.
bool read(JOYINFO& info);
bool present();

// The player's bomb and pause buttons of a game controller (SDL_GameControllerButton),
// and the share of a stick's travel, in percent, that is not yet a direction (see
// platform::configurePad). Raw joysticks keep button 1 as the bomb.
void configure(int bombButton, int pauseButton, int deadzonePercent);

// A stick's axis (-32768..32767) stretched so that the game's own threshold, half way
// out, falls where the dead zone ends: exactly the reading itself at 50 %.
Sint16 applyDeadzone(Sint16 value, int deadzonePercent);

// Changes whenever a device is taken into use.
std::uint32_t generation();

// Whether the event is the pause button (Start) of the game controller in use.
bool isStart(const SDL_Event& e);
// The Back button of the controller in use, unless the bomb or the pause is on it.
bool isBack(const SDL_Event& e);

} // namespace gamepad
