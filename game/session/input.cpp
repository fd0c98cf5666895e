// Input sampling: keyboard and first joystick, combined, turned into the held
// directions and the newly pressed flags of the input record.
#include "media/platform.h"
#include "session/arith.h"
#include "session/session.h"

namespace tolvane {

// Derives the axis thresholds from the joystick's range: a stick counts as deflected
// in the outer quarter of each axis.
void probeJoystick(Joystick& joy) {
    joy.generation = platform::joystickGeneration();
    JOYINFO info{};
    if (joyGetPos(0, &info) != JOYERR_NOERROR) return;
    joy.xPos = info.wXpos;
    joy.yPos = info.wYpos;
    joy.zPos = info.wZpos;
    joy.buttons = info.wButtons;
    JOYCAPS caps{};
    joyGetDevCapsA(0, &caps);
    auto half = [](double v) { return roundToInt(v / 2); };
    std::int64_t h = half(double(caps.wYmax) - double(caps.wYmin));
    joy.upLimit = wrap32(half(double(h) - double(caps.wYmin)));
    joy.downLimit = wrap32(half(double(caps.wYmax) - double(h)) + h);
    h = half(double(caps.wXmax) - double(caps.wXmin));
    joy.leftLimit = wrap32(half(double(h) - double(caps.wXmin)));
    joy.rightLimit = wrap32(half(double(caps.wXmax) - double(h)) + h);
    joy.restValue = wrap32(h);
}

void readInput(World& w, Joystick& joy) {
    // A joystick plugged in after start-up is probed when it appears.
    if (platform::joystickGeneration() != joy.generation) probeJoystick(joy);

    JOYINFO info{};
    if (joyGetPos(0, &info) != JOYERR_NOERROR) {
        info.wButtons = 0;
        info.wXpos = info.wYpos = static_cast<std::uint32_t>(joy.restValue);
    }
    joy.xPos = info.wXpos;
    joy.yPos = info.wYpos;
    joy.zPos = info.wZpos;
    joy.buttons = info.wButtons;

    // Both keys of each pair are sampled, so a tap on either is never lost.
    auto held = [](int a, int b) {
        bool first = GetAsyncKeyState(a) != 0;
        bool second = GetAsyncKeyState(b) != 0;
        return first || second;
    };
    bool upKey = held(VK_UP, VK_NUMPAD8);
    bool downKey = held(VK_DOWN, VK_NUMPAD2);
    bool leftKey = held(VK_LEFT, VK_NUMPAD4);
    bool rightKey = held(VK_RIGHT, VK_NUMPAD6);
    bool bombKey = GetAsyncKeyState(VK_Z) != 0;

    auto x = static_cast<i32>(joy.xPos);
    auto y = static_cast<i32>(joy.yPos);
    auto flag = [](bool b) { return static_cast<i16>(b ? -1 : 0); };
    i16 up = flag(y < joy.upLimit || upKey);
    i16 down = flag(y > joy.downLimit || downKey);
    i16 left = flag(x < joy.leftLimit || leftKey);
    i16 right = flag(x > joy.rightLimit || rightKey);
    i16 bomb = flag((joy.buttons & 1u) != 0 || bombKey);

    w.inUp = up;
    w.inDown = down;
    w.inLeft = left;
    w.inRight = right;
    w.inUpPressed = flag(up && !joy.lastUp);
    w.inDownPressed = flag(down && !joy.lastDown);
    w.inLeftPressed = flag(left && !joy.lastLeft);
    w.inRightPressed = flag(right && !joy.lastRight);
    w.inBombPressed = flag(bomb && !joy.lastBomb);
    joy.lastUp = up;
    joy.lastDown = down;
    joy.lastLeft = left;
    joy.lastRight = right;
    joy.lastBomb = bomb;
}

} // namespace tolvane
