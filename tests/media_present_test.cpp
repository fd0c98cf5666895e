// Presenting the picture: where it goes in windows of every size, the window layer
// drawn over a copy, and the PNG writer (exact pixels, small files).
#include <gtest/gtest.h>

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <string>
#include <vector>

#include "media/dtools.h"
#include "media/overlay.h"
#include "media/png_writer.h"
#include "media/present.h"
#include "presentation/presentation.h"
#include "session/harness.h"

namespace {

std::vector<std::uint32_t> decodePng(const std::string& bytes, int* w, int* h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    *w = static_cast<int>(image.width);
    *h = static_cast<int>(image.height);
    for (auto& p : pixels) p &= 0xFFFFFFu;
    return pixels;
}

std::vector<std::uint32_t> rgbOf(const SDL_Surface* s) {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s->h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) +
                                                                 y * s->pitch);
        for (int x = 0; x < s->w; ++x) out.push_back(row[x] & 0xFFFFFFu);
    }
    return out;
}

} // namespace

TEST(PictureRect, WholeMultiplesCentredAndShrunkWhenTooSmall) {
    struct Case {
        int w, h;
        media::PictureRect expected;
        bool whole = true;
    } cases[] = {
        {640, 480, {0, 0, 640, 480}},
        {1280, 960, {0, 0, 1280, 960}},
        {1000, 700, {180, 110, 640, 480}},  // 1.56 x 1.46: scale 1, never 1.46
        {1920, 1080, {320, 60, 1280, 960}}, // 2.25 vertical room: scale 2
        {1920, 1440, {0, 0, 1920, 1440}},
        {2560, 1440, {320, 0, 1920, 1440}},
        {639, 480, {0, 0, 639, 479}}, // below 1: the largest size that fits
        {320, 480, {0, 120, 320, 240}},
        {640, 240, {160, 0, 320, 240}},
        {0, 480, {0, 0, 0, 0}},
        // As large as fits, when whole multiples are not asked for.
        {1000, 700, {33, 0, 933, 700}, false},
        {1920, 1080, {240, 0, 1440, 1080}, false},
        {1280, 960, {0, 0, 1280, 960}, false},
    };
    for (const Case& c : cases) {
        media::PictureRect r = media::pictureRect(c.w, c.h, 640, 480, c.whole);
        EXPECT_EQ(r.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.expected.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.width, c.expected.width) << c.w << "x" << c.h;
        EXPECT_EQ(r.height, c.expected.height) << c.w << "x" << c.h;
    }
}

TEST(WindowLayer, DimsBlendsAndWritesTextInsideThePictureOnly) {
    std::vector<std::uint32_t> picture(64 * 32, 0x00C08040u);
    media::overlayClear();
    EXPECT_TRUE(media::overlayEmpty());
    media::overlayDim();
    media::drawOverlay(picture.data(), 64, 64, 32);
    EXPECT_EQ(picture[0], 0x00483018u) << "three eighths of each channel";

    std::fill(picture.begin(), picture.end(), 0u);
    media::overlayClear();
    media::overlayBox(-10, 30, 20, 20, 0x80FFFFFFu); // half white, clipped at two edges
    media::drawOverlay(picture.data(), 64, 64, 32);
    EXPECT_EQ(picture[30 * 64 + 0], 0x00808080u);
    EXPECT_EQ(picture[31 * 64 + 9], 0x00808080u);
    EXPECT_EQ(picture[31 * 64 + 10], 0u);
    EXPECT_EQ(picture[29 * 64 + 0], 0u);

    std::fill(picture.begin(), picture.end(), 0u);
    media::overlayClear();
    media::overlayText(2, 2, "PAUSE", 16, 0xFFFFFF);
    media::drawOverlay(picture.data(), 64, 64, 32);
    const auto lit = std::count_if(picture.begin(), picture.end(), [](std::uint32_t p) { return p != 0; });
    EXPECT_GT(lit, 40) << "the text draws";
    EXPECT_GT(media::overlayTextWidth("PAUSE", 16), media::overlayTextWidth("P", 16));
    EXPECT_EQ(media::overlayTexts(), std::vector<std::string>{"PAUSE"});
    media::overlayClear();
}

TEST(PngWriter, ExactPixelsWithAPaletteOrWithout) {
    struct Case {
        int colours;
        const char* what;
    } cases[] = {{2, "two colours"}, {256, "256 colours, still a palette"}, {257, "257 colours: RGB"}};
    for (const Case& c : cases) {
        const int w = 97, h = 23, pitch = 100;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(pitch) * h, 0xDEADBEEFu);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int i = (y * w + x) % c.colours;
                pixels[y * pitch + x] = 0xFF000000u | static_cast<std::uint32_t>(i * 65599 + 17) % 0xFFFFFFu;
            }
        std::string png;
        ASSERT_TRUE(media::encodePng(png, pixels.data(), w, h, pitch)) << c.what;
        int dw = 0, dh = 0;
        std::vector<std::uint32_t> back = decodePng(png, &dw, &dh);
        ASSERT_EQ(dw, w) << c.what;
        ASSERT_EQ(dh, h) << c.what;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) wrong += back[y * w + x] != (pixels[y * pitch + x] & 0xFFFFFFu);
        EXPECT_EQ(wrong, 0) << c.what;
        EXPECT_EQ(static_cast<unsigned char>(png[25]), c.colours <= 256 ? 3 : 2) << c.what << ": colour type";
    }
    std::string png;
    EXPECT_FALSE(media::encodePng(png, nullptr, 10, 10, 10));
}

// The busiest frame of the autoplay game, composed as the headless tool composes it,
// makes a PNG well under 100 KB that holds exactly its pixels.
TEST(PngWriter, ABusyFrameIsSmallAndExact) {
    media::setDrawBackend(media::DrawBackend::Offscreen);
    DTInit(1, nullptr);
    tolvane::createSpriteSheets();
    tolvane::Session game;
    std::string why;
    ASSERT_TRUE(game.startPlayback(std::string(TOLVANE_TEST_DATA) + "/autoplay.rep", &why)) << why;
    game.world().frameSkip = 1; // the frames before it are not shown, so not composed
    while (game.nextFrame() < 17100) game.frame();
    game.world().frameSkip = 0;
    game.frame();
    DTUpdate(0);
    const SDL_Surface* picture = media::presentedPicture();
    ASSERT_NE(picture, nullptr);
    std::string png;
    ASSERT_TRUE(media::encodePng(png, static_cast<const std::uint32_t*>(picture->pixels), picture->w,
                                 picture->h, picture->pitch / 4));
    RecordProperty("bytes", static_cast<int>(png.size()));
    EXPECT_LT(png.size(), 100u * 1024);
    int w = 0, h = 0;
    EXPECT_TRUE(decodePng(png, &w, &h) == rgbOf(picture));
    const auto pixels = rgbOf(picture);
    EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; }), 50000)
        << "a busy frame";
    DTEnd();
}
