#include "media/window_icon_sdl.h"

#include <SDL.h>

#include "resources/embedded.h"

namespace platform {

void setFormIcon(SDL_Window* window) {
    constexpr int kSize = 64;
    const res::Blob icon = res::find("ICONRGBA", kSize);
    if (!window || icon.size != std::size_t{kSize} * kSize * 4) return;
    // SDL copies the pixels, so the surface may borrow the embedded bytes.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(icon.data), kSize,
                                                              kSize, 32, kSize * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SetWindowIcon(window, surface);
    SDL_FreeSurface(surface);
}

} // namespace platform
