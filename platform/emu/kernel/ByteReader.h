// A cursor over bytes that belong to someone else (a clip, a dialog template,
// a registry file): every read is checked against the end, little-endian as
// Win32 stores its numbers. A failed read leaves the cursor where it was.
// The decoders of little-endian fields are here too, for readers that have
// checked a whole record's range once and then pick its fields by offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace emu::kernel {

class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    // The part [offset, offset + size) of bytes; the caller has checked that
    // it lies inside them.
    ByteReader(std::string_view bytes, size_t offset, size_t size)
        : m_data(reinterpret_cast<const unsigned char*>(bytes.data()) + offset), m_size(size) {}

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
    // The next count bytes as they stand.
    bool bytes(size_t count, std::string_view& value);

    static uint16_t le16(const unsigned char* at) {
        return static_cast<uint16_t>(at[0] | at[1] << 8);
    }
    static uint32_t le32(const unsigned char* at) {
        return static_cast<uint32_t>(le16(at)) | static_cast<uint32_t>(le16(at + 2)) << 16;
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

} // namespace emu::kernel
