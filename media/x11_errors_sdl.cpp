#include "media/x11_errors_sdl.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#endif

namespace platform {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

XErrorHandler previousHandler = nullptr;

int onXError(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        std::fprintf(stderr, "tolvane: X error passed by: a window that is gone (request %d)\n",
                     static_cast<int>(error->request_code));
        return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

} // namespace

void passByLostWindowErrors() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0 || previousHandler) return;
    previousHandler = XSetErrorHandler(onXError);
}
#else
void passByLostWindowErrors() {}
#endif

} // namespace platform
