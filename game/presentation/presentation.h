// Presentation: the background streaks and the overlay of each frame, the palette,
// text drawn into a surface, and the sound effects handed to the sound library.
#pragma once

#include <string>

#include "media/gdi.h"
#include "presentation/sheets.h"
#include "session/world_state.h"

namespace tolvane {

// The sound effects, by wave slot.
enum Sound : int {
    kContactSound = 0,
    kLevelUpSound = 1, // with kLevelUpSound2, two voices of one fanfare
    kMissSound = 2,
    kBombSound = 3,
    kLaserWarningSound = 4,
    kLevelUpSound2 = 5,
};

// The songs, files of the application directory (the stages' own are "stage<n>.mid").
inline constexpr const char* kBossSong = "boss.mid";
inline constexpr const char* kLastBossSong = "lastboss.mid";
inline constexpr const char* kResultsSong = "CLEAR.mid";

// Copies a whole cell into the back buffer at (x, y); mode 0 leaves out the key colour.
void drawCell(int x, int y, const sheet::Cell& c, int mode = 0);
// The left `width` × `height` of a cell.
void drawCellPart(int x, int y, int width, int height, const sheet::Cell& c, int mode = 0);

// Draws and advances the star streaks.
void drawBackground(World& w);
// Draws the level-up burst, the sparks and the head-up display, and runs their timers.
void drawFrame(World& w);

// ---- The Misc module: palette, text, sound resources ----
struct TextPass {
    HDC dc;
    int surface;
    HFONT font;
    HFONT oldFont;
};

void loadPaletteResource(int id, int format);
void beginText(TextPass& t, int surface);
void selectFont(TextPass& t, const std::string& faceNumber, int height, int width, int weight, int italic,
                int underline, int strikeOut);
void setTextColors(TextPass& t, COLORREF textColor, COLORREF backColor, int transparent);
void drawText(TextPass& t, const std::string& text, int x, int y);
// Whether drawText would reach a surface (or a test's log of drawing calls); text that
// would not need not be formatted.
bool textDrawn(const TextPass& t);
void endText(TextPass& t);
void loadWaveResource(int slot, int id, const char* type, int voices);

// The eight pictures become sprite surfaces 1..8, each keyed by its top-left pixel.
void createSpriteSheets();

// The face name of a font number given as text ("2" -> "ＭＳ Ｐゴシック"); out of range is 0.
const char* faceName(const std::string& faceNumber);

} // namespace tolvane
