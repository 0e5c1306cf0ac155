#include "platform/emu/user/controls/RiffReader.h"

namespace emu::user {

using kernel::ByteReader;

bool RiffReader::next(RiffChunk& chunk) {
    if (m_broken || m_reader.atEnd()) {
        return false;
    }
    uint32_t id = 0;
    uint32_t size = 0;
    if (!m_reader.u32(id) || !m_reader.u32(size) || size > m_reader.remaining()) {
        m_broken = true;
        return false;
    }
    chunk = RiffChunk{};
    chunk.id = id;
    chunk.data = m_reader.here();
    chunk.size = size;
    m_reader.skip(size);
    // Chunks start on even offsets; the pad byte after an odd chunk may be
    // missing at the very end of a level.
    if (size % 2 != 0 && !m_reader.atEnd()) {
        m_reader.skip(1);
    }
    if (id == fourCc("LIST") || id == fourCc("RIFF")) {
        if (size < 4) {
            m_broken = true;
            return false;
        }
        ByteReader type(chunk.data, 4);
        type.u32(chunk.listType);
        chunk.data += 4;
        chunk.size -= 4;
    }
    return true;
}

} // namespace emu::user
