#include "platform/emu/user/controls/Rle8Decoder.h"

namespace emu::user {

namespace {
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfPicture = 1;
constexpr uint8_t kDelta = 2;
} // namespace

void Rle8Decoder::put(uint8_t index) {
    if (m_x < m_width && m_y < m_height) {
        m_pixels[static_cast<size_t>(m_y) * m_stride + m_x] = index;
    }
    // Pixels past the right edge are dropped; the column stops counting there.
    if (m_x < m_width) {
        ++m_x;
    }
}

bool Rle8Decoder::escape(uint8_t code, const uint8_t* data, size_t size, size_t& at, bool& done) {
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
        // Absolute mode: `code` literal pixels, padded to a 16-bit boundary.
        if (size - at < code) {
            return false;
        }
        for (size_t i = 0; i < code; ++i) {
            put(data[at + i]);
        }
        at += code;
        if (code % 2 != 0 && at < size) {
            ++at;
        }
        return true;
    }
}

bool Rle8Decoder::apply(const uint8_t* data, size_t size) {
    m_x = 0;
    m_y = 0;
    size_t at = 0;
    bool done = false;
    while (!done && at < size && m_y < m_height) {
        uint8_t count = data[at++];
        if (at == size) {
            return false;
        }
        uint8_t value = data[at++];
        if (count != 0) {
            for (int i = 0; i < count; ++i) {
                put(value);
            }
        } else if (!escape(value, data, size, at, done)) {
            return false;
        }
    }
    return true;
}

} // namespace emu::user
