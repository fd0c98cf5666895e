// The generated resources: sheet sizes, depths, keys and cells, the palette,
// the sound effects and the music files.
#include "resources/embedded.h"

#include "art/image.h"
#include "art/palette.h"
#include "art/pixelfont.h"
#include "music/score.h"

#include <SDL.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include "presentation/sheets.h"
#include "world/presets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
    bool operator<(const Rgb& o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

double distance(Rgb a, Rgb b) { return std::hypot(a.r - b.r, a.g - b.g, a.b - b.b); }

const Rgb kSpriteKey{7, 124, 141};
const Rgb kHudKey{3, 25, 3};

uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A picture resource decoded by SDL, as RGB pixels.
struct Picture {
    int width = 0, height = 0, bits = 0;
    std::vector<Rgb> pixels;
    Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Picture loadPicture(int id) {
    const res::Blob blob = res::find("PICTURE", id);
    EXPECT_TRUE(blob) << "picture " << id;
    Picture pic;
    if (!blob) return pic;
    pic.bits = le16(blob.data + 28);
    SDL_RWops* rw = SDL_RWFromConstMem(blob.data, static_cast<int>(blob.size));
    SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
    EXPECT_NE(loaded, nullptr) << SDL_GetError();
    if (!loaded) return pic;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
    SDL_FreeSurface(loaded);
    pic.width = rgb->w;
    pic.height = rgb->h;
    for (int y = 0; y < rgb->h; ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(rgb->pixels) + y * rgb->pitch);
        for (int x = 0; x < rgb->w; ++x)
            pic.pixels.push_back({static_cast<int>((row[x] >> 16) & 255),
                                  static_cast<int>((row[x] >> 8) & 255), static_cast<int>(row[x] & 255)});
    }
    SDL_FreeSurface(rgb);
    return pic;
}

const Picture& picture(int id) {
    static std::map<int, Picture> cache;
    auto it = cache.find(id);
    if (it == cache.end()) it = cache.emplace(id, loadPicture(id)).first;
    return it->second;
}

struct Cell {
    int picture;
    int x, y, w, h;
    std::string what;
};

// Every cell the game copies from the ship, object and display sheets, from the
// game's own layout.
std::vector<Cell> allCells() {
    namespace sheet = tolvane::sheet;
    std::vector<Cell> cells;
    auto add = [&](const sheet::Cell& c, const std::string& what) {
        cells.push_back({c.surface - 1, c.x, c.y, c.width, c.height, what});
    };
    for (int n = 0; n < sheet::kShipPictures; ++n) add(sheet::kShip.next(n), "ship " + std::to_string(n));
    for (int f = 0; f < sheet::kRoundBulletFrames; ++f)
        add(sheet::kRoundBullet.next(f), "round bullet frame " + std::to_string(f));
    add(sheet::kSmallEnemy, "kind 1/6 small enemy");
    add(sheet::kTwinGunEnemy, "kind 3 twin-gun enemy");
    add(sheet::kRingEnemy, "kind 5 ring enemy");
    add(sheet::kTwinShotEnemy, "kind 7 twin-shot enemy");
    add(sheet::kFirstBoss, "kind 11 first boss");
    add(sheet::kLaserEnemy, "kind 12 laser enemy");
    add(sheet::kLaserSegment, "kind 13 laser segment");
    add(sheet::kGunship, "kind 14 gunship");
    add(sheet::kLargeShot, "kind 15 large shot");
    add(sheet::kSecondBoss, "kind 16 second boss");
    add(sheet::kLastBoss, "kind 17 last boss");
    for (int a = 0; a < 360; ++a) add(sheet::headingBullet(a), "heading bullet " + std::to_string(a));
    add(sheet::kGaugeBar, "gauge bar");
    add(sheet::kLevelLabel, "LV");
    add(sheet::kContactLabel, "contact label");
    add(sheet::kMarkerDisc, "marker disc");
    add(sheet::kSphere, "sphere");
    add(sheet::kMaxLabel, "MAX");
    add(sheet::kAllLabel, "ALL");
    add(sheet::kBonusLabel, "BONUS");
    add(sheet::kBombLabel, "B");
    add(sheet::kBombMark, "bomb mark");
    add(sheet::kScoreLabel, "SCORE");
    add(sheet::kTimeLabel, "TIME");
    for (int d = 0; d < 10; ++d) add(sheet::kDigit.next(d), "digit " + std::to_string(d));
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c)
            add(sheet::kArrow.next(c).below(r), "arrow " + std::to_string(60 * r + 10 * c));
    for (int f = 0; f < sheet::kSpeedRingFrames; ++f)
        add(sheet::kSpeedRing.next(f), "speed ring " + std::to_string(f));
    for (int a = 0; a < sheet::kSparkFrames; ++a) add(sheet::kSpark.next(a), "spark " + std::to_string(a));
    for (int f = 0; f < sheet::kWreckFrames; ++f) add(sheet::kWreck.next(f), "wreck " + std::to_string(f));
    return cells;
}

