#include "platform/emu/kernel/ByteReader.h"

namespace emu::kernel {

bool ByteReader::u8(uint8_t& value) {
    if (remaining() < 1) {
        return false;
    }
    value = m_data[m_offset++];
    return true;
}

bool ByteReader::u16(uint16_t& value) {
    if (remaining() < 2) {
        return false;
    }
    value = le16(here());
    m_offset += 2;
    return true;
}

bool ByteReader::u32(uint32_t& value) {
    if (remaining() < 4) {
        return false;
    }
    value = le32(here());
    m_offset += 4;
    return true;
}

bool ByteReader::i16(int16_t& value) {
    uint16_t raw = 0;
    if (!u16(raw)) {
        return false;
    }
    value = static_cast<int16_t>(raw);
    return true;
}

bool ByteReader::skip(size_t count) {
    if (remaining() < count) {
        return false;
    }
    m_offset += count;
    return true;
}

bool ByteReader::alignTo(size_t boundary) {
    size_t misalignment = m_offset % boundary;
    return misalignment == 0 || skip(boundary - misalignment);
}

bool ByteReader::bytes(size_t count, std::string_view& value) {
    if (remaining() < count) {
        return false;
    }
    value = std::string_view(reinterpret_cast<const char*>(here()), count);
    m_offset += count;
    return true;
}

} // namespace emu::kernel
