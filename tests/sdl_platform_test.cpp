// The SDL platform without a display: SDL's virtual joystick appears after start-up,
// is probed, steers and bombs through readInput, as a plain joystick and as a game
// controller with a mapping; and the picture presented in windows of several sizes.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/dtools.h"
#include "media/gamepad_sdl.h"
#include "media/overlay.h"
#include "media/platform.h"
#include "media/present.h"
#include "session/session.h"

using namespace tolvane;

TEST(SdlJoystick, AVirtualJoystickSteersAndBombs) {
    std::string why;
    ASSERT_TRUE(platform::open(&why)) << why; // SDL_VIDEODRIVER=dummy, set by CTest
    auto world = std::make_unique<World>();
    World& w = *world;
    Joystick joy{};
    probeJoystick(joy);
    readInput(w, joy);
    EXPECT_EQ(joy.upLimit, 0); // nothing plugged in yet

    int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
    ASSERT_GE(device, 0) << SDL_GetError();
    platform::FormEvent e;
    while (platform::nextEvent(e)) {
    }
    SDL_Joystick* handle = SDL_JoystickOpen(device);
    ASSERT_NE(handle, nullptr);

    readInput(w, joy); // the new joystick is probed when it appears
    EXPECT_EQ(joy.upLimit, 16384);
    EXPECT_EQ(joy.downLimit, 49152);
    EXPECT_EQ(w.inUp | w.inDown | w.inLeft | w.inRight, 0);

    SDL_JoystickSetVirtualAxis(handle, 0, -32768); // full left
    SDL_JoystickSetVirtualAxis(handle, 1, 32767);  // full down
    SDL_JoystickSetVirtualButton(handle, 0, 1);
    SDL_JoystickUpdate();
    readInput(w, joy);
    EXPECT_EQ(w.inLeft, -1);
    EXPECT_EQ(w.inDown, -1);
    EXPECT_EQ(w.inRight, 0);
    EXPECT_EQ(w.inUp, 0);
    EXPECT_EQ(w.inBombPressed, -1);
    readInput(w, joy);
    EXPECT_EQ(w.inBombPressed, 0); // held, not newly pressed

    SDL_JoystickClose(handle);
    SDL_JoystickDetachVirtual(device);
    while (platform::nextEvent(e)) {
    }
    readInput(w, joy); // unplugged: reads as centred
    EXPECT_EQ(w.inLeft | w.inDown, 0);
    platform::close();
}

namespace {

void drainEvents(std::vector<platform::FormEvent>* seen = nullptr) {
    platform::FormEvent e;
    while (platform::nextEvent(e)) {
        if (seen) seen->push_back(e);
    }
}

bool sawPadStart(const std::vector<platform::FormEvent>& events) {
    for (const auto& e : events) {
        if (e.type == platform::FormEvent::PadStart) return true;
    }
    return false;
}

} // namespace

// A device with a mapping from SDL_GAMECONTROLLERCONFIG is read as a game controller:
// it is taken when plugged in, its D-pad and left stick steer, its south button (here
// button 1 of the device, so the mapping is what counts) bombs, Start is a window event,
// and when it is pulled out and plugged in again it is taken again.
// SDL's id of its virtual joystick with the name "Virtual Joystick" (checked below), and
// a game-controller mapping for it: A is button 1, B button 0, Start button 2.
const char* kVirtualPadGuid = "ff0000005669727475616c204a007600";

// Opens the platform with that mapping known to SDL.
void openWithVirtualPadMapping() {
    const std::string mapping = std::string(kVirtualPadGuid) +
                                ",Tolvane Test Pad,a:b1,b:b0,start:b2,leftx:a0,lefty:a1,"
                                "dpup:h0.1,dpdown:h0.4,dpleft:h0.8,dpright:h0.2,";
    setenv("SDL_GAMECONTROLLERCONFIG", mapping.c_str(), 1);
    std::string why;
    ASSERT_TRUE(platform::open(&why)) << why;
}

