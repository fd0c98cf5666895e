// The resources carried inside the game program, generated at build time.
#pragma once
#include <cstddef>
#include <string_view>

namespace res {

struct Blob {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    explicit operator bool() const { return data != nullptr; }
};

// The program's embedded resources: ("BITMAP", 101) palette swatch DIB without file header (1320 bytes);
// ("WAVE", 101..106) complete RIFF WAVE files; ("PICTURE", 0..7) the eight sprite sheets as complete Windows
// BMP files (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up, in the stored depth: 8-bit paletted for
// pictures 0..3, 4-bit for 4..6, 1-bit for 7); ("TITLE", 1) the launcher's 270x180 title picture as PNG;
// ("ICON", 64/128/256) the programs' icon as PNG at that size; ("ICONRGBA", 64) the 64x64 icon as R, G, B, A
// bytes per pixel, top row first.
// Returns an empty Blob when there is no such resource.
Blob find(std::string_view type, int id);

} // namespace res
