#include "platform/emu/gdi/RunLengthDecoder.h"

#include <algorithm>

namespace emu::gdi {

void RunLengthDecoder::decode(const uint8_t* in, size_t size) {
    size_t i = 0;
    while (i + 1 < size && m_y < m_height) {
        const uint8_t count = in[i];
        const uint8_t value = in[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) {
                put(m_nibbles ? nibble(value, k) : value);
            }
        } else if (value == 0) {
            m_x = 0;
            ++m_y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (i + 1 >= size) {
                return;
            }
            m_x = std::min(m_x + in[i], m_width);
            m_y += in[i + 1];
            i += 2;
        } else {
            const size_t bytes = m_nibbles ? (value + 1u) / 2 : value;
            if (i + bytes > size) {
                return;
            }
            for (int k = 0; k < value; ++k) {
                put(m_nibbles ? nibble(in[i + k / 2], k) : in[i + k]);
            }
            i += (bytes + 1) & ~size_t{1}; // absolute runs are padded to a word
        }
    }
}

void RunLengthDecoder::put(uint8_t index) {
    if (m_x < m_width && m_y < m_height) {
        m_out[static_cast<size_t>(m_y) * m_width + m_x] = index;
        ++m_x;
    }
}

} // namespace emu::gdi