TEST(SdlGamepad, AMappedControllerHotPlugsSteersBombsAndPauses) {
    const char* guid = kVirtualPadGuid;
    ASSERT_NO_FATAL_FAILURE(openWithVirtualPadMapping());
    auto world = std::make_unique<World>();
    World& w = *world;
    Joystick joy{};
    probeJoystick(joy);
    readInput(w, joy);

    for (int plug = 0; plug < 2; ++plug) {
        int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 3, 1);
        ASSERT_GE(device, 0) << SDL_GetError();
        char id[64];
        SDL_JoystickGUID g = SDL_JoystickGetDeviceGUID(device);
        g.data[2] = g.data[3] = 0; // the name's checksum is not part of a mapping's id
        SDL_JoystickGetGUIDString(g, id, sizeof id);
        ASSERT_STREQ(id, guid);
        ASSERT_TRUE(SDL_IsGameController(device)) << "the mapping applies";
        drainEvents();
        SDL_Joystick* handle = SDL_JoystickOpen(device);
        ASSERT_NE(handle, nullptr);
        auto update = [&] {
            SDL_JoystickUpdate();
            drainEvents();
            readInput(w, joy);
        };
        update();
        EXPECT_EQ(joy.upLimit, 16384) << "probed when plugged in";
        EXPECT_EQ(w.inUp | w.inDown | w.inLeft | w.inRight | w.inBombPressed, 0);

        SDL_JoystickSetVirtualHat(handle, 0, SDL_HAT_UP | SDL_HAT_LEFT);
        update();
        EXPECT_EQ(w.inUp, -1);
        EXPECT_EQ(w.inLeft, -1);
        EXPECT_EQ(w.inDown | w.inRight, 0);
        SDL_JoystickSetVirtualHat(handle, 0, SDL_HAT_CENTERED);
        SDL_JoystickSetVirtualAxis(handle, 0, 32767); // stick right and down
        SDL_JoystickSetVirtualAxis(handle, 1, 32767);
        update();
        EXPECT_EQ(w.inRight, -1);
        EXPECT_EQ(w.inDown, -1);
        EXPECT_EQ(w.inUp | w.inLeft, 0);
        SDL_JoystickSetVirtualAxis(handle, 0, 0);
        SDL_JoystickSetVirtualAxis(handle, 1, 0);

        SDL_JoystickSetVirtualButton(handle, 0, 1); // B: not the bomb
        update();
        EXPECT_EQ(w.inBombPressed, 0);
        SDL_JoystickSetVirtualButton(handle, 1, 1); // A
        update();
        EXPECT_EQ(w.inBombPressed, -1);
        update();
        EXPECT_EQ(w.inBombPressed, 0) << "held, not newly pressed";
        SDL_JoystickSetVirtualButton(handle, 0, 0);
        SDL_JoystickSetVirtualButton(handle, 1, 0);

        std::vector<platform::FormEvent> events;
        SDL_JoystickSetVirtualButton(handle, 2, 1); // Start
        SDL_JoystickUpdate();
        drainEvents(&events);
        EXPECT_TRUE(sawPadStart(events));
        SDL_JoystickSetVirtualButton(handle, 2, 0);
        SDL_JoystickUpdate();
        drainEvents();

        SDL_JoystickSetVirtualAxis(handle, 0, -32768);
        SDL_JoystickClose(handle);
        SDL_JoystickDetachVirtual(device);
        drainEvents();
        readInput(w, joy);
        EXPECT_EQ(w.inLeft | w.inRight | w.inUp | w.inDown, 0) << "pulled out: centred";
    }
    platform::close();
    unsetenv("SDL_GAMECONTROLLERCONFIG");
}

// The player's choice of buttons and dead zone: B bombs, A pauses, and a stick a quarter
// of the way out steers at a dead zone of 20 % but not at the game's 50 %.
TEST(SdlGamepad, ThePlayersButtonsAndDeadZone) {
    ASSERT_NO_FATAL_FAILURE(openWithVirtualPadMapping());
    auto world = std::make_unique<World>();
    World& w = *world;
    Joystick joy{};
    const int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 3, 1);
    ASSERT_GE(device, 0) << SDL_GetError();
    ASSERT_TRUE(SDL_IsGameController(device));
    drainEvents();
    SDL_Joystick* handle = SDL_JoystickOpen(device);
    ASSERT_NE(handle, nullptr);
    auto update = [&](std::vector<platform::FormEvent>* events = nullptr) {
        SDL_JoystickUpdate();
        drainEvents(events);
        readInput(w, joy);
    };

    for (int deadzone : {50, 20}) {
        platform::configurePad(SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_A, deadzone);
        SDL_JoystickSetVirtualAxis(handle, 0, 8200); // a quarter of the way right
        update();
        EXPECT_EQ(w.inRight, deadzone == 20 ? -1 : 0) << deadzone;
        SDL_JoystickSetVirtualAxis(handle, 0, 0);
    }
    std::vector<platform::FormEvent> events;
    SDL_JoystickSetVirtualButton(handle, 1, 1); // A: now pause, not the bomb
    update(&events);
    EXPECT_EQ(w.inBombPressed, 0);
    EXPECT_TRUE(sawPadStart(events));
    SDL_JoystickSetVirtualButton(handle, 1, 0);
    SDL_JoystickSetVirtualButton(handle, 0, 1); // B
    update();
    EXPECT_EQ(w.inBombPressed, -1);

    EXPECT_EQ(gamepad::applyDeadzone(-32768, 0), -32768);
    EXPECT_EQ(gamepad::applyDeadzone(1, 0), 32767);
    EXPECT_EQ(gamepad::applyDeadzone(32767, 100), 16383) << "at 100 % the stick never steers";

    platform::configurePad(SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, 50);
    SDL_JoystickClose(handle);
    SDL_JoystickDetachVirtual(device);
    platform::close();
    unsetenv("SDL_GAMECONTROLLERCONFIG");
}

