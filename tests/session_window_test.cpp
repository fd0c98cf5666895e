// The window's own keys with the null platform: pause in live play leaves the replay
// as it would have been, playback steps one frame at a time and jumps ahead, fullscreen
// toggles, and a screenshot holds the presented picture.
#include <gtest/gtest.h>

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/dtools.h"
#include "media/overlay.h"
#include "media/platform_null.h"
#include "records/screenshot.h"
#include "records_test_support.h"
#include "session/session.h"
#include "session/window.h"

using namespace tolvane;
using namespace records_test;
namespace pn = platform::null;
using platform::FormEvent;

namespace {

FormEvent key(int code, bool alt = false, bool repeat = false) {
    return {FormEvent::KeyDown, code, alt, repeat};
}

// The frame number the playback panel shows, or -1.
long panelFrame() {
    for (const std::string& t : media::overlayTexts()) {
        long n = 0;
        if (std::sscanf(t.c_str(), "frame %ld", &n) == 1) return n;
    }
    return -1;
}

bool panelSays(const std::string& text) {
    auto texts = media::overlayTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

long goldenEndFrame(const std::string& name) {
    std::ifstream in(std::string(TOLVANE_TEST_DATA) + "/" + name + ".verify.json");
    std::string line;
    std::getline(in, line);
    const std::string key = "\"endFrame\": ";
    const std::size_t at = line.find(key);
    return at == std::string::npos ? -1 : std::stol(line.substr(at + key.size()));
}

// "tolvane-YYYYMMDD-HHMMSS.png", or with "-2" before ".png" for the second in a second.
bool isScreenshotName(const std::string& name) {
    const std::string pattern = "tolvane-99999999-999999",
                      tail = name.substr(std::min(name.size(), pattern.size()));
    if (name.size() < pattern.size() || (tail != ".png" && tail != "-2.png")) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (pattern[i] == '9' ? !digit : name[i] != pattern[i]) return false;
    }
    return true;
}

// Quits soon after the game has ended, which is when NewReplay.rep appears.
void quitAfterTheEnd(const RecordsDir& dir) {
    auto check = std::make_shared<std::function<void()>>();
    *check = [&dir, check] {
        if (fs::exists(dir / "NewReplay.rep")) {
            pn::scheduleAt(timeGetTime() + 500, [] { pn::pushEvent(key(VK_ESCAPE)); });
        } else {
            pn::scheduleAt(timeGetTime() + 1000, *check);
        }
    };
    pn::scheduleAt(1000, *check);
}

// A whole live game steered by a scripted joystick (one reading per input sample, so
// the input follows the frames, not the clock). With `pauses`, the game is paused for
// ten seconds with P and again by losing the focus, resumed by a game controller's
// Start. Returns NewReplay.rep; `frozen` tells whether no input was sampled while paused.
std::string playLive(bool pauses, bool* frozen, std::uint32_t* clockAtEnd) {
    RecordsDir dir;
    pn::reset();
    pn::setTime(0, 1);
    *frozen = true;
    pn::setJoystickScript([pauses, frozen](std::uint32_t read) {
        if (pauses && (read == 2000 || read == 6000)) {
            const std::uint32_t at = pn::joystickReads();
            pn::pushEvent(read == 2000 ? key(VK_P) : FormEvent{FormEvent::FocusLost});
            const FormEvent resume = read == 2000 ? key(VK_P) : FormEvent{FormEvent::PadStart};
            pn::scheduleAt(timeGetTime() + 10000, [at, resume, frozen] {
                // Paused since the frame after the event: one sample at most went by.
                if (pn::joystickReads() > at + 2) *frozen = false;
                pn::pushEvent(resume);
            });
        }
        // Around the screen in eight directions, a bomb now and then.
        static constexpr std::uint32_t kAxis[3] = {0, 32768, 65535};
        const std::uint32_t dir = (read / 45) % 8;
        const int dx[8] = {1, 2, 2, 2, 1, 0, 0, 0}, dy[8] = {0, 0, 1, 2, 2, 2, 1, 0};
        return JOYINFO{kAxis[dx[dir]], kAxis[dy[dir]], 32768, read % 700 == 350 ? 1u : 0u};
    });
    quitAfterTheEnd(dir);
    EXPECT_EQ(runGame(""), 0);
    *clockAtEnd = timeGetTime();
    return readFile(dir / "NewReplay.rep");
}

} // namespace

