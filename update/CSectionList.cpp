#include "update/CSectionList.h"

#include "common/ProgramLimits.h"

#include <cstring>

template <typename ReadFn> void CSectionList::ReadGrowing(DWORD initialSize, ReadFn read) {
    DWORD size = initialSize < 16 ? 16 : initialSize;
    m_whole = TRUE;
    for (;;) {
        m_buffer.assign(size, '\0');
        DWORD count = read(m_buffer.data(), size);
        // A list that did not fit comes back as size - 2 bytes; one that fits
        // exactly looks the same, so both are read again with more room.
        if (count + 2 < size) {
            m_length = count;
            // A list that ends just where the platform stops cannot be told
            // from one the platform stopped: a larger buffer brings no more.
            m_whole = count + 2 < kPlatformListLimit || count > kPlatformListLimit;
            break;
        }
        size *= 2;
    }
    // Whatever the service returned, the list ends with two NULs here.
    if (m_buffer.size() < static_cast<size_t>(m_length) + 2) {
        m_buffer.resize(m_length + 2, '\0');
    }
    m_buffer[m_length] = '\0';
    m_buffer[m_length + 1] = '\0';
}

void CSectionList::ReadSection(LPCSTR section, LPCSTR path, DWORD initialSize) {
    ReadGrowing(initialSize, [&](LPSTR buffer, DWORD size) {
        return GetPrivateProfileSectionA(section, buffer, size, path);
    });
}

void CSectionList::ReadSectionNames(LPCSTR path, DWORD initialSize) {
    ReadGrowing(initialSize, [&](LPSTR buffer, DWORD size) {
        return GetPrivateProfileSectionNamesA(buffer, size, path);
    });
}

LPCSTR CSectionList::GetFirst() const {
    return m_length == 0 || m_buffer[0] == '\0' ? nullptr : m_buffer.data();
}

LPCSTR CSectionList::GetNext(LPCSTR line) const {
    LPCSTR next = line + std::strlen(line) + 1;
    if (next >= m_buffer.data() + m_length || *next == '\0') {
        return nullptr;
    }
    return next;
}
