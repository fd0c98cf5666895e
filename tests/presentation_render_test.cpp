// The background streaks and the overlay: what is drawn where, and the timers they run.
#include <gtest/gtest.h>

#include "media/dtools.h"
#include "presentation/presentation.h"
#include "world_test_support.h"

using namespace tolvane;
using tolvane::testing::freshWorld;

namespace {

const media::DrawCall* findCopy(int sourceX, int sourceY) {
    for (const auto& c : media::drawLog()) {
        if ((c.name == "DTBitBlt" || c.name == "DTStretchBlt") && c.args[5] == 3 && c.args[6] == sourceX &&
            c.args[7] == sourceY)
            return &c;
    }
    return nullptr;
}

} // namespace

TEST(Streaks, LengthSpeedAndTheBottomEdge) {
    struct Case {
        float speed, y;
        int height;
        bool stays;
    } cases[] = {{10, 100, 1, true}, {2400, -240, 240, true}, {2400, 240, 240, true}, {10, 479, 1, true},
                 {15, 478, 2, true}, {15, 479, 2, false},     {10, 479.5f, 1, false}};
    for (const Case& c : cases) {
        auto w = freshWorld();
        w->starSpeed = c.speed;
        w->starActive[3] = 1;
        w->starX[3] = 77;
        w->starY[3] = c.y;
        media::setDrawLogging(true);
        drawBackground(*w);
        ASSERT_EQ(media::drawLog().size(), 1u);
        const auto& a = media::drawLog()[0].args;
        EXPECT_EQ(a, (std::vector<std::int64_t>{0, 77, static_cast<std::int64_t>(std::nearbyint(c.y)), 1,
                                                c.height, 8, 0, c.height, 1}));
        EXPECT_EQ(w->starY[3], c.y + c.speed / 10);
        EXPECT_EQ(w->starActive[3] == 1, c.stays) << c.y;
    }
}

TEST(Overlay, GaugeWidthBombsAndScore) {
    struct Case {
        int gauge, width;
    } cases[] = {{640, 64}, {5, 0}, {15, 2}, {25, 2}, {0, 0}};
    for (const Case& c : cases) {
        auto w = freshWorld();
        w->gauge = static_cast<i16>(c.gauge);
        w->bombStock = 0;
        media::setDrawLogging(true);
        drawFrame(*w);
        const media::DrawCall* bar = findCopy(0, 1);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->args[3], c.width) << c.gauge;
        EXPECT_NE(findCopy(224, 48), nullptr); // the bomb label, even with no bombs
        EXPECT_EQ(findCopy(232, 48), nullptr);
        EXPECT_NE(findCopy(224, 64), nullptr); // SCORE
    }
    auto w = freshWorld();
    w->bombStock = 3;
    media::setDrawLogging(true);
    drawFrame(*w);
    std::vector<std::int64_t> marks;
    for (const auto& c : media::drawLog())
        if (c.args[5] == 3 && c.args[6] == 232) marks.push_back(c.args[1]);
    EXPECT_EQ(marks, (std::vector<std::int64_t>{27, 36, 45}));
}

TEST(Overlay, SphereAlternatesFullAndHalfSizeWhileTheBurstRuns) {
    auto w = freshWorld(320, 300);
    w->burstTimer = 180;
    media::setDrawLogging(true);
    drawFrame(*w);
    const media::DrawCall* sphere = findCopy(0, 17);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->args, (std::vector<std::int64_t>{0, 230, 210, 180, 180, 3, 0, 17, 80, 80, 0}));
    EXPECT_EQ(w->burstTimer, 178);
    EXPECT_EQ(w->burstRadius, 16);
    media::setDrawLogging(true);
    drawFrame(*w);
    sphere = findCopy(0, 17);
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->args[3], 89);
    // Skipped frames draw no sphere but the burst still runs down.
    w->frameSkip = 1;
    media::setDrawLogging(true);
    drawFrame(*w);
    EXPECT_EQ(findCopy(0, 17), nullptr);
    EXPECT_EQ(w->burstTimer, 174);
}

TEST(Overlay, WreckShowsEightFramesOverTwenty) {
    auto w = freshWorld();
    w->wreckTimer = 80;
    w->wreckX = 100;
    w->wreckY = 200;
    std::vector<std::int64_t> frames;
    for (int f = 0; f < 25; ++f) {
        media::setDrawLogging(true);
        drawFrame(*w);
        for (const auto& c : media::drawLog())
            if (c.args[5] == 3 && c.args[7] == 97) frames.push_back(c.args[6] / 48);
    }
    EXPECT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames.front(), 0);
    EXPECT_EQ(frames.back(), 7);
}

TEST(Overlay, ContactPopupBlinksAndCarriesTheLevelPopup) {
    auto w = freshWorld();
    w->chainPopupTimer = 4;
    w->chainPopupX = 200;
    w->chainPopupY = 300;
    w->chainPopupValue = 7;
    w->levelPopupTimer = 60;
    w->levelPopupValue = 3;
    std::vector<bool> shown;
    for (int f = 0; f < 5; ++f) {
        media::setDrawLogging(true);
        drawFrame(*w);
        shown.push_back(findCopy(240, 0) != nullptr);
    }
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true, false, false}));
    EXPECT_EQ(w->levelPopupTimer, 58); // runs down only while the contact popup shows
}
