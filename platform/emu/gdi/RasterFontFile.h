// The sizes of a Windows bitmap font file (.fon): one face per size, as
// FreeType's Windows FNT driver presents them, and the size GDI maps a
// logical font's height to. The font engine sets "MS Sans Serif" in them.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>
#include <vector>

namespace emu::gdi {

class RasterFontFile {
public:
    struct Strike {
        int faceIndex = 0;
        int cellHeight = 0;      // the font's pixel height
        int characterHeight = 0; // the cell less its internal leading
    };

    // The bitmap faces of `path`, smallest first; nothing when the file
    // cannot be opened or holds none. `library` is the FreeType library.
    static std::optional<RasterFontFile> read(void* library, const std::string& path);

    const std::string& path() const { return m_path; }

    // GDI never makes a bitmap font taller than asked: the tallest size not
    // above the request (a positive height is the cell, a negative one the
    // character), or the smallest when every size is taller.
    const Strike& pick(LONG logicalHeight) const;

private:
    std::string m_path;
    std::vector<Strike> m_strikes;
};

} // namespace emu::gdi
