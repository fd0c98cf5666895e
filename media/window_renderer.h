// The renderer of a window of ours, the game window and the message box alike.
#pragma once

#include <SDL.h>

#include <string>

namespace media {

// Our pictures are composed in software, so where the window has a framebuffer of its
// own (X11's shared-memory images, and the dummy driver) SDL's software renderer shows
// them, and no GL driver comes into the process. A Wayland window has no framebuffer:
// there the window takes the first renderer it can have, OpenGL and then OpenGL ES 2
// (Mesa's llvmpipe where there is no GPU). SDL_RENDER_DRIVER, when the user sets it,
// is asked first. No vsync: the 17 ms frame must never wait on the display's refresh.
// Null, with SDL's reason in SDL_GetError, when the window can have none.
SDL_Renderer* createWindowRenderer(SDL_Window* window);

// The name of a renderer ("software", "opengl", "opengles2"), or "" for none.
std::string rendererName(SDL_Renderer* renderer);

} // namespace media
