// Keeps a device context's whole state (pen, brush, font, colours, modes,
// clip) for the life of a scope: SaveDC on the way in, RestoreDC of that
// level on the way out. A painter selects what it needs and leaves the
// context as it found it, however it returns.
#pragma once

#include "platform/win32.h"

namespace emu::user {

class DcSaver {
public:
    explicit DcSaver(HDC dc) : m_dc(dc), m_level(SaveDC(dc)) {}
    ~DcSaver() {
        if (m_level != 0) {
            RestoreDC(m_dc, m_level);
        }
    }
    DcSaver(const DcSaver&) = delete;
    DcSaver& operator=(const DcSaver&) = delete;

private:
    HDC m_dc;
    int m_level;
};

} // namespace emu::user
