// The window layer: what the game window shows over the game's picture (the paused
// picture darkened, the playback panel) and nowhere else. It is drawn into the window
// at presentation only, never into surface 0 or the presented picture, so screenshots
// and the headless tool's pictures never contain it. Coordinates are picture pixels
// (640x480), so the layer scales with the picture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// Forgets everything described so far: the next presentation shows the bare picture.
void overlayClear();
// Darkens the whole picture.
void overlayDim();
// A box of colour 0xAARRGGBB blended over the picture.
void overlayBox(int x, int y, int width, int height, std::uint32_t argb);
// UTF-8 text, `size` pixels tall, its top-left corner at (x, y), in colour 0x00RRGGBB.
// With `centred`, x is the middle of the text instead.
void overlayText(int x, int y, std::string_view text, int size, std::uint32_t rgb, bool centred = false);
// The width in pixels that overlayText would give the text.
int overlayTextWidth(std::string_view text, int size);

bool overlayEmpty();
// The rows of the picture the layer draws on: [top, bottom), empty when it draws nothing.
void overlayRows(int height, int* top, int* bottom);
// The texts described now, in order (tests read the panel through them).
std::vector<std::string> overlayTexts();
// Whether the picture is darkened now.
bool overlayDimmed();
// Draws the layer into a picture of 0x??RRGGBB words (`pitchPixels` apart), clipped to
// width x height. The presentation calls it on the copy of the picture it shows; when
// the copy holds only the picture's rows from `firstRow` on, `pixels` is that row.
void drawOverlay(std::uint32_t* pixels, int pitchPixels, int width, int height, int firstRow = 0);

} // namespace media