TEST(WindowKeys, WhatEachKeyAsksForInLivePlayAndPlayback) {
    struct Case {
        FormEvent event;
        bool playback;
        bool handled;
        bool paused, fullscreen, screenshot, panelShown, toResults;
        long runAhead;
    } cases[] = {
        {key(VK_F11), false, true, false, true, false, true, false, 0},
        {key(VK_RETURN, true), false, true, false, true, false, true, false, 0},
        {key(VK_RETURN), false, false, false, false, false, true, false, 0}, // Enter alone
        {key(VK_F12), true, true, false, false, true, true, false, 0},
        {key(VK_P), false, true, true, false, false, true, false, 0},
        {key(VK_PAUSE), true, true, true, false, false, true, false, 0},
        {key(VK_SPACE), true, true, true, false, false, true, false, 0},
        {key(VK_SPACE), false, false, false, false, false, true, false, 0}, // playback only
        {key(VK_NEXT), true, true, false, false, false, true, false, kPageFrames},
        {key(VK_NEXT), false, false, false, false, false, true, false, 0},
        {key(VK_END), true, true, false, false, false, true, true, 0},
        {key(VK_H), true, true, false, false, false, false, false, 0},
        {key(VK_H), false, false, false, false, false, true, false, 0},
        {key(VK_OEM_PERIOD), true, true, false, false, false, true, false, 0},        // not paused: nothing
        {key(VK_F1), true, false, false, false, false, true, false, 0},               // the game's own
        {key(VK_F11, false, true), false, true, false, false, false, true, false, 0}, // a held key repeats
        {key(VK_P, false, true), false, true, false, false, false, true, false, 0},
    };
    for (const Case& c : cases) {
        World w{};
        w.replayMode = c.playback ? 1 : 0;
        WindowControls ctl;
        EXPECT_EQ(windowKey(ctl, w, c.event), c.handled) << c.event.keyCode;
        EXPECT_EQ(ctl.paused, c.paused) << c.event.keyCode;
        EXPECT_EQ(ctl.toggleFullscreen, c.fullscreen) << c.event.keyCode;
        EXPECT_EQ(ctl.screenshot, c.screenshot) << c.event.keyCode;
        EXPECT_EQ(ctl.panelShown, c.panelShown) << c.event.keyCode;
        EXPECT_EQ(ctl.toResults, c.toResults) << c.event.keyCode;
        EXPECT_EQ(ctl.runAhead, c.runAhead) << c.event.keyCode;
    }
}

// The player's keys reach the game's virtual keys; a live game frees the playback's keys
// and a playback the live game's, so Space can bomb in one and pause the other.
TEST(WindowKeys, ThePlayersKeysFeedTheGamesVirtualKeysOfTheirMode) {
    const settings::Settings chosen = settings::parse("[keys]\nbomb = Space, X\nleft = A\n");
    auto keysOf = [](const std::vector<platform::KeyBinding>& bindings, int vk) {
        for (const auto& b : bindings) {
            if (b.virtualKey == vk) return settings::keyList(b.keys);
        }
        return std::string("(not bound)");
    };
    const auto live = keyBindings(chosen, false), playback = keyBindings(chosen, true);
    EXPECT_EQ(keysOf(live, VK_Z), "Space, X");
    EXPECT_EQ(keysOf(live, VK_LEFT), "A");
    EXPECT_EQ(keysOf(live, VK_P), "P, Pause");
    EXPECT_EQ(keysOf(live, VK_SPACE), "(not bound)");
    EXPECT_EQ(keysOf(playback, VK_SPACE), "Space");
    EXPECT_EQ(keysOf(playback, VK_Z), "(not bound)");
    EXPECT_EQ(keysOf(playback, VK_ESCAPE), "Escape");
}

