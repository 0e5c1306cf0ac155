// Fills a caller's buffer with a list of strings, each ended by a NUL and the
// list by one more, as the Win32 profile functions return sections, section
// names and key names. A list that does not fit is cut inside the entry that
// overflows and still ends with two NULs. Nothing is written past the buffer.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <string_view>

namespace emu::kernel {

class ProfileList {
public:
    ProfileList(LPSTR buffer, DWORD size);

    // Adds bytes to the entry being built.
    void append(std::string_view bytes);
    void append(char c) { append(std::string_view(&c, 1)); }
    // Ends the entry being built with its NUL.
    void endEntry() { append('\0'); }

    // Closes the list and gives the Win32 result: the list's length without
    // its final NUL when it fits with room to spare, size - 2 when it was cut
    // or needs exactly the buffer, 0 when empty.
    DWORD finish();

private:
    LPSTR m_buffer;
    std::size_t m_size;
    std::size_t m_length = 0; // bytes of the whole list so far, stored or not
};

} // namespace emu::kernel
