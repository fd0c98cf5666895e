// The game window's icon (the programs' icon, carried in the game), as the window
// manager shows it in the title bar and the task list.
#pragma once

struct SDL_Window;

namespace platform {

// Gives the window the 64x64 icon; a build without it leaves the window as it was.
void setFormIcon(SDL_Window* window);

} // namespace platform