// The picture in windows of several sizes, through the window's own pixels (SDL's
// dummy driver has them too): every picture pixel is a k x k block at whole-number
// scales, a window smaller than the picture shows it shrunk, the bars are black, and
// the window layer reaches the window but never the presented picture.
TEST(SdlPresent, WholeNumberScalesCentredWithBlackBars) {
    std::string why;
    ASSERT_TRUE(platform::open(&why)) << why;
    HWND window = platform::createForm("Tolvane", 640, 480);
    ASSERT_NE(window, nullptr);
    media::setDrawBackend(media::DrawBackend::Window);
    DTInit(1, window);
    SDL_Surface* back = media::surface(0);
    ASSERT_NE(back, nullptr);
    auto source = [](int x, int y) {
        return 0xFF000000u | static_cast<std::uint32_t>(x * 4099 + y * 7) % 0xFFFFFFu;
    };
    for (int y = 0; y < 480; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(back->pixels) + y * back->pitch);
        for (int x = 0; x < 640; ++x) row[x] = source(x, y);
    }
    struct Case {
        int w, h;
    } cases[] = {{640, 480},   {1280, 960},  {1000, 700}, {1920, 1080},
                 {1920, 1440}, {2600, 1950}, {500, 400},  {320, 480}};
    for (const Case& c : cases) {
        SDL_SetWindowSize(window, c.w, c.h);
        drainEvents();
        DTUpdate(0);
        SDL_Surface* out = SDL_GetWindowSurface(window);
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(out->w, c.w);
        const media::PictureRect r = media::pictureRect(c.w, c.h);
        int wrong = 0, bars = 0;
        for (int y = 0; y < c.h; ++y) {
            auto* row =
                reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(out->pixels) + y * out->pitch);
            for (int x = 0; x < c.w; ++x) {
                const bool inside = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
                if (!inside) {
                    bars += (row[x] & 0xFFFFFFu) != 0;
                    continue;
                }
                const int sx = static_cast<int>(static_cast<long long>(x - r.x) * 640 / r.width);
                const int sy = static_cast<int>(static_cast<long long>(y - r.y) * 480 / r.height);
                wrong += (row[x] & 0xFFFFFFu) != (source(sx, sy) & 0xFFFFFFu);
            }
        }
        EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
        EXPECT_EQ(bars, 0) << c.w << "x" << c.h;
    }

    // The window layer darkens what the window shows, not the picture.
    SDL_SetWindowSize(window, 640, 480);
    drainEvents();
    media::overlayDim();
    media::presentAgain();
    media::overlayClear();
    SDL_Surface* out = SDL_GetWindowSurface(window);
    const SDL_Surface* picture = media::presentedPicture();
    int darker = 0, kept = 0;
    for (int x = 0; x < 640; ++x) {
        const std::uint32_t s = source(x, 100) & 0xFFFFFFu;
        const auto w = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(out->pixels) +
                                                              100 * out->pitch)[x];
        const auto p = reinterpret_cast<const std::uint32_t*>(
            static_cast<const std::uint8_t*>(picture->pixels) + 100 * picture->pitch)[x];
        darker += (w & 0xFF) < (s & 0xFF) || (s & 0xFF) == 0;
        kept += (p & 0xFFFFFFu) == s;
    }
    EXPECT_EQ(darker, 640);
    EXPECT_EQ(kept, 640);
    DTEnd();
    media::setDrawBackend(media::DrawBackend::Null);
    platform::close();
}

// The clocks share one count: a sleep until a tick never ends before the tick is
// due on the millisecond clock, less the time asked for.
TEST(SdlClock, ASleepUntilATickEndsOnTheMillisecondClocksTick) {
    for (std::uint32_t early : {0u, 200u, 900u}) {
        const std::uint32_t tick = timeGetTime() + 3;
        platform::sleepUntilTick(tick, early);
        const std::uint64_t us = platform::microseconds();
        EXPECT_GE(us, (tick * 1000ull) - early) << early;
        if (early == 0) {
            EXPECT_GE(timeGetTime(), tick);
        }
    }
    const std::uint32_t before = timeGetTime();
    const std::uint64_t us = platform::microseconds();
    EXPECT_LE(before, us / 1000);
    EXPECT_LE(us / 1000, timeGetTime());
}
