// Controls of the null platform, for tests: a scripted clock, keys, joystick and
// window events, and the message boxes that were shown.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "media/platform.h"

namespace platform::null {

void reset();
// The clock; every timeGetTime call then advances it by `stepPerPoll` ms (default 0),
// and sleepMs advances it by the time slept.
void setTime(std::uint32_t ms, std::uint32_t stepPerPoll = 0);
std::uint32_t sleptMs();
void setKey(int virtualKey, bool down);
// A press and release that both happen before the next sample.
void tapKey(int virtualKey);
void setJoystick(bool present, JOYINFO info = {32768, 32768, 32768, 0});
// Makes a joystick appear after start-up (the attach counter changes).
void attachJoystick(JOYINFO info);
// A joystick whose reading follows a script: the reading of read number 0, 1, 2, ...
// (the game reads it once when it probes it and once for every input sample).
void setJoystickScript(std::function<JOYINFO(std::uint32_t read)> script);
std::uint32_t joystickReads();
// The event is handed out by the first nextEvent at or after clock time `notBefore`.
void pushEvent(FormEvent event, std::uint32_t notBefore = 0);
// Runs `action` (set a key, push an event, ...) when the clock first reads `ms` or
// later, or a sleep reaches it: a whole live game can be scripted in clock time.
void scheduleAt(std::uint32_t ms, std::function<void()> action);
std::vector<std::pair<std::string, std::string>>& messageBoxes(); // (text, caption)
// Runs as each message box is shown, to look at the state of things at that moment.
void onMessageBox(std::function<void()> action);
// Like the real box, a box shown drops the window events that are due by then; these
// are the ones the last box dropped.
std::vector<FormEvent>& droppedByBox();
// Events still waiting to be handed out.
std::size_t pendingEvents();
// What SIGTERM or SIGINT does to the real platform.
void requestTermination();
int cursorShows();

} // namespace platform::null
