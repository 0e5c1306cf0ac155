// Writes small BMP pictures for tests, well-formed or broken in one
// chosen way.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <string>
#include <vector>

namespace corvane_test {

struct BmpFile {
    int width = 8;
    int height = 8; // negative: rows stored top-down
    int bitCount = 8;
    int planes = 1;
    DWORD headerSize = 40;
    DWORD compression = BI_RGB;
    std::string signature = "BM";
    // Colour-table entries; padded with black to 1 << bitCount for 1, 4 and
    // 8 bits. Pictures of more bits get no table.
    std::vector<COLORREF> palette;
    // Palette index (or, above 8 bits, the low byte of every channel) of the
    // pixel at (x, y), y counted from the top.
    std::function<int(int x, int y)> pixel = [](int, int) { return 0; };

    int stride() const;
    int tableEntries() const;
    // Offset of the pixel data in the file.
    DWORD bitsOffset() const;
    std::string bytes() const;
};

} // namespace corvane_test
