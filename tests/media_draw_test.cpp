// The drawing library: keyed and plain copies, clipping at the surface edges,
// stretched copies, the window's own drawing and the text of a device context.
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "media/dtools.h"
#include "media/gdi.h"

namespace {

constexpr std::uint32_t kKey = 0xFF077C8Du; // RGB(7, 124, 141)
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlack = 0xFF000000u;

// A 24-bit BMP file image of w x h filled with `fill`, with a red 4x4 square at (2, 2).
std::vector<unsigned char> makeBmp(int w, int h, std::uint32_t fill) {
    int rowBytes = (w * 3 + 3) & ~3;
    std::vector<unsigned char> b(54 + rowBytes * h);
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint32_t c = (x >= 2 && x < 6 && y >= 2 && y < 6) ? kRed : fill;
            unsigned char* p = &b[54 + (h - 1 - y) * rowBytes + x * 3];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    }
    return b;
}

std::uint32_t pixel(int surface, int x, int y) {
    SDL_Surface* s = media::surface(surface);
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch)[x] |
           0xFF000000u;
}

class Draw : public ::testing::Test {
  protected:
    void SetUp() override {
        media::setDrawBackend(media::DrawBackend::Offscreen);
        DTInit(1, nullptr);
        bmp = makeBmp(16, 16, kKey);
        DTCreateSprite(2, Bitmap{bmp.data(), bmp.size()}, 16, 16);
        DTSetColorKey(2, -1);
        DTClear(0, 0x00FFFFFF, 0); // white
    }
    void TearDown() override {
        DTEnd();
        media::setDrawBackend(media::DrawBackend::Null);
    }
    std::vector<unsigned char> bmp;
};

} // namespace

TEST_F(Draw, KeyColourIsLeftOutInModeZeroOnly) {
    DTBitBlt(0, 100, 100, 16, 16, 2, 0, 0, 0);
    EXPECT_EQ(pixel(0, 100, 100), 0xFFFFFFFFu); // key: the white background shows
    EXPECT_EQ(pixel(0, 103, 103), kRed);
    DTBitBlt(0, 200, 100, 16, 16, 2, 0, 0, 1);
    EXPECT_EQ(pixel(0, 200, 100), kKey); // mode 1 copies every pixel
    EXPECT_EQ(pixel(0, 203, 103), kRed);
}

TEST_F(Draw, ClearUsesBgrColourValues) {
    DTClear(0, 0x0000FF, 0); // 0x00BBGGRR: red
    EXPECT_EQ(pixel(0, 0, 0), kRed);
    DTClear(0, 0, 0);
    EXPECT_EQ(pixel(0, 639, 479), kBlack);
}

TEST_F(Draw, CopiesAreClippedAtEveryEdge) {
    DTClear(0, 0, 0);
    // Half off the left and top: source pixel (3, 3) lands on (0, 0).
    DTBitBlt(0, -3, -3, 16, 16, 2, 0, 0, 1);
    EXPECT_EQ(pixel(0, 0, 0), kRed);
    EXPECT_EQ(pixel(0, 3, 3), kKey);
    // Half off the right and bottom: drawn up to the last column and row.
    DTBitBlt(0, 630, 470, 16, 16, 2, 0, 0, 1);
    EXPECT_EQ(pixel(0, 632, 472), kRed);
    EXPECT_EQ(pixel(0, 639, 479), kKey);
    // Wholly outside, or a source rectangle past the sheet: nothing, and no crash.
    DTBitBlt(0, 100, 480, 1, 240, 2, 0, 0, 1);
    DTBitBlt(0, -50, 10, 16, 16, 2, 0, 0, 1);
    DTBitBlt(0, 50, 50, 16, 16, 2, 10, 10, 1);
    EXPECT_EQ(pixel(0, 50, 50), kKey);
    EXPECT_EQ(pixel(0, 56, 56), kBlack);     // only the 6x6 left of the sheet is copied
    DTBitBlt(0, 10, 10, 16, 16, 7, 0, 0, 0); // a surface that does not exist
}

TEST_F(Draw, StretchScalesAndKeepsTheKey) {
    DTClear(0, 0, 0);
    DTStretchBlt(0, 0, 0, 32, 32, 2, 0, 0, 16, 16, 0);
    EXPECT_EQ(pixel(0, 4, 4), kRed);
    EXPECT_EQ(pixel(0, 11, 11), kRed);
    EXPECT_EQ(pixel(0, 12, 12), kBlack); // key left out
    DTStretchBlt(0, 100, 100, 8, 8, 2, 0, 0, 16, 16, 0);
    EXPECT_EQ(pixel(0, 101, 101), kRed);
    DTStretchBlt(0, 630, 470, 80, 80, 2, 0, 0, 16, 16, 0); // clipped, no crash
}

