// What the web build's drawing library offers beyond the game's calls.
#pragma once

#include <cstdint>

#include "media/pixels.h"

namespace web {

// Pictures on: frames that are shown are composed. Off (the default): no pixel work.
void setPictures(bool on);
// Surface 0, the picture being composed.
media::pixels::View backBuffer();
// The picture of the last DTUpdate as R, G, B, A bytes, 640 x 480, top row first;
// null before the first update.
const std::uint8_t* shownRgba();

} // namespace web
