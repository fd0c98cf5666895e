// The drawing library the game composes its frames with: numbered surfaces (0 is the
// 640x480 back buffer, 1..8 the sprite sheets), rectangle copies with and without the
// sheet's key colour, stretched copies, device contexts for text, and presentation.
//
// Surfaces are software surfaces, so a frame is composed the same way with or without
// a window. The backend is chosen once, before DTInit:
//   Window    - composes and presents in the game window;
//   Offscreen - composes, and DTUpdate keeps the picture the window would show;
//   Null      - no pixel work at all (the fast headless simulation); calls can be logged.
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
void DTBitBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
              std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t mode);
void DTStretchBlt(std::int32_t dest, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t source, std::int32_t sourceX, std::int32_t sourceY, std::int32_t sourceWidth,
                  std::int32_t sourceHeight, std::int32_t mode);
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

// Surface n for pixel work, or nullptr (Null backend, suspended, or not made yet).
SDL_Surface* surface(int n);

// The picture the window showed at the last DTUpdate, window drawing included
// (Window and Offscreen backends), until the next frame starts drawing: without window
// drawing it is surface 0 itself. Fetch it anew after every DTUpdate.
SDL_Surface* presentedPicture();

// Writes the last presented picture as a PNG file. False on failure.
bool savePresentedPng(const std::string& path);

// Shows the last presented picture in the window again, with the window layer as it
// is described now (media/overlay.h): a paused game, a window that changed size.
void presentAgain();

// While suspended, the drawing calls do no pixel work and DTUpdate presents nothing,
// whatever the backend: frames run as cheaply as headless (the window's jumps ahead).
void setPixelWorkSuspended(bool suspended);

// Logging of drawing calls, for tests (any backend). Off by default.
struct DrawCall {
    std::string name; // "DTBitBlt", "DTClear", ...
    std::vector<std::int64_t> args;
};
void setDrawLogging(bool on);
bool drawLogging();
std::vector<DrawCall>& drawLog();

} // namespace media
