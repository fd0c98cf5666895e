// Reading the game's palette out of a bitmap resource.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tolvane {

enum class PaletteResult { Ok, Missing, TooShort, NoBitmap };

// Fills 256 entries (red, green, blue, flags) from a bitmap resource (format 2: the
// 40-byte header first) or from a whole bitmap file whose "BM" starts within its
// first six bytes.
PaletteResult paletteFromResource(const unsigned char* data, std::size_t size, int format,
                                  std::array<std::uint8_t, 1024>& entries);

} // namespace tolvane
