// Input sampling: keys and joystick combined, presses between samples kept, newly
// pressed flags, and the joystick limits.
#include <gtest/gtest.h>

#include <memory>

#include "media/platform_null.h"
#include "session/session.h"

using namespace tolvane;
namespace pn = platform::null;

namespace {

struct Live {
    std::unique_ptr<World> world = std::make_unique<World>();
    World& w = *world;
    Joystick joy{};
    Live() {
        probeJoystick(joy);
        readInput(w, joy);
    }
    void sample() { readInput(w, joy); }
};

} // namespace

TEST(Input, EitherKeyOfAPairHoldsTheDirection) {
    struct Case {
        int key;
        i16 World::*held;
    } cases[] = {{VK_UP, &World::inUp},        {VK_NUMPAD8, &World::inUp},   {VK_DOWN, &World::inDown},
                 {VK_NUMPAD2, &World::inDown}, {VK_LEFT, &World::inLeft},    {VK_NUMPAD4, &World::inLeft},
                 {VK_RIGHT, &World::inRight},  {VK_NUMPAD6, &World::inRight}};
    for (const Case& c : cases) {
        pn::reset();
        Live l;
        pn::setKey(c.key, true);
        l.sample();
        EXPECT_EQ(l.w.*c.held, -1) << c.key;
        pn::setKey(c.key, false);
        l.sample();
        EXPECT_EQ(l.w.*c.held, 0) << c.key;
    }
}

TEST(Input, LeftAndRightTogetherAreBothHeld) {
    Live l;
    pn::setKey(VK_LEFT, true);
    pn::setKey(VK_RIGHT, true);
    l.sample();
    EXPECT_EQ(l.w.inLeft, -1);
    EXPECT_EQ(l.w.inRight, -1);
}

TEST(Input, ATapBetweenTwoSamplesIsReportedOnce) {
    Live l;
    pn::tapKey(VK_UP);
    l.sample();
    EXPECT_EQ(l.w.inUp, -1);
    EXPECT_EQ(l.w.inUpPressed, -1);
    l.sample();
    EXPECT_EQ(l.w.inUp, 0);
}

TEST(Input, HoldingZGivesOneBombPress) {
    Live l;
    pn::setKey(VK_Z, true);
    int presses = 0;
    for (int f = 0; f < 30; ++f) {
        l.sample();
        presses += l.w.inBombPressed != 0;
    }
    EXPECT_EQ(presses, 1);
    pn::setKey(VK_Z, false);
    l.sample();
    pn::setKey(VK_Z, true);
    l.sample();
    EXPECT_EQ(l.w.inBombPressed, -1);
}

TEST(Input, KeyHeldAtStartIsNotNewlyPressed) {
    pn::setKey(VK_DOWN, true);
    Live l; // the priming sample sees the key
    l.sample();
    EXPECT_EQ(l.w.inDown, -1);
    EXPECT_EQ(l.w.inDownPressed, 0);
}

TEST(Joystick, LimitsAreTheOuterQuartersOfTheRange) {
    pn::setJoystick(true);
    Joystick joy{};
    probeJoystick(joy);
    EXPECT_EQ(joy.upLimit, 16384);
    EXPECT_EQ(joy.downLimit, 49152);
    EXPECT_EQ(joy.leftLimit, 16384);
    EXPECT_EQ(joy.rightLimit, 49152);
    EXPECT_EQ(joy.restValue, 32768);
}

TEST(Joystick, StickAndButtonSteerAndBomb) {
    struct Case {
        std::uint32_t x, y, buttons;
        int up, down, left, right, bomb;
    } cases[] = {
        {32768, 32768, 0, 0, 0, 0, 0, 0},  {16383, 32768, 0, 0, 0, -1, 0, 0},
        {16384, 32768, 0, 0, 0, 0, 0, 0},  {49153, 32768, 0, 0, 0, 0, -1, 0},
        {49152, 32768, 0, 0, 0, 0, 0, 0},  {32768, 0, 0, -1, 0, 0, 0, 0},
        {32768, 65535, 0, 0, -1, 0, 0, 0}, {32768, 32768, 1, 0, 0, 0, 0, -1},
        {32768, 32768, 2, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        pn::reset();
        pn::setJoystick(true);
        Live l;
        pn::setJoystick(true, JOYINFO{c.x, c.y, 32768, c.buttons});
        l.sample();
        EXPECT_EQ(l.w.inUp, c.up) << c.x << "," << c.y;
        EXPECT_EQ(l.w.inDown, c.down) << c.x << "," << c.y;
        EXPECT_EQ(l.w.inLeft, c.left) << c.x << "," << c.y;
        EXPECT_EQ(l.w.inRight, c.right) << c.x << "," << c.y;
        EXPECT_EQ(l.w.inBombPressed, c.bomb) << c.buttons;
    }
}

TEST(Joystick, NoneAtAllLeavesTheKeyboardAlone) {
    Live l;
    EXPECT_EQ(l.joy.upLimit, 0);
    l.sample();
    EXPECT_EQ(l.w.inUp | l.w.inDown | l.w.inLeft | l.w.inRight, 0);
    pn::setKey(VK_RIGHT, true);
    l.sample();
    EXPECT_EQ(l.w.inRight, -1);
}

TEST(Joystick, UnpluggedReadsCentredAndALateOneIsProbed) {
    pn::setJoystick(true);
    Live l;
    pn::setJoystick(false); // unplugged: the rest value lies between the limits
    l.sample();
    EXPECT_EQ(l.w.inUp | l.w.inDown | l.w.inLeft | l.w.inRight, 0);

    pn::reset();
    Live late; // no joystick at start
    pn::attachJoystick(JOYINFO{32768, 32768, 32768, 0});
    late.sample();
    EXPECT_EQ(late.joy.downLimit, 49152); // probed when it appeared, so centred is not "down"
    EXPECT_EQ(late.w.inDown | late.w.inRight, 0);
}