Rgb keyOf(int pictureId) { return pictureId == 2 ? kHudKey : kSpriteKey; }

int inkCount(const Cell& c) {
    const Picture& pic = picture(c.picture);
    int n = 0;
    for (int y = c.y; y < c.y + c.h; ++y)
        for (int x = c.x; x < c.x + c.w; ++x) n += pic.at(x, y) == keyOf(c.picture) ? 0 : 1;
    return n;
}

TEST(Sheets, SizesAndStoredDepths) {
    struct Expect {
        int id, w, h, bits;
    };
    const Expect sheets[] = {{0, 640, 32, 8},  {1, 640, 480, 8}, {2, 384, 145, 8}, {3, 640, 480, 8},
                             {4, 320, 240, 4}, {5, 320, 240, 4}, {6, 320, 240, 4}, {7, 1, 480, 1}};
    for (const Expect& e : sheets) {
        const Picture& pic = picture(e.id);
        EXPECT_EQ(pic.width, e.w) << "picture " << e.id;
        EXPECT_EQ(pic.height, e.h) << "picture " << e.id;
        EXPECT_EQ(pic.bits, e.bits) << "picture " << e.id;
    }
    EXPECT_FALSE(res::find("PICTURE", 8));
    EXPECT_FALSE(res::find("PICTURES", 0));
}

TEST(Sheets, TopLeftPixelIsTheKeyColour) {
    EXPECT_EQ(picture(0).at(0, 0), kSpriteKey);
    EXPECT_EQ(picture(1).at(0, 0), kSpriteKey);
    EXPECT_EQ(picture(2).at(0, 0), kHudKey);
    for (int id = 4; id <= 6; ++id) EXPECT_EQ(picture(id).at(0, 0), (Rgb{0, 0, 0})) << "card " << id;
}

TEST(Sheets, EveryCellHoldsArt) {
    for (const Cell& c : allCells()) {
        // Small pictures (fading sparks) may be tiny; the large ones fill a good part of their cell.
        const int area = c.w * c.h;
        const int needed = area <= 256 ? 10 : area / 10;
        EXPECT_GE(inkCount(c), needed) << c.what;
    }
}

TEST(Sheets, HitboxesLieOnTheArt) {
    // What the barrier and the core collide with must be visible: most of each
    // kind's hitbox, centred in its cell, is covered by its picture.
    const Picture& pic = picture(1);
    for (int kind = 1; kind < 18; ++kind) {
        const tolvane::KindPreset& p = tolvane::kKindPresets[kind];
        const tolvane::sheet::Cell& c = p.cell;
        if (c.width == 0) continue; // the invisible marker kinds
        const int cx = c.x + c.width / 2, cy = c.y + c.height / 2;
        int inside = 0, ink = 0;
        for (int y = std::max(c.y, cy + p.top); y <= std::min(c.y + c.height - 1, cy + p.bottom); ++y)
            for (int x = std::max(c.x, cx + p.left); x <= std::min(c.x + c.width - 1, cx + p.right); ++x) {
                ++inside;
                ink += !(pic.at(x, y) == kSpriteKey);
            }
        EXPECT_GE(ink * 10, inside * 6) << "kind " << kind << ": " << ink << " of " << inside;
    }
}

TEST(Sheets, NoArtOutsideTheCells) {
    for (int id = 0; id <= 2; ++id) {
        const Picture& pic = picture(id);
        std::vector<bool> covered(pic.pixels.size(), false);
        for (const Cell& c : allCells())
            if (c.picture == id)
                for (int y = c.y; y < c.y + c.h; ++y)
                    for (int x = c.x; x < c.x + c.w; ++x)
                        covered[static_cast<size_t>(y) * pic.width + x] = true;
        int stray = 0;
        for (size_t i = 0; i < pic.pixels.size(); ++i) stray += !covered[i] && !(pic.pixels[i] == keyOf(id));
        EXPECT_EQ(stray, 0) << "picture " << id;
    }
}

