#include "platform/emu/kernel/ProfileList.h"

#include <algorithm>
#include <cstring>

namespace emu::kernel {

ProfileList::ProfileList(LPSTR buffer, DWORD size)
    : m_buffer(buffer), m_size(buffer == nullptr ? 0 : size) {}

void ProfileList::append(std::string_view bytes) {
    if (m_length < m_size) {
        std::size_t stored = std::min(bytes.size(), m_size - m_length);
        std::memcpy(m_buffer + m_length, bytes.data(), stored);
    }
    m_length += bytes.size();
}

DWORD ProfileList::finish() {
    if (m_size == 0) {
        return 0;
    }
    // A list needs its length plus the final NUL. One that needs exactly the
    // buffer is reported as cut, as Win32 does, so a caller that reads again
    // with more room on size - 2 never takes a cut list for whole.
    if (m_length == 0 || m_length + 1 < m_size) {
        m_buffer[m_length] = '\0';
        if (m_length == 0 && m_size >= 2) {
            m_buffer[1] = '\0'; // an empty list still reads as two NULs
        }
        return static_cast<DWORD>(m_length);
    }
    if (m_size < 2) {
        m_buffer[0] = '\0';
        return 0;
    }
    m_buffer[m_size - 2] = '\0';
    m_buffer[m_size - 1] = '\0';
    return static_cast<DWORD>(m_size - 2);
}

} // namespace emu::kernel
