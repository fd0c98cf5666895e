// Behind the drawing library's calls: dtools.cpp keeps the log, the pen and the choice
// of backend, and hands every call that draws to the device of that backend, the
// software surfaces (dtools_surfaces.cpp) or nothing at all (dtools_null.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "media/dtools.h"

namespace media::detail {

// One piece of the window's own drawing, kept until the frame is presented.
struct FormOp {
    enum Kind : std::uint8_t { Point, Line, Circle } kind;
    double x0, y0, x1, y1; // Circle: centre (x0, y0), radius x1
};

class DrawDevice {
  public:
    virtual ~DrawDevice() = default;

    // Makes the back buffer; a window (Window backend only) is where update() presents.
    virtual void init(HWND window) = 0;
    // Frees every surface and forgets the window.
    virtual void end() = 0;
    virtual void createSprite(int n, const Bitmap& bitmap, int width, int height) = 0;
    virtual void setColorKey(int n, std::int32_t key) = 0;

    // Pixel work: called only while frames are composed.
    virtual void clear(int n, std::int32_t colour) = 0;
    virtual void bitBlt(int dest, int x, int y, int width, int height, int source, int sourceX, int sourceY,
                        int mode) = 0;
    virtual void stretchBlt(int dest, int x, int y, int width, int height, int source, int sourceX,
                            int sourceY, int sourceWidth, int sourceHeight, int mode) = 0;
    virtual void addFormOp(const FormOp& op) = 0;

    // Composes the shown picture (the back buffer and the window's drawing) and presents it.
    virtual void update() = 0;
    virtual void presentAgain() = 0;

    virtual SDL_Surface* surface(int n) = 0;
    virtual SDL_Surface* shown() = 0;
    virtual std::string rendererName() = 0;
};

DrawDevice& nullDevice();
DrawDevice& surfaceDevice();

} // namespace media::detail
