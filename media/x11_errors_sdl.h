// Errors of the X server about windows that are already gone.
#pragma once

namespace platform {

// On X11, from now on an X error about a window or drawable that no longer exists is
// noted on stderr and passed by; every other error is handled as before. Such an error
// comes from a race with the window manager: an event SDL handles a moment after its
// window went (a ConfigureNotify as a fullscreen window closes). Xlib's own handler
// ends the process, which would lose what the game stores at its end. Call after SDL's
// video is up (SDL installs a handler of its own, which stays behind this one).
void passByLostWindowErrors();

} // namespace platform
