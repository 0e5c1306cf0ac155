// Applies BI_RLE8 or BI_RLE4 data to a picture of one byte per pixel in
// storage order (bottom row first). Pixels the data skips keep what they
// held: a DIB (DibImage) starts from index 0, an animation clip's delta frame
// (AviClip) builds on the frame before. Output is clipped to the picture; the
// data is never read past its size.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu::gdi {

class RunLengthDecoder {
public:
    enum class Packing {
        Bytes,   // BI_RLE8: a pixel a byte
        Nibbles, // BI_RLE4: two pixels a byte, high nibble first
    };

    RunLengthDecoder(uint8_t* pixels, int width, int height, size_t stride, Packing packing)
        : m_pixels(pixels), m_width(width), m_height(height), m_stride(stride),
          m_nibbles(packing == Packing::Nibbles) {}

    // False when the data ends inside a run or an escape sequence; what came
    // before the cut is applied.
    bool apply(const uint8_t* data, size_t size);

private:
    uint8_t pixel(uint8_t packed, size_t k) const {
        if (!m_nibbles) {
            return packed;
        }
        return static_cast<uint8_t>(k % 2 == 0 ? packed >> 4 : packed & 0x0F);
    }
    void put(uint8_t index);
    bool escape(uint8_t code, const uint8_t* data, size_t size, size_t& at, bool& done);
    bool absolute(uint8_t count, const uint8_t* data, size_t size, size_t& at);

    uint8_t* m_pixels;
    int m_width;
    int m_height;
    size_t m_stride;
    bool m_nibbles;
    int m_x = 0;
    int m_y = 0;
};

} // namespace emu::gdi
