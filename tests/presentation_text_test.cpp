// The Misc module: font faces by number, the text pass and its fonts, the palette.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "media/dtools.h"
#include "media/gdi.h"
#include "presentation/palette.h"
#include "presentation/presentation.h"

using namespace tolvane;

TEST(Text, FaceNumbersOutOfRangeMeanSystem) {
    struct Case {
        const char* number;
        const char* face;
    } cases[] = {{"0", "System"}, {"1", "Terminal"}, {"2", "ＭＳ Ｐゴシック"}, {"3", "ＭＳ Ｐ明朝"},
                 {"7", "System"}, {"-1", "System"},  {"x", "System"},          {"2.5", "ＭＳ Ｐゴシック"}};
    for (const Case& c : cases) EXPECT_STREQ(faceName(c.number), c.face) << c.number;
}

TEST(Text, EndRightAfterBeginReleasesTheContextAndDeletesNothing) {
    media::setDrawLogging(true);
    int fonts = media::liveFontCount();
    TextPass t{};
    beginText(t, 0);
    EXPECT_NE(t.dc, 0);
    endText(t);
    EXPECT_EQ(t.dc, 0);
    EXPECT_EQ(media::liveFontCount(), fonts);
    ASSERT_FALSE(media::drawLog().empty());
    EXPECT_EQ(media::drawLog().back().name, "DTReleaseDC");
}

TEST(Text, OnlyTheLastFontOfAPassLivesAndNoneOutlivesIt) {
    int fonts = media::liveFontCount();
    TextPass t{};
    beginText(t, 0);
    selectFont(t, "2", 20, 0, 4, 0, 0, 0);
    selectFont(t, "3", 16, 0, 7, 0, 0, 0);
    EXPECT_EQ(media::liveFontCount(), fonts + 1);
    endText(t);
    EXPECT_EQ(media::liveFontCount(), fonts);
}

TEST(Text, NothingHappensOutsideAPassAndASecondBeginKeepsTheFirst) {
    int fonts = media::liveFontCount();
    TextPass t{};
    selectFont(t, "2", 20, 0, 4, 0, 0, 0);
    setTextColors(t, 0xFFFFFF, 0, 0);
    drawText(t, "Time", 0, 0);
    endText(t);
    EXPECT_EQ(media::liveFontCount(), fonts);
    beginText(t, 0);
    HDC first = t.dc;
    beginText(t, 3);
    EXPECT_EQ(t.dc, first);
    EXPECT_EQ(t.surface, 0);
    endText(t);
}

TEST(Text, LengthIsCountedInBytesOfTheConvertedText) {
    struct Case {
        const char* text;
        int bytes;
    } cases[] = {{"Time 179.98", 11}, {"時間", 4}, {"今回のスコアは3位", 17}, {"", 0}};
    for (const Case& c : cases) {
        TextPass t{};
        beginText(t, 0);
        media::setDrawLogging(true);
        drawText(t, c.text, 280, 32);
        endText(t);
        ASSERT_FALSE(media::drawLog().empty());
        const auto& call = media::drawLog().front();
        EXPECT_EQ(call.name, "TextOutA");
        EXPECT_EQ(call.args, (std::vector<std::int64_t>{280, 32, c.bytes})) << c.text;
    }
}

TEST(Palette, BitmapResourceColourTableFollowsTheHeader) {
    std::vector<unsigned char> dib(1320);
    for (int c = 0; c < 256; ++c) {
        dib[40 + 4 * c] = static_cast<unsigned char>(c);       // blue
        dib[41 + 4 * c] = static_cast<unsigned char>(255 - c); // green
        dib[42 + 4 * c] = static_cast<unsigned char>(c / 2);   // red
    }
    std::array<std::uint8_t, 1024> e{};
    ASSERT_EQ(paletteFromResource(dib.data(), dib.size(), 2, e), PaletteResult::Ok);
    EXPECT_EQ(e[4 * 10 + 0], 5);   // red
    EXPECT_EQ(e[4 * 10 + 1], 245); // green
    EXPECT_EQ(e[4 * 10 + 2], 10);  // blue
    EXPECT_EQ(paletteFromResource(dib.data(), 1000, 2, e), PaletteResult::TooShort);
}

TEST(Palette, BitmapFileIsFoundByItsSignature) {
    // "BM" after three leading bytes: the colour table starts at byte 3 + 54 = 57.
    std::vector<unsigned char> file(3 + 54 + 1024, 0);
    file[3] = 'B';
    file[4] = 'M';
    file[57 + 4 * 1 + 2] = 25; // red of entry 1
    std::array<std::uint8_t, 1024> e{};
    ASSERT_EQ(paletteFromResource(file.data(), file.size(), 0, e), PaletteResult::Ok);
    EXPECT_EQ(e[4], 25);
    // "BM" at byte 6 is too late: nothing changes.
    std::vector<unsigned char> late(6 + 54 + 1024, 0);
    late[6] = 'B';
    late[7] = 'M';
    EXPECT_EQ(paletteFromResource(late.data(), late.size(), 0, e), PaletteResult::NoBitmap);
}
