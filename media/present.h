// Showing the picture in the game window: where it goes in a window of any size, and
// the presentation itself through an SDL_Renderer.
#pragma once

struct SDL_Renderer;
struct SDL_Surface;
struct SDL_Texture;
struct SDL_Window;

namespace media {

struct PictureRect {
    int x, y, width, height;
};

// Where a picture goes in an output of the given size: the largest whole multiple of
// its size that fits, centred, with black bars around it; when not even the picture
// itself fits, or when whole multiples are not asked for, the largest size that fits,
// aspect kept.
PictureRect pictureRect(int outputWidth, int outputHeight, int pictureWidth = 640, int pictureHeight = 480,
                        bool wholeMultiples = true);

// Whether the window shows the picture in whole multiples of its size (the default) or
// as large as fits; the pixels stay square either way.
void setWholeMultiples(bool whole);

// The window's own pixels (SDL_GetWindowSurface) are used unless SDL_RENDER_DRIVER
// names a renderer: true when they can be had, in a 32-bit format, for this window.
// After a true answer the window takes no renderer.
bool useWindowSurface(SDL_Window* window);

// Scales the picture, with the window layer over it, straight into the window's own
// pixels and sends only what changed: the picture's rectangle, and the bars once after
// the window changed size.
void presentToWindowSurface(SDL_Window* window, const SDL_Surface* picture);

// Copies the picture into the streaming texture (same size, 32-bit XRGB), draws the
// window layer over the copy, and presents it scaled nearest-neighbour into
// pictureRect with the bars around it black.
void presentPicture(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Surface* picture);

} // namespace media
