// The renderer a window of ours gets on the video driver at hand: the software one where
// the window has a framebuffer of its own (X11, the dummy driver; the game window then
// needs no renderer at all and draws into that framebuffer itself), a GL renderer on
// Wayland, where it has none. CTest runs this on the dummy driver; the window tests run
// it again under Xvfb and under weston.
#include <gtest/gtest.h>

#include <SDL.h>

#include <map>
#include <set>
#include <string>

#include "media/dtools.h"
#include "media/platform.h"
#include "media/window_renderer.h"

TEST(WindowRenderer, FollowsTheVideoDriver) {
    if (const char* asked = SDL_getenv("SDL_RENDER_DRIVER"); asked && *asked)
        GTEST_SKIP() << "SDL_RENDER_DRIVER=" << asked << " decides";
    std::string why;
    ASSERT_TRUE(platform::open(&why)) << why;
    const std::string driver = SDL_GetCurrentVideoDriver();
    const std::map<std::string, std::set<std::string>> expected = {
        {"x11", {"software"}}, {"dummy", {"software"}}, {"wayland", {"opengl", "opengles2"}}};
    const std::map<std::string, std::set<std::string>> expectedForTheGame = {
        {"x11", {"window surface"}}, {"dummy", {"window surface"}}, {"wayland", {"opengl", "opengles2"}}};
    ASSERT_TRUE(expected.count(driver)) << "no rule stated for the video driver " << driver;
    const std::set<std::string>& allowed = expected.at(driver);

    HWND form = platform::createForm("Tolvane renderer test", 640, 480);
    ASSERT_NE(form, nullptr) << SDL_GetError();
    media::setDrawBackend(media::DrawBackend::Window);
    DTInit(1, form);
    const std::string game = media::windowRendererName();
    EXPECT_TRUE(expectedForTheGame.at(driver).count(game))
        << driver << ": the game window got \"" << game << "\"";
    DTClear(0, 0x00FF00, 0);
    DTUpdate(0); // presents through it
    DTEnd();
    EXPECT_EQ(media::windowRendererName(), "") << "given back at DTEnd";
    RecordProperty("driver", driver);
    RecordProperty("renderer", game);
    std::printf("video driver %s: the game window presents with \"%s\"\n", driver.c_str(), game.c_str());

    // The message box's window follows the same rule, shown or not.
    SDL_Window* box = SDL_CreateWindow("Tolvane box test", 0, 0, 240, 120, SDL_WINDOW_HIDDEN);
    ASSERT_NE(box, nullptr) << SDL_GetError();
    SDL_Renderer* r = media::createWindowRenderer(box);
    ASSERT_NE(r, nullptr) << SDL_GetError();
    EXPECT_TRUE(allowed.count(media::rendererName(r))) << media::rendererName(r);
    SDL_DestroyRenderer(r);
    SDL_DestroyWindow(box);
    SDL_DestroyWindow(form);
    media::setDrawBackend(media::DrawBackend::Null);
    platform::close();
}