TEST(Sheets, NoColourCloseToTheKey) {
    // Sprite edges are either exactly the key or clearly not: a blend toward the
    // key would show as a fringe in the game.
    for (int id = 0; id <= 2; ++id) {
        const Picture& pic = picture(id);
        int near = 0;
        for (const Rgb& p : pic.pixels)
            if (!(p == keyOf(id)) && distance(p, keyOf(id)) < 40) ++near;
        EXPECT_EQ(near, 0) << "picture " << id;
    }
    for (int id = 4; id <= 6; ++id) {
        int near = 0;
        for (const Rgb& p : picture(id).pixels)
            if (!(p == Rgb{0, 0, 0}) && distance(p, {0, 0, 0}) < 40) ++near;
        EXPECT_EQ(near, 0) << "card " << id;
    }
}

TEST(Sheets, ShipPicturesAreAllDifferent) {
    const Picture& pic = picture(0);
    std::set<std::vector<Rgb>> seen;
    for (int n = 0; n < 20; ++n) {
        std::vector<Rgb> cell;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) cell.push_back(pic.at(32 * n + x, y));
        EXPECT_TRUE(seen.insert(cell).second) << "ship " << n << " repeats an earlier one";
    }
}

TEST(Sheets, RoundBulletFramesAnimate) {
    const Picture& pic = picture(1);
    for (int f = 1; f < 4; ++f) {
        bool differs = false;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) differs = differs || !(pic.at(x, y) == pic.at(12 * f + x, y));
        EXPECT_TRUE(differs) << "frame " << f << " equals frame 0";
    }
}

// Direction in which the bright part of a 16x16 picture lies, seen from its
// centre, in the game's heading degrees (0 down, 90 left, 180 up, 270 right).
double brightHeading(const Picture& pic, int cx, int cy, Rgb key) {
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb p = pic.at(cx + x, cy + y);
            if (p == key || p.r + p.g + p.b < 600) continue;
            sx += x + 0.5 - 8;
            sy += y + 0.5 - 8;
            ++n;
        }
    if (n == 0 || std::hypot(sx, sy) < 1e-9) return -1;
    // Heading a points along (-sin a, cos a).
    double deg = std::atan2(-sx, sy) * 180 / M_PI;
    return deg < 0 ? deg + 360 : deg;
}

double angleError(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360 - d);
}

TEST(Sheets, HeadingBulletsPointAlongTheirHeading) {
    for (int a = 0; a < 360; ++a) {
        const double seen = brightHeading(picture(1), (a % 40) * 16, 96 + (a / 40) * 16, kSpriteKey);
        EXPECT_LT(angleError(seen, a), 20) << "bullet " << a << " points to " << seen;
    }
}

TEST(Sheets, DirectionArrowsPointAlongTheirHeading) {
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c) {
            const int a = 60 * r + 10 * c;
            const double seen = brightHeading(picture(2), 272 + 16 * c, 16 * r, kHudKey);
            EXPECT_LT(angleError(seen, a), 20) << "arrow " << a << " points to " << seen;
        }
}

TEST(Sheets, LaserSegmentsJoinIntoAColumn) {
    // Segments are stacked 32 pixels apart: the beam leaves the bottom row where
    // it enters the top row, so the column shows no seam.
    const Picture& pic = picture(1);
    auto span = [&](int y) {
        int left = 999, right = -1;
        for (int x = 240; x < 272; ++x)
            if (!(pic.at(x, y) == kSpriteKey)) left = std::min(left, x), right = std::max(right, x);
        return std::pair{left, right};
    };
    const auto [topLeft, topRight] = span(400);
    const auto [bottomLeft, bottomRight] = span(431);
    EXPECT_GE(topRight - topLeft, 15);
    EXPECT_LE(std::abs(topLeft - bottomLeft), 1);
    EXPECT_LE(std::abs(topRight - bottomRight), 1);
    EXPECT_EQ(pic.at(256, 400), pic.at(256, 431));
}

TEST(Sheets, DigitsFitTheirSpacing) {
    // Numbers are drawn 13 pixels apart.
    const Picture& pic = picture(2);
    for (int d = 0; d < 10; ++d) {
        int left = 16, right = -1;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (!(pic.at(80 + 16 * d + x, y) == kHudKey))
                    left = std::min(left, x), right = std::max(right, x);
        EXPECT_LE(right - left + 1, 12) << "digit " << d;
    }
}

