// A cursor over bytes that belong to someone else (a clip, a dialog template):
// every read is checked against the end, little-endian as Win32 stores them.
// A failed read leaves the cursor where it was.
#pragma once

#include <cstddef>
#include <cstdint>

namespace emu::user {

class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}

    size_t offset() const { return m_offset; }
    size_t size() const { return m_size; }
    size_t remaining() const { return m_size - m_offset; }
    bool atEnd() const { return m_offset == m_size; }
    const unsigned char* here() const { return m_data + m_offset; }

    bool u8(uint8_t& value);
    bool u16(uint16_t& value);
    bool u32(uint32_t& value);
    bool i16(int16_t& value);
    bool skip(size_t count);
    // Moves to the next multiple of `boundary` counted from the start.
    bool alignTo(size_t boundary);

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

} // namespace emu::user
