// The kinds of GDI object a handle can stand for. They are plain values kept
// in the ObjectTable; a device context refers to them only by handle.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace emu::gdi {

class FontFace;

struct Pen {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = RGB(0, 0, 0);
};

struct Brush {
    COLORREF colour = RGB(255, 255, 255);
    bool hollow = false;
};

struct Font {
    LOGFONTA logical{};
    // Resolved on first use; shared with the FontEngine's cache.
    std::shared_ptr<FontFace> face;
};

struct Palette {
    std::vector<PALETTEENTRY> entries;
};

struct Bitmap {
    int width = 0;
    int height = 0;
    int planes = 1;
    int bitsPerPixel = 1;
    std::vector<uint8_t> bits;
};

using GdiObject = std::variant<Pen, Brush, Font, Palette, Bitmap>;

} // namespace emu::gdi
