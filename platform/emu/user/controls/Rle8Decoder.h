// Applies BI_RLE8 data to a picture of one byte per pixel in storage order
// (bottom row first). Pixels the data skips keep what they held, which is how
// a clip's delta frames build on the frame before. Output is clipped to the
// picture; the data is never read past its size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu::user {

class Rle8Decoder {
public:
    Rle8Decoder(uint8_t* pixels, int width, int height, int stride)
        : m_pixels(pixels), m_width(width), m_height(height), m_stride(stride) {}

    // False when the data ends inside a run or an escape sequence.
    bool apply(const uint8_t* data, size_t size);

private:
    void put(uint8_t index);
    bool escape(uint8_t code, const uint8_t* data, size_t size, size_t& at, bool& done);

    uint8_t* m_pixels;
    int m_width;
    int m_height;
    int m_stride;
    int m_x = 0;
    int m_y = 0;
};

} // namespace emu::user
