// The game session: the stage script, a new game, one frame of play, input sampling,
// and the window's start-up, paced main loop and shut-down.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "presentation/presentation.h"
#include "session/world_state.h"

namespace tolvane {

// ---- Stage script ----
void addScriptEntry(World& w, i32 time, i16 kind, i16 x, i16 y);
void sortStageScript(World& w);
void buildStageScript(World& w);

// ---- Input (the Joystick module) ----
struct Joystick {
    std::uint32_t xPos, yPos, zPos, buttons; // last reading
    i32 upLimit, downLimit, leftLimit, rightLimit;
    i32 restValue;
    i16 lastUp, lastDown, lastLeft, lastRight, lastBomb;
    std::uint32_t generation; // attach counter when the limits were taken
};
void probeJoystick(Joystick& joy);
void readInput(World& w, Joystick& joy);

// ---- A game ----
void newGame(World& w);

// The time text of a frame: "Time " and the seconds left, without trailing zeros.
std::string timeText(i32 timeLeft);

// Whether a frame is due at clock `now` at the given playback speed.
bool frameDue(std::uint32_t now, i32 lastFrameTime, u8 playbackSpeed);
// Advances frameSkip; a frame is presented when the result is 0.
u8 nextFrameSkip(u8 frameSkip, u8 playbackSpeed);
// Waits on the millisecond clock until the next frame is due and leaves the clock
// value in `now`. False, at once, when `running` is 0.
bool waitForFrame(const World& w, std::uint32_t& now);

// Drawing of a display-only companion (a rival's ghost), put into a composed frame
// after the background streaks and before the ship. It only draws: it never reads
// nor writes the frame's world.
struct UnderShipLayer {
    void (*draw)(const void* context) = nullptr;
    const void* context = nullptr;
};

// Steps 1 to 17 of one frame: everything but presenting it and running window events.
// In live play the input comes from readInput, in playback from the replay buffer.
void runFrame(World& w, Joystick& joy, TextPass& text, const UnderShipLayer* layer = nullptr);

// The playback-speed keys (F1, F2, F3); they act only in playback.
void changePlaybackSpeed(World& w, int keyCode);

// ---- The window (Form1) ----
// Runs the whole program: start-up, the main loop, shut-down. `commandLine` is the
// argument string (empty for a live game); `rival`, when not empty, the replay file of
// a rival raced beside it; `takeOverFrame`, when not -1, the frame the playback is taken
// over at (played to it unseen, then a countdown); `runIdOf` the run id of a replay
// file's bytes, for the names of take-overs' replays. Returns the exit status.
int runGame(const std::string& commandLine, const std::string& rival = {}, long takeOverFrame = -1,
            std::function<std::string(std::string_view)> runIdOf = {});

// The text of the end-of-game message for a rank (-1: out of the ranking), with a
// second line when a record of the game could not be written.
std::string rankMessage(i16 hiscoreRank, bool recordNotSaved = false);

} // namespace tolvane
