// An X error about a window that is gone ends nothing (run under Xvfb by the window test
// tolvane_x11_errors; skipped elsewhere).
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "media/x11_errors_sdl.h"

// Xlib's macros (None, Bool, Status) after everything that could trip over them.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace {

TEST(X11Errors, AnErrorAboutAWindowThatIsGoneIsNotedAndPassedBy) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!std::getenv("DISPLAY") || !driver || std::string(driver) != "x11")
        GTEST_SKIP() << "needs an X display and SDL_VIDEODRIVER=x11";
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    platform::passByLostWindowErrors();
    SDL_Window* window = SDL_CreateWindow("x", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &wm));
    Display* display = wm.info.x11.display;

    // A window id the server never gave out: Xlib's own handler would end the process here.
    testing::internal::CaptureStderr();
    XWindowAttributes attributes;
    EXPECT_EQ(XGetWindowAttributes(display, static_cast<Window>(0x1fffff00), &attributes), 0);
    XSync(display, False);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("X error passed by: a window that is gone"), std::string::npos) << said;

    SDL_DestroyWindow(window);
    SDL_Quit();
}

} // namespace