TEST(Sheets, TitleCardsAreYellowBurstsOnBlack) {
    for (int id = 4; id <= 6; ++id) {
        const Picture& pic = picture(id);
        for (auto [x, y] : {std::pair{0, 0}, {319, 0}, {0, 239}, {319, 239}})
            EXPECT_EQ(pic.at(x, y), (Rgb{0, 0, 0})) << "card " << id;
        int yellow = 0;
        for (const Rgb& p : pic.pixels) yellow += p.r > 200 && p.g > 150 && p.b < 140;
        EXPECT_GT(yellow, 320 * 240 / 3) << "card " << id;
    }
    const Picture& stars = picture(7);
    EXPECT_EQ(std::count(stars.pixels.begin(), stars.pixels.end(), Rgb{255, 255, 255}), 480);
}

TEST(Palette, SwatchHoldsTheGamePalette) {
    const res::Blob dib = res::find("BITMAP", 101);
    ASSERT_TRUE(dib);
    ASSERT_EQ(dib.size, 1320u);
    EXPECT_EQ(le32(dib.data), 40u);
    EXPECT_EQ(le32(dib.data + 4), 16u);
    EXPECT_EQ(le32(dib.data + 8), 16u);
    EXPECT_EQ(le16(dib.data + 14), 8u);
    EXPECT_EQ(le32(dib.data + 16), 0u);
    auto entry = [&](int c) { return Rgb{dib.data[42 + 4 * c], dib.data[41 + 4 * c], dib.data[40 + 4 * c]}; };
    EXPECT_EQ(entry(1), kHudKey);
    EXPECT_EQ(entry(255), (Rgb{0, 0, 0}));
    std::set<Rgb> colours;
    for (int c = 0; c < 256; ++c) colours.insert(entry(c));
    EXPECT_EQ(colours.size(), 256u);
    EXPECT_TRUE(colours.count(kSpriteKey));
    EXPECT_TRUE(colours.count({255, 255, 255}));

    // The ship, object and display sheets carry exactly this colour table.
    for (int id = 0; id <= 2; ++id) {
        const res::Blob bmp = res::find("PICTURE", id);
        ASSERT_TRUE(bmp);
        EXPECT_EQ(le32(bmp.data + 46), 256u) << "picture " << id;
        EXPECT_TRUE(std::equal(dib.data + 40, dib.data + 40 + 1024, bmp.data + 54)) << "picture " << id;
    }
}

TEST(Title, IsA270By180Png) {
    const res::Blob png = res::find("TITLE", 1);
    ASSERT_TRUE(png);
    ASSERT_GT(png.size, 33u);
    const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(sig, sig + 8, png.data));
    auto be32 = [](const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; };
    EXPECT_EQ(be32(png.data + 16), 270u);
    EXPECT_EQ(be32(png.data + 20), 180u);
}

TEST(Waves, FormatsAndSizes) {
    struct Expect {
        int id;
        size_t bytes;
        uint32_t rate;
        int bits;
    };
    const Expect waves[] = {{101, 780, 22050, 8},   {102, 44144, 22050, 8}, {103, 13276, 22050, 8},
                            {104, 33120, 22050, 8}, {105, 22096, 22050, 8}, {106, 63484, 44100, 16}};
    for (const Expect& e : waves) {
        SCOPED_TRACE("wave " + std::to_string(e.id));
        const res::Blob w = res::find("WAVE", e.id);
        ASSERT_TRUE(w);
        ASSERT_EQ(w.size, e.bytes);
        const unsigned char* d = w.data;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d), 4), "RIFF");
        EXPECT_EQ(le32(d + 4), e.bytes - 8);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d + 8), 8), "WAVEfmt ");
        EXPECT_EQ(le32(d + 16), 16u);
        EXPECT_EQ(le16(d + 20), 1u); // PCM
        EXPECT_EQ(le16(d + 22), 1u); // mono
        EXPECT_EQ(le32(d + 24), e.rate);
        EXPECT_EQ(le32(d + 28), e.rate * e.bits / 8);
        EXPECT_EQ(le16(d + 32), e.bits / 8);
        EXPECT_EQ(le16(d + 34), e.bits);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d + 36), 4), "data");
        EXPECT_EQ(le32(d + 40), e.bytes - 44);

        // Audible but not clipped.
        const size_t n = (e.bytes - 44) / (e.bits / 8);
        double peak = 0;
        size_t atLimit = 0;
        for (size_t i = 0; i < n; ++i) {
            const double v = e.bits == 8 ? (d[44 + i] - 128) / 128.0
                                         : static_cast<int16_t>(le16(d + 44 + 2 * i)) / 32768.0;
            peak = std::max(peak, std::fabs(v));
            atLimit += std::fabs(v) > 0.99;
        }
        EXPECT_GT(peak, 0.5);
        EXPECT_EQ(atLimit, 0u);
    }
}

