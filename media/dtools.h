// The drawing library the game composes its frames with: numbered surfaces (0 is the
// 640x480 back buffer, 1..8 the sprite sheets), rectangle copies with and without the
// sheet's key colour, stretched copies, device contexts for text, and presentation.
//
// Surfaces are software surfaces, so a frame is composed the same way with or without
// a window. The backend is chosen once, before DTInit:
//   Window    - composes and presents in the game window;
//   Offscreen - composes, and DTUpdate keeps the picture the window would show;
//   Null      - no pixel work at all (the fast headless simulation); calls can be logged.
// The calls and their log are in dtools.cpp, the first two backends in
// dtools_surfaces.cpp, the null one in dtools_null.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Surface;
struct SDL_Window;

using HWND = SDL_Window*;
using HDC = std::intptr_t;

// A picture handed to DTCreateSprite: a whole Windows BMP file image in memory.
struct Bitmap {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

void DTInit(std::int32_t mode, HWND window);
void DTSetPaletteEntries(const std::uint8_t* entries, std::int32_t first, std::int32_t count);
void DTSetMemoryMode(std::int32_t mode);
void DTCreateSprite(std::int32_t surface, const Bitmap& bitmap, std::int32_t width, std::int32_t height);
void DTSetColorKey(std::int32_t surface, std::int32_t key);
void DTClear(std::int32_t surface, std::int32_t colour, std::int32_t flags);

namespace media::detail {
// True when a drawing call does anything: pixel work, or a log kept for a test. The
// copies test it inline, so that headless a call costs one test and the compiler
// need not even work out its arguments.
extern bool drawing;
void bitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
            std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t mode);
void stretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t sourceWidth,
                std::int32_t sourceHeight, std::int32_t mode);
} // namespace media::detail

inline void DTBitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                     std::int32_t height, std::int32_t source, std::int32_t sourceX, std::int32_t sourceY,
                     std::int32_t mode) {
    if (media::detail::drawing)
        media::detail::bitBlt(dest, x, y, width, height, source, sourceX, sourceY, mode);
}
inline void DTStretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height, std::int32_t source, std::int32_t sourceX, std::int32_t sourceY,
                         std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t mode) {
    if (media::detail::drawing) {
        media::detail::stretchBlt(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth,
                                  sourceHeight, mode);
    }
}

// A translucent silhouette of a keyed sheet's rectangle: where the source is not its
// key colour (its top-left pixel), `colour` (0x00BBGGRR) covers the destination by
// `percent` (0..100). Only shows something; the game's own frames never call it.
void DTSilhouette(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t colour,
                  std::int32_t percent);

HDC DTGetDC(std::int32_t surface);
void DTReleaseDC(std::int32_t surface, HDC dc);
void DTUpdate(std::int32_t surface);
void DTEnd();

// The game window's own drawing (points, lines, circles), drawn in white over the
// presented picture. Coordinates are the window's client pixels.
void FormPSet(std::int32_t x, std::int32_t y); // plots and moves the drawing position
void FormLineStep(double dx, double dy);       // line from the drawing position, relative
void FormCircle(std::int32_t x, std::int32_t y, std::int32_t radius);

namespace media {

enum class DrawBackend { Window, Offscreen, Null };

// Chooses the backend; call before DTInit. The default is Null.
void setDrawBackend(DrawBackend backend);
DrawBackend drawBackend();

// A frame that will not be presented need not be composed: while off, drawing into the
// back buffer does no pixel work (calls are still logged). Each frame clears the back
// buffer first, so a presented frame shows only its own drawing. On by default.
void setComposing(bool on);

// While unseen, drawing calls do nothing at all, not even a log entry: a rival's game
// runs beside the player's without touching its picture. Leaving it puts composing
// back as it was.
void setUnseen(bool unseen);

// Whether drawing calls do anything at all: pixel work, or a log kept for a test.
inline bool drawing() { return detail::drawing; }
// Whether drawing calls do pixel work (not the Null backend, and composing). Drawing that only the
// window shows may be left out when they do not, arguments and all.
bool drawsPixels();

// Surface n, or nullptr (Null backend, or not made yet).
SDL_Surface* surface(int n);

// The picture the window showed at the last DTUpdate, window drawing included
// (Window and Offscreen backends), until a frame is composed again: without window
// drawing it is surface 0 itself. Fetch it anew after every DTUpdate.
SDL_Surface* presentedPicture();

// The renderer that presents the game window's picture (see window_renderer.h),
// "window surface" when the picture goes straight into the window's own pixels, or ""
// before DTInit and after DTEnd.
std::string windowRendererName();

// Writes the last presented picture as a PNG file. False on failure.
bool savePresentedPng(const std::string& path);

// Shows the last presented picture in the window again, with the window layer as it
// is described now (media/overlay.h): a paused game, a window that changed size.
void presentAgain();

// Logging of drawing calls, for tests (any backend). Off by default.
struct DrawCall {
    std::string name; // "DTBitBlt", "DTClear", ...
    std::vector<std::int64_t> args;
};
void setDrawLogging(bool on);
bool drawLogging();
std::vector<DrawCall>& drawLog();

} // namespace media
