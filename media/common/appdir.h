// The application directory: the folder that holds the programs, the music files and
// the files the game writes. Found from the running executable, never from the
// current directory.
#pragma once

#include <filesystem>

namespace common {

// Folder of the running executable (from /proc/self/exe). Falls back to the current
// directory only if the link cannot be read.
std::filesystem::path applicationDirectory();

} // namespace common
