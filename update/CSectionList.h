// The lines of one profile section (or a file's section names), read whole.
// The profile service cuts a list that does not fit its buffer, possibly
// inside a line; this reader grows its buffer until the list fits, so no line
// is ever lost or taken for whole when it was cut. A read that a larger
// buffer cannot lengthen (the platform's own limit) is flagged, not trusted.
#pragma once

#include "platform/win32.h"

#include <vector>

class CSectionList {
public:
    // Reads the lines of section from the profile file at path. initialSize is
    // the buffer the first read uses.
    void ReadSection(LPCSTR section, LPCSTR path, DWORD initialSize);
    // Reads the names of every section of the profile file at path.
    void ReadSectionNames(LPCSTR path, DWORD initialSize);

    // The list: each line ended by a NUL, the list ended by an empty line.
    LPCSTR GetList() const { return m_buffer.data(); }
    // Bytes of all lines with their NULs, without the closing NUL; 0 when the
    // section is absent or empty.
    DWORD GetLength() const { return m_length; }

    // FALSE when the read may have stopped at the limit Windows 95 puts on
    // one profile read (32,767 characters, whatever the buffer): the list
    // is then not known to be whole and must not be written back.
    BOOL IsWhole() const { return m_whole; }

    // Iteration: the first line (NULL when there is none) and the line after
    // line (NULL after the last).
    LPCSTR GetFirst() const;
    LPCSTR GetNext(LPCSTR line) const;

private:
    template <typename ReadFn> void ReadGrowing(DWORD initialSize, ReadFn read);

    std::vector<char> m_buffer = std::vector<char>(2, '\0');
    DWORD m_length = 0;
    BOOL m_whole = TRUE;
};