// Just enough of a standard MIDI file reader to check the songs.
struct MidiNote {
    uint32_t tick;
    int channel, key;
    bool on;
};

struct MidiSummary {
    int format = -1, tracks = 0;
    std::map<int, int> notesPerChannel; // channel 0..15 -> note-ons
    std::map<int, std::set<int>> programs;
    std::vector<MidiNote> events; // note-ons and note-offs in file order
    int unmatched = 0;            // note-ons without a note-off before the end of the track
    double seconds = 0;
    uint32_t endTick = 0;
    int ticksPerQuarter = 0;
    std::string error;

    std::vector<MidiNote> onsOf(int channel) const {
        std::vector<MidiNote> out;
        for (const MidiNote& n : events)
            if (n.on && n.channel == channel) out.push_back(n);
        return out;
    }
};

MidiSummary readMidi(const std::vector<unsigned char>& b) {
    MidiSummary s;
    auto be = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | b.at(at + i);
        return v;
    };
    auto varLen = [&](size_t& p) {
        uint32_t v = 0;
        unsigned char c;
        do {
            c = b.at(p++);
            v = v << 7 | (c & 0x7f);
        } while (c & 0x80);
        return v;
    };
    try {
        if (b.size() < 14 || std::string(b.begin(), b.begin() + 4) != "MThd")
            throw std::runtime_error("no MThd");
        s.format = static_cast<int>(be(8, 2));
        const int trackCount = static_cast<int>(be(10, 2));
        s.ticksPerQuarter = static_cast<int>(be(12, 2));
        std::map<uint32_t, uint32_t> tempos{{0, 500000}}; // tick -> microseconds per quarter
        size_t at = 8 + be(4, 4);
        for (int t = 0; t < trackCount; ++t) {
            if (std::string(b.begin() + at, b.begin() + at + 4) != "MTrk")
                throw std::runtime_error("no MTrk");
            const size_t end = at + 8 + be(at + 4, 4);
            size_t p = at + 8;
            uint32_t tick = 0;
            int status = 0;
            std::map<std::pair<int, int>, int> open;
            bool ended = false;
            while (p < end && !ended) {
                tick += varLen(p);
                if (b.at(p) & 0x80) status = b.at(p++);
                if (status == 0xFF) {
                    const int type = b.at(p++);
                    const uint32_t len = varLen(p);
                    if (type == 0x51) tempos[tick] = be(p, 3);
                    if (type == 0x2F) ended = true;
                    p += len;
                    status = 0;
                } else if (status == 0xF0 || status == 0xF7) {
                    p += varLen(p);
                } else if (status >= 0x80) {
                    const int kind = status & 0xF0, ch = status & 0x0F;
                    const int d1 = b.at(p++);
                    const int d2 = (kind == 0xC0 || kind == 0xD0) ? 0 : b.at(p++);
                    if (kind == 0x90 && d2 > 0) {
                        ++s.notesPerChannel[ch];
                        ++open[{ch, d1}];
                        s.events.push_back({tick, ch, d1, true});
                    } else if (kind == 0x80 || (kind == 0x90 && d2 == 0)) {
                        if (open[{ch, d1}] > 0) --open[{ch, d1}];
                        s.events.push_back({tick, ch, d1, false});
                    } else if (kind == 0xC0) {
                        s.programs[ch].insert(d1);
                    }
                } else {
                    throw std::runtime_error("data byte without status");
                }
            }
            if (!ended || p != end) throw std::runtime_error("track does not end at its end-of-track event");
            for (auto& [key, count] : open) s.unmatched += count;
            s.endTick = std::max(s.endTick, tick);
            at = end;
            ++s.tracks;
        }
        uint32_t last = 0, us = 500000;
        for (auto [tick, tempo] : tempos) {
            if (tick > s.endTick) break;
            s.seconds += double(tick - last) / s.ticksPerQuarter * us / 1e6;
            last = tick;
            us = tempo;
        }
        s.seconds += double(s.endTick - last) / s.ticksPerQuarter * us / 1e6;
    } catch (const std::exception& e) {
        s.error = e.what();
    }
    return s;
}

