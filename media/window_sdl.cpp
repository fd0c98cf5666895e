// The game window's fullscreen on SDL2: desktop fullscreen, so the display mode never
// changes and the picture is scaled like in any other window size.
#include <SDL.h>

#include "media/platform.h"

namespace platform {

void setFullscreen(HWND window, bool fullscreen) {
    if (!window) return;
    SDL_SetWindowFullscreen(window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

bool isFullscreen(HWND window) {
    return window &&
           (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

} // namespace platform