TEST(WindowSize, WholeScalesThatTheDesktopHolds) {
    struct Case {
        int chosen, desktopWidth, desktopHeight, scale;
    };
    const Case cases[] = {
        {0, 1024, 768, 1}, {0, 1920, 1080, 1}, {0, 2560, 1440, 2}, {0, 3840, 2160, 3},
        {0, 600, 400, 1},  {2, 1920, 1080, 2}, {3, 1920, 1080, 2}, {5, 800, 600, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowScale(c.chosen, c.desktopWidth, c.desktopHeight), c.scale)
            << c.chosen << " on " << c.desktopWidth << "x" << c.desktopHeight;
}

TEST(WindowKeys, PauseResumesWithTheClockRestartedAndStepsOnlyWhilePaused) {
    World w{};
    w.replayMode = 1;
    WindowControls c;
    windowKey(c, w, key(VK_SPACE));
    EXPECT_TRUE(c.paused);
    EXPECT_TRUE(c.repaint);
    windowKey(c, w, key(VK_OEM_PERIOD));
    windowKey(c, w, key(VK_OEM_PERIOD, false, true)); // held: steps on
    EXPECT_EQ(c.runAhead, 2);
    windowKey(c, w, key(VK_P));
    EXPECT_FALSE(c.paused);
    EXPECT_TRUE(c.restartClock);

    // Losing the focus pauses live play only; a controller's Start resumes.
    WindowControls live;
    World lw{};
    windowFocusLost(live, lw);
    EXPECT_TRUE(live.paused);
    windowPadStart(live);
    EXPECT_FALSE(live.paused);
    WindowControls playback;
    windowFocusLost(playback, w);
    EXPECT_FALSE(playback.paused);
}

TEST(WindowLayer, PanelInPlaybackDimmedWhilePausedNothingInLivePlay) {
    World w{};
    w.frameCounter = 43; // frame 42 is the one shown
    w.replayFrame = 43;
    w.replayInput[42] = 1 | 8 | 16;
    WindowControls c;
    describeWindowLayer(c, w);
    EXPECT_TRUE(media::overlayEmpty()) << "live play shows the bare picture";
    w.replayMode = 1;
    w.playbackSpeed = 3;
    describeWindowLayer(c, w);
    EXPECT_TRUE(panelSays("REPLAY"));
    EXPECT_TRUE(panelSays("x4"));
    EXPECT_EQ(panelFrame(), 42);
    EXPECT_FALSE(media::overlayDimmed());
    setPaused(c, true);
    describeWindowLayer(c, w);
    EXPECT_TRUE(media::overlayDimmed());
    EXPECT_TRUE(panelSays("PAUSE"));
    c.stepped = true; // a stepped frame is shown as it is
    describeWindowLayer(c, w);
    EXPECT_FALSE(media::overlayDimmed());
    c.panelShown = false;
    describeWindowLayer(c, w);
    EXPECT_TRUE(media::overlayEmpty());
    EXPECT_EQ(speedLabel(0), "x1");
    EXPECT_EQ(speedLabel(15), "x16");
    EXPECT_EQ(speedLabel(255), "max");
}

// The game paused for ten seconds, and again by losing the focus, records exactly the
// replay of the same input played without pausing.
TEST(WindowPause, APausedLiveGameWritesTheSameReplay) {
    bool frozenA = false, frozenB = false;
    std::uint32_t endA = 0, endB = 0;
    const std::string plain = playLive(false, &frozenA, &endA);
    const std::string paused = playLive(true, &frozenB, &endB);
    ASSERT_GT(plain.size(), 5u) << "the game reached its end and saved its replay";
    EXPECT_EQ(paused, plain);
    EXPECT_TRUE(frozenB) << "no input was sampled while paused";
    EXPECT_GE(endB, endA + 19000) << "the pauses took their time";
}

// Playback: Space pauses, each period runs exactly one frame, PageDown 600, End the
// rest of the game; the panel's frame number says where the playback stands.
TEST(WindowPlayback, StepsJumpsAndTheEnd) {
    const std::string replay = std::string(TOLVANE_TEST_DATA) + "/autoplay.rep";
    const long endFrame = goldenEndFrame("autoplay");
    ASSERT_GT(endFrame, 1000);
    pn::setTime(0, 1);
    std::vector<long> seen;
    auto look = [&seen](std::uint32_t at) { pn::scheduleAt(at, [&seen] { seen.push_back(panelFrame()); }); };
    pn::pushEvent(key(VK_SPACE), 1000);
    look(1500);
    look(2500); // a second later, still paused
    for (std::uint32_t t : {3000u, 3100u, 3200u}) {
        pn::pushEvent(key(VK_OEM_PERIOD), t);
        look(t + 50);
    }
    pn::pushEvent(key(VK_NEXT), 4000);
    look(4050);
    pn::pushEvent(key(VK_END), 5000);
    look(5050);
    pn::pushEvent(key(VK_END), 6000); // at the results already: nothing more
    look(6050);
    pn::pushEvent(key(VK_ESCAPE), 7000);
    EXPECT_EQ(runGame(replay), 0);
    ASSERT_EQ(seen.size(), 8u);
    const long f = seen[0];
    EXPECT_GT(f, 30); // about 1000 ms / 17 ms
    EXPECT_EQ(seen[1], f);
    EXPECT_EQ(seen[2], f + 1);
    EXPECT_EQ(seen[3], f + 2);
    EXPECT_EQ(seen[4], f + 3);
    EXPECT_EQ(seen[5], f + 3 + kPageFrames);
    EXPECT_EQ(seen[6], endFrame + 1) << "the first frame of the results";
    EXPECT_EQ(seen[7], endFrame + 1);
}

TEST(WindowFullscreen, F11AndAltEnterToggleEnterAloneDoesNot) {
    pn::setTime(0, 1);
    std::vector<bool> states;
    auto look = [&states](std::uint32_t at) {
        pn::scheduleAt(at, [&states] { states.push_back(platform::isFullscreen(nullptr)); });
    };
    pn::pushEvent(key(VK_F11), 500);
    look(600);
    pn::pushEvent(key(VK_F11), 700);
    look(800);
    pn::pushEvent(key(VK_RETURN, true), 900);
    look(1000);
    pn::pushEvent(key(VK_RETURN), 1100);
    look(1200);
    pn::pushEvent(key(VK_ESCAPE), 1300);
    EXPECT_EQ(runGame(""), 0);
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, true}));
}

