// What the game window does beyond the game itself: fullscreen, pause, the playback
// controls and their panel, screenshots. All of it changes what is shown and when
// frames run, never what a frame computes: a paused frame is neither run nor recorded,
// and a jump ahead runs every frame it passes.
#pragma once

#include <vector>

#include "media/platform.h"
#include "session/world_state.h"
#include "settings/settings.h"

namespace tolvane {

struct WindowControls {
    bool paused = false;
    bool panelShown = true; // the playback panel (H)
    bool stepped = false;   // the picture shown while paused came from a step: not dimmed
    // What the main loop is asked to do between two frames.
    long runAhead = 0;      // run this many frames at once and show the last
    bool toResults = false; // run until the game has ended and show the results
    bool screenshot = false;
    bool toggleGhost = false; // a rival's ghost shown or hidden (G)
    bool toggleFullscreen = false;
    bool repaint = false;      // show the last picture again (paused, window uncovered)
    bool restartClock = false; // the next frame is due a whole period from now
    // A take-over: asked for in playback (T); started again or rewound once taken over.
    bool takeOver = false;
    bool retry = false;
    bool rewind = false;
    // The countdown over the frozen picture before live play: 3, 2, 1; 0 for none.
    int countdown = 0;
};

// Frames that PageDown runs.
constexpr long kPageFrames = 600;

// A key of the window's own (F11, Alt+Enter, F12, P, Pause, G; in playback also Space,
// period, PageDown, End, H, T; in a take-over Backspace and R): true when it was one, so
// the game's keys do not see it.
bool windowKey(WindowControls& c, const World& w, const platform::FormEvent& key);
// The window lost the keyboard: live play pauses.
void windowFocusLost(WindowControls& c, const World& w);
// A game controller's Start: pause, or resume.
void windowPadStart(WindowControls& c);
// A game controller's Back: in a take-over, start it again.
void windowPadBack(WindowControls& c, const World& w);
void setPaused(WindowControls& c, bool paused);

// Describes the window layer for the picture about to be shown (media/overlay.h): in
// playback the panel with "REPLAY", the speed, the frame shown and its input; while
// paused the picture darkened with "PAUSE" over it; a take-over's countdown.
void describeWindowLayer(const WindowControls& c, const World& w);

// The player's keys as the virtual keys they feed, for a live game or a playback: the
// actions of the other mode are left out, so that their keys are free.
std::vector<platform::KeyBinding> keyBindings(const settings::Settings& chosen, bool playback);

// The window's size as a multiple of 640x480: the one chosen (0 for none), as far as the
// desktop holds it whole, else the largest that fits three quarters of the desktop; at
// least 1.
int windowScale(int chosen, int desktopWidth, int desktopHeight);

// The speed as the panel shows it: "x1" .. "x16", "max" at 255.
std::string speedLabel(u8 playbackSpeed);

} // namespace tolvane
