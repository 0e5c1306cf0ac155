#include "platform/emu/gdi/RunLengthDecoder.h"

namespace emu::gdi {

namespace {
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfPicture = 1;
constexpr uint8_t kDelta = 2;
} // namespace

void RunLengthDecoder::put(uint8_t index) {
    if (m_x < m_width && m_y < m_height) {
        m_pixels[static_cast<size_t>(m_y) * m_stride + m_x] = index;
    }
    // Pixels past the right edge are dropped; the column stops counting there.
    if (m_x < m_width) {
        ++m_x;
    }
}

// Absolute mode: `count` literal pixels, their bytes padded to a 16-bit
// boundary.
bool RunLengthDecoder::absolute(uint8_t count, const uint8_t* data, size_t size, size_t& at) {
    const size_t bytes = m_nibbles ? (count + 1u) / 2 : count;
    if (size - at < bytes) {
        return false;
    }
    for (size_t k = 0; k < count; ++k) {
        put(pixel(data[at + (m_nibbles ? k / 2 : k)], k));
    }
    at += bytes;
    if (bytes % 2 != 0 && at < size) {
        ++at;
    }
    return true;
}

bool RunLengthDecoder::escape(uint8_t code, const uint8_t* data, size_t size, size_t& at,
                              bool& done) {
    switch (code) {
    case kEndOfLine:
        m_x = 0;
        ++m_y;
        return true;
    case kEndOfPicture:
        done = true;
        return true;
    case kDelta:
        if (size - at < 2) {
            return false;
        }
        m_x = m_x + data[at] < m_width ? m_x + data[at] : m_width;
        m_y += data[at + 1];
        at += 2;
        return true;
    default:
        return absolute(code, data, size, at);
    }
}

bool RunLengthDecoder::apply(const uint8_t* data, size_t size) {
    m_x = 0;
    m_y = 0;
    size_t at = 0;
    bool done = false;
    while (!done && at < size && m_y < m_height) {
        const uint8_t count = data[at++];
        if (at == size) {
            return false;
        }
        const uint8_t value = data[at++];
        if (count != 0) {
            for (size_t k = 0; k < count; ++k) {
                put(pixel(value, k));
            }
        } else if (!escape(value, data, size, at, done)) {
            return false;
        }
    }
    return true;
}

} // namespace emu::gdi
