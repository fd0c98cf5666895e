// The PNG writer of screenshots and of the headless tool's pictures, on libpng: a
// picture of at most 256 colours (every frame of the game) is written with a palette,
// any other as 8-bit RGB; either way compressed with zlib.
#pragma once

#include <cstdint>
#include <string>

namespace media {

// Encodes rows of pixels (0xAARRGGBB words, `pitchPixels` apart; alpha is ignored) as
// a whole PNG file into `out`. False when libpng fails.
bool encodePng(std::string& out, const std::uint32_t* pixels, int width, int height, int pitchPixels);

// Encodes and writes a PNG file. False on failure.
bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height, int pitchPixels);

} // namespace media
