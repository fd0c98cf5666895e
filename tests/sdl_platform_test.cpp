// The SDL platform without a display: SDL's virtual joystick appears after start-up,
// is probed, steers and bombs through readInput.
#include <gtest/gtest.h>

#include <SDL.h>

#include <memory>

#include "media/platform.h"
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
