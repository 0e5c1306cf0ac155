// Walks the chunks of one level of a RIFF file. A chunk whose size reaches
// past the bytes of its level stops the walk and marks the level broken, so a
// truncated or damaged file is never read beyond its end.
#pragma once

#include "platform/emu/kernel/ByteReader.h"

#include <cstdint>

namespace emu::user {

constexpr uint32_t fourCc(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<unsigned char>(code[0])) |
           static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(code[3])) << 24;
}

struct RiffChunk {
    uint32_t id = 0;
    // For "RIFF" and "LIST" chunks: the form or list type; `data` then starts after it.
    uint32_t listType = 0;
    const unsigned char* data = nullptr;
    size_t size = 0;

    bool isList(uint32_t type) const { return id == fourCc("LIST") && listType == type; }
};

class RiffReader {
public:
    RiffReader(const unsigned char* data, size_t size) : m_reader(data, size) {}
    explicit RiffReader(const RiffChunk& list) : m_reader(list.data, list.size) {}

    // The next chunk; false at the end of the level or when it is broken.
    bool next(RiffChunk& chunk);
    bool broken() const { return m_broken; }

private:
    kernel::ByteReader m_reader;
    bool m_broken = false;
};

} // namespace emu::user
