// The memory of the screen's pixels: one anonymous mapping on a 2 MB
// boundary that the host's kernel is asked to back with huge pages. A
// screen-sized buffer of ordinary pages costs a page fault every 4 KB the
// first time it is drawn on, some 470 for 800 x 600, which on a virtual
// machine is a good part of a whole start-up; with huge pages it is one.
// Where the host has none, the mapping works the same with small pages.
#pragma once

#include "platform/win32.h"

#include <cstddef>

namespace emu::gdi {

class PixelMemory {
public:
    // count pixels, all 0. Throws std::bad_alloc when the host has no room.
    explicit PixelMemory(size_t count);
    ~PixelMemory();
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    COLORREF* data() { return m_pixels; }
    const COLORREF* data() const { return m_pixels; }
    size_t size() const { return m_count; }
    COLORREF& operator[](size_t index) { return m_pixels[index]; }
    COLORREF operator[](size_t index) const { return m_pixels[index]; }

private:
    void* m_mapping = nullptr;
    size_t m_mappingSize = 0;
    COLORREF* m_pixels = nullptr;
    size_t m_count = 0;
};

} // namespace emu::gdi