MidiSummary readMidiFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return readMidi({std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()});
}

TEST(Music, SongsAreCompleteStandardMidiFiles) {
    struct Expect {
        const char* file;
        double minSeconds, maxSeconds;
    };
    const Expect songs[] = {{"stage1.mid", 60, 120},
                            {"stage2.mid", 60, 120},
                            {"boss.mid", 60, 120},
                            {"lastboss.mid", 60, 120},
                            {"CLEAR.mid", 3, 15}};
    for (const Expect& e : songs) {
        SCOPED_TRACE(e.file);
        const MidiSummary s = readMidiFile(std::string(TOLVANE_MUSIC_DIR) + "/" + e.file);
        ASSERT_EQ(s.error, "");
        EXPECT_EQ(s.format, 1);
        EXPECT_GE(s.tracks, 5);
        EXPECT_EQ(s.unmatched, 0);
        EXPECT_GE(s.seconds, e.minSeconds);
        EXPECT_LE(s.seconds, e.maxSeconds);
        // Melody, harmony, bass and drums: at least four channels, drums on channel 10.
        EXPECT_GE(s.notesPerChannel.size(), 4u);
        EXPECT_GT(s.notesPerChannel.count(9) ? s.notesPerChannel.at(9) : 0, 8);
        EXPECT_FALSE(s.programs.empty());
        // The song ends on a bar line, so a looping player stays in time.
        EXPECT_EQ(s.endTick % (4 * s.ticksPerQuarter), 0u);
    }
}

TEST(Sheets, AnimationFramesDiffer) {
    struct Strip {
        int picture, x, y, dx, w, h, frames;
        const char* what;
    };
    const Strip strips[] = {{1, 0, 0, 12, 12, 12, 4, "round bullet"},
                            {2, 80, 16, 48, 48, 48, 3, "speed ring"},
                            {2, 80, 64, 16, 16, 16, 8, "spark"},
                            {2, 0, 97, 48, 48, 48, 8, "wreck explosion"}};
    for (const Strip& st : strips) {
        const Picture& pic = picture(st.picture);
        for (int f = 1; f < st.frames; ++f) {
            bool differs = false;
            for (int y = 0; y < st.h; ++y)
                for (int x = 0; x < st.w; ++x)
                    differs = differs || !(pic.at(st.x + (f - 1) * st.dx + x, st.y + y) ==
                                           pic.at(st.x + f * st.dx + x, st.y + y));
            EXPECT_TRUE(differs) << st.what << " frame " << f << " repeats the one before";
        }
    }
}

TEST(Sheets, GaugeBarShowsFromItsFirstColumn) {
    // The game copies only the left part of the bar, gauge/10 pixels wide.
    const Picture& pic = picture(2);
    for (int x = 0; x < 64; ++x) {
        int ink = 0;
        for (int y = 1; y < 17; ++y) ink += !(pic.at(x, y) == kHudKey);
        EXPECT_GE(ink, 6) << "column " << x;
    }
}

TEST(Sheets, TitleCardsAreDifferent) {
    EXPECT_NE(picture(4).pixels, picture(5).pixels);
    EXPECT_NE(picture(5).pixels, picture(6).pixels);
    EXPECT_NE(picture(4).pixels, picture(6).pixels);
}

// Reads a PNG through cairo into RGB pixels.
Picture decodePng(const res::Blob& png) {
    struct Reader {
        const unsigned char* data;
        size_t size, at = 0;
    } reader{png.data, png.size};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* out, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->at + length > r->size) return CAIRO_STATUS_READ_ERROR;
            std::copy_n(r->data + r->at, length, out);
            r->at += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &reader);
    Picture pic;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        pic.width = cairo_image_surface_get_width(surface);
        pic.height = cairo_image_surface_get_height(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < pic.height; ++y)
            for (int x = 0; x < pic.width; ++x) {
                uint32_t v;
                std::copy_n(data + y * stride + 4 * x, 4, reinterpret_cast<unsigned char*>(&v));
                pic.pixels.push_back({static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255),
                                      static_cast<int>(v & 255)});
            }
    }
    cairo_surface_destroy(surface);
    return pic;
}