// F12 while paused: the file holds exactly the presented picture (never the window
// layer), named by the date, and a second one in the same second does not overwrite it.
TEST(WindowScreenshot, HoldsThePresentedPictureInTheRecordsFolder) {
    RecordsDir dir;
    pn::setTime(0, 1);
    std::vector<std::uint32_t> expected;
    pn::pushEvent(key(VK_P), 1000);
    pn::pushEvent(key(VK_F12), 1200);
    pn::pushEvent(key(VK_F12), 1210);
    pn::scheduleAt(1300, [&expected] {
        const SDL_Surface* p = media::presentedPicture();
        ASSERT_NE(p, nullptr);
        for (int y = 0; y < p->h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const std::uint8_t*>(p->pixels) + y * p->pitch);
            for (int x = 0; x < p->w; ++x) expected.push_back(row[x] & 0xFFFFFFu);
        }
    });
    pn::pushEvent(key(VK_ESCAPE), 1400);
    EXPECT_EQ(runGame(""), 0);

    std::vector<std::string> shots;
    for (const std::string& name : dir.names()) {
        if (isScreenshotName(name)) shots.push_back(name);
    }
    ASSERT_EQ(shots.size(), 2u);
    const std::string bytes = readFile(dir / shots[0]);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_BGRA;
    ASSERT_EQ(image.width, 640u);
    ASSERT_EQ(image.height, 480u);
    std::vector<std::uint32_t> pixels(640 * 480);
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    for (auto& p : pixels) p &= 0xFFFFFFu;
    ASSERT_EQ(expected.size(), pixels.size());
    EXPECT_TRUE(pixels == expected);
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; }), 100)
        << "the picture shows the game (the time text at least)";
    EXPECT_EQ(readFile(dir / shots[1]), bytes);

    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 5;
    when.tm_hour = 7;
    when.tm_min = 8;
    when.tm_sec = 9;
    EXPECT_EQ(screenshotName(when), "tolvane-20240305-070809.png");
}
