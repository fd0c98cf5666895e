// A small PNG writer (uncompressed deflate blocks): enough for screenshots and the
// pictures of the headless tool, without another library.
#pragma once

#include <cstdint>
#include <string>

namespace media {

// Writes 8-bit RGB rows (`pitch` bytes apart, pixels as 0xAARRGGBB words) to a PNG file.
bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height, int pitchPixels);

} // namespace media