TEST(Title, MeetsTheMenuWindowsDarkBlue) {
    const Picture title = decodePng(res::find("TITLE", 1));
    ASSERT_EQ(title.width, 270);
    ASSERT_EQ(title.height, 180);
    // The bottom row sits on the menu's RGB(0, 0, 64) right under the picture.
    for (int x = 0; x < 270; x += 10) EXPECT_LT(distance(title.at(x, 179), {0, 0, 64}), 24) << "x " << x;
    // And it carries bright lettering.
    int bright = 0;
    for (const Rgb& p : title.pixels) bright += p.r + p.g + p.b > 600;
    EXPECT_GT(bright, 400);
}

// --- The kits the generators are built from ---

TEST(Quantise, CoverageDecidesBetweenKeyAndArt) {
    art::Canvas canvas(4, 1);
    canvas.setPixel(0, 0, {255, 0, 0}, 0);
    canvas.setPixel(1, 0, {255, 0, 0}, 100);   // thin coverage: left out
    canvas.setPixel(2, 0, {7, 124, 141}, 200); // opaque art in the very key colour
    canvas.setPixel(3, 0, {255, 255, 255}, 255);
    const art::Palette& pal = art::gamePalette();
    const art::Indexed out = art::quantise(canvas, pal, art::kSpriteKeyIndex, art::kKeyClearance);
    EXPECT_EQ(out.at(0, 0), art::kSpriteKeyIndex);
    EXPECT_EQ(out.at(1, 0), art::kSpriteKeyIndex);
    ASSERT_NE(out.at(2, 0), art::kSpriteKeyIndex);
    EXPECT_GT(art::colourDistance(pal[out.at(2, 0)], art::kSpriteKey), art::kKeyClearance);
    EXPECT_EQ(pal[out.at(3, 0)], (art::Rgb{255, 255, 255}));
}

TEST(BmpFile, EveryDepthLoadsInSdl) {
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE("bits " + std::to_string(bits));
        art::Indexed image;
        image.width = 13;
        image.height = 3;
        image.bits = bits;
        const int colours = 1 << bits;
        for (int i = 0; i < colours; ++i)
            image.palette.push_back({i * 255 / (colours - 1), 255 - i * 255 / (colours - 1), 77});
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                image.pixels.push_back(static_cast<uint8_t>((x * 7 + y * 3) % colours));
        const std::vector<uint8_t> file = art::bmpFile(image);
        const size_t stride = ((13 * bits + 31) / 32) * 4;
        EXPECT_EQ(file.size(), 14 + 40 + 4u * colours + stride * 3);
        EXPECT_EQ(le32(file.data() + 10), 14 + 40 + 4u * colours);
        EXPECT_EQ(art::dibBytes(image).size(), file.size() - 14);

        SDL_Surface* loaded =
            SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
        ASSERT_NE(loaded, nullptr) << SDL_GetError();
        SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
        SDL_FreeSurface(loaded);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 13; ++x) {
                const uint32_t v = reinterpret_cast<const uint32_t*>(
                    static_cast<const uint8_t*>(rgb->pixels) + y * rgb->pitch)[x];
                const art::Rgb want = image.palette[image.at(x, y)];
                EXPECT_EQ((Rgb{static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255),
                               static_cast<int>(v & 255)}),
                          (Rgb{want.r, want.g, want.b}))
                    << x << "," << y;
            }
        SDL_FreeSurface(rgb);
    }
}

TEST(PixelFont, LabelsFitTheirCells) {
    const std::pair<const char*, int> labels[] = {{"LV", 16},    {"CHAIN", 32}, {"MAX", 24},   {"ALL", 24},
                                                  {"BONUS", 40}, {"B", 8},      {"SCORE", 40}, {"TIME", 40}};
    for (auto [word, cell] : labels) EXPECT_LE(art::wordWidth(word) + 2, cell) << word; // ink plus outline
    EXPECT_THROW(art::wordWidth("Q?"), std::runtime_error);
}

score::Song testSong(const std::string& chords, const std::string& melody) {
    score::Song song{"test", 120, {}, {}};
    score::Section sec;
    sec.chords = chords;
    sec.melody = melody;
    sec.bass = "long";
    sec.comp = "none";
    sec.drums = "none";
    sec.pad = false;
    sec.crash = false;
    song.sections.push_back(sec);
    return song;
}