TEST_F(Draw, WindowDrawingIsPresentedOverThePicture) {
    DTClear(0, 0, 0);
    FormPSet(100, 100);
    FormLineStep(50, 0);
    FormCircle(320, 240, 40);
    FormLineStep(-5000, 9000); // far off the window: clipped
    DTUpdate(0);
    SDL_Surface* p = media::presentedPicture();
    ASSERT_NE(p, nullptr);
    auto at = [&](int x, int y) {
        return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(p->pixels) + y * p->pitch)[x];
    };
    EXPECT_EQ(at(125, 100), 0xFFFFFFFFu);
    EXPECT_EQ(at(360, 240), 0xFFFFFFFFu);
    EXPECT_EQ(at(320, 240), kBlack);
    EXPECT_EQ(pixel(0, 125, 100), kBlack); // the back buffer itself is untouched
    DTUpdate(0);                           // the window drawing lasts one presented frame
    p = media::presentedPicture();
    EXPECT_EQ(at(125, 100), kBlack);
}

TEST_F(Draw, TextIsDrawnWhiteOnAnOpaqueBox) {
    DTClear(0, 0x000080, 0);
    HDC dc = DTGetDC(0);
    HFONT f = CreateFontA(20, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "ＭＳ Ｐゴシック");
    HFONT old = SelectObject(dc, f);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, 0);
    SetTextColor(dc, 0xFFFFFF);
    const char text[] = "Time 179.98";
    ASSERT_TRUE(TextOutA(dc, 280, 32, text, sizeof text - 1));
    // Japanese in CP932: "時間" is four bytes.
    ASSERT_TRUE(TextOutA(dc, 100, 200, "\x8E\x9E\x8A\xD4", 4));
    SelectObject(dc, old);
    DeleteObject(f);
    DTReleaseDC(0, dc);
    int white = 0, black = 0, kanji = 0;
    for (int y = 32; y < 52; ++y) {
        for (int x = 280; x < 400; ++x) {
            std::uint32_t c = pixel(0, x, y);
            white += c == 0xFFFFFFFFu;
            black += c == kBlack;
        }
    }
    for (int y = 200; y < 220; ++y) {
        for (int x = 100; x < 140; ++x) kanji += pixel(0, x, y) == 0xFFFFFFFFu;
    }
    EXPECT_GT(white, 60);
    EXPECT_GT(black, 300); // the box behind the letters is black, not the red around
    EXPECT_GT(kanji, 40);
    EXPECT_EQ(pixel(0, 279, 40), 0xFF800000u);
}

TEST(DrawNull, LogsCallsAndDoesNoPixelWork) {
    media::setDrawBackend(media::DrawBackend::Null);
    media::setDrawLogging(true);
    DTInit(1, nullptr);
    DTBitBlt(0, 1, 2, 3, 4, 5, 6, 7, 0);
    EXPECT_EQ(media::surface(0), nullptr);
    ASSERT_EQ(media::drawLog().size(), 2u);
    EXPECT_EQ(media::drawLog()[1].name, "DTBitBlt");
    EXPECT_EQ(media::drawLog()[1].args, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
}

// A frame nobody will see is not composed: clears, copies, stretches, text and the
// window's drawing leave the back buffer as it was, while a test's log still sees them.
TEST_F(Draw, AFrameThatIsNotComposedLeavesTheBackBufferAlone) {
    DTBitBlt(0, 100, 100, 16, 16, 2, 0, 0, 1);
    media::setComposing(false);
    EXPECT_FALSE(media::drawsPixels());
    EXPECT_FALSE(media::drawing());
    media::setDrawLogging(true);
    EXPECT_TRUE(media::drawing()) << "logged calls are still made";
    DTClear(0, 0, 0);
    DTBitBlt(0, 200, 100, 16, 16, 2, 0, 0, 1);
    DTStretchBlt(0, 300, 100, 32, 32, 2, 0, 0, 16, 16, 0);
    HDC dc = DTGetDC(0);
    SetBkColor(dc, 0); // a black box
    TextOutA(dc, 400, 100, "Time", 4);
    EXPECT_EQ(media::drawLog().size(), 5u);
    media::setDrawLogging(false);
    EXPECT_EQ(pixel(0, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(0, 103, 103), kRed);
    EXPECT_EQ(pixel(0, 203, 103), 0xFFFFFFFFu);
    EXPECT_EQ(pixel(0, 310, 110), 0xFFFFFFFFu);
    for (int x = 400; x < 440; ++x) ASSERT_EQ(pixel(0, x, 110), 0xFFFFFFFFu) << x;
    media::setComposing(true);
    EXPECT_TRUE(media::drawsPixels());
    DTBitBlt(0, 200, 100, 16, 16, 2, 0, 0, 1);
    EXPECT_EQ(pixel(0, 203, 103), kRed);
    TextOutA(dc, 400, 100, "Time", 4);
    DTReleaseDC(0, dc);
    EXPECT_NE(pixel(0, 401, 110), 0xFFFFFFFFu) << "composed again, the text is drawn";
}
