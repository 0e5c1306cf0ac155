// One fuzz input as the background picture: the bytes as D:\PIC.BMP loaded by
// CMyBitmap and, when accepted, stretched onto the screen of a machine with a
// display of the given depth.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane_fuzz {

void runBitmapInput(const uint8_t* data, size_t size, int screenDepth);

} // namespace corvane_fuzz