TEST(Score, ChordsAndMelodyBecomeTimedNotes) {
    double seconds = 0;
    const MidiSummary m = readMidi(score::render(testSong("C G", "C5:16 D5:8 r:4 F#5:4"), &seconds));
    ASSERT_EQ(m.error, "");
    EXPECT_DOUBLE_EQ(seconds, 4.0); // two bars at 120 beats a minute
    EXPECT_NEAR(m.seconds, 4.0, 1e-9);
    EXPECT_EQ(m.endTick, 2u * 4 * 480);
    EXPECT_EQ(m.unmatched, 0);
    const std::vector<MidiNote> lead = m.onsOf(0);
    ASSERT_EQ(lead.size(), 3u);
    EXPECT_EQ(lead[0].key, 72);
    EXPECT_EQ(lead[0].tick, 0u);
    EXPECT_EQ(lead[1].key, 74);
    EXPECT_EQ(lead[1].tick, 1920u);
    EXPECT_EQ(lead[2].key, 78);
    EXPECT_EQ(lead[2].tick, 1920u + 1440);
    // Bass roots stay between E2 and D#3: C3 then G2.
    const std::vector<MidiNote> bass = m.onsOf(3);
    ASSERT_EQ(bass.size(), 2u);
    EXPECT_EQ(bass[0].key, 48);
    EXPECT_EQ(bass[1].key, 43);
    EXPECT_TRUE(m.onsOf(9).empty());
}

TEST(Score, RepeatGroupsAndCarriedLengths) {
    const MidiSummary m = readMidi(score::render(testSong("C", "( C5:1 E5 G5 C6 )x3 Bb4:4")));
    ASSERT_EQ(m.error, "");
    const std::vector<MidiNote> lead = m.onsOf(0);
    ASSERT_EQ(lead.size(), 13u);
    EXPECT_EQ(lead[4].key, 72);
    EXPECT_EQ(lead[7].tick, 7u * 120);
    EXPECT_EQ(lead[12].key, 70);
    EXPECT_EQ(lead[12].tick, 12u * 120);
}

TEST(Score, MalformedScoresAreRejected) {
    const std::pair<const char*, const char*> bad[] = {
        {"C G", "C5:16"},          // melody shorter than the chords
        {"C:12", ""},              // chords that leave a bar unfinished
        {"C", "H5:16"},            // no such note
        {"Cx", "C5:16"},           // no such chord
        {"C", "( C5:4 E5:4 G5:8"}, // unclosed group
    };
    for (auto [chords, melody] : bad)
        EXPECT_THROW(score::render(testSong(chords, melody)), std::exception) << chords << " / " << melody;
}

TEST(Score, DoublingAndDrumFills) {
    score::Song song = testSong("Am Am", "A5:16 E5:16");
    song.sections[0].doubled = true;
    song.sections[0].drums = "rock";
    song.sections[0].fill = true;
    const MidiSummary m = readMidi(score::render(song));
    ASSERT_EQ(m.error, "");
    const std::vector<MidiNote> doubling = m.onsOf(4);
    ASSERT_EQ(doubling.size(), 2u);
    EXPECT_EQ(doubling[0].key, 81 - 12);
    EXPECT_EQ(doubling[1].key, 76 - 12);
    // Toms only in the second half of the last bar.
    for (const MidiNote& n : m.onsOf(9)) {
        const bool tom = n.key == 45 || n.key == 47 || n.key == 50;
        if (tom) {
            EXPECT_GE(n.tick, 1920u + 960);
        }
    }
    int toms = 0;
    for (const MidiNote& n : m.onsOf(9)) toms += n.key == 45 || n.key == 47 || n.key == 50;
    EXPECT_EQ(toms, 6);
}

TEST(MidiWriter, LongDeltasAndNoteOrder) {
    // Delta times across the variable-length boundaries, and a repeated key
    // whose note-off must come before the next note-on at the same tick.
    midi::Track t("t", 2);
    const uint32_t starts[] = {0, 0x7f, 0x80, 0x3fff, 0x4000, 0x200000};
    for (uint32_t s : starts) t.note(s, 1, 60, 100);
    t.note(0x300000, 480, 64, 100);
    t.note(0x300000 + 480, 480, 64, 100);
    const MidiSummary m = readMidi(midi::encodeFile({t}, 0x400000));
    ASSERT_EQ(m.error, "");
    const std::vector<MidiNote> ons = m.onsOf(2);
    ASSERT_EQ(ons.size(), 8u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(ons[i].tick, starts[i]);
    EXPECT_EQ(m.endTick, 0x400000u);
    EXPECT_EQ(m.unmatched, 0);
    std::vector<bool> order;
    for (const MidiNote& n : m.events)
        if (n.key == 64 && n.tick == 0x300000 + 480) order.push_back(n.on);
    EXPECT_EQ(order, (std::vector<bool>{false, true}));
}

} // namespace
