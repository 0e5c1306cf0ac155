// Expands BI_RLE8 and BI_RLE4 pixel data into one byte per pixel, storage
// order (bottom row first). Never reads past the given size and never
// writes outside the picture; pixels the data skips stay index 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emu::gdi {

class RunLengthDecoder {
public:
    RunLengthDecoder(std::vector<uint8_t>& out, int width, int height, bool nibbles)
        : m_out(out), m_width(width), m_height(height), m_nibbles(nibbles) {}

    void decode(const uint8_t* in, size_t size);

private:
    static uint8_t nibble(uint8_t pair, int k) {
        return static_cast<uint8_t>(k % 2 == 0 ? pair >> 4 : pair & 0x0F);
    }
    void put(uint8_t index);

    std::vector<uint8_t>& m_out;
    int m_width;
    int m_height;
    bool m_nibbles;
    int m_x = 0;
    int m_y = 0;
};

} // namespace emu::gdi
