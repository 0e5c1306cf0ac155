// The pixels of the emulated screen, with its depth, its system palette and
// the mutex every drawing call holds. Pixels are kept as the colours the
// screen shows (COLORREF 0x00BBGGRR, already reduced to what the depth can
// show), so the host can copy them out and tests can read them back exactly.
// GdiState owns it and the Rasteriser draws in it; the host (HostDisplay,
// Screenshot) and tests read it through screen() of ScreenAccess.
#pragma once

#include "platform/emu/gdi/PixelMemory.h"
#include "platform/emu/gdi/SystemPalette.h"
#include "platform/win32.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace emu::gdi {

class FrameBuffer {
public:
    FrameBuffer(int width, int height, int depth);
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    int depth() const { return m_depth; }

    // What the screen shows at (x, y); black outside the screen.
    COLORREF pixel(int x, int y) const;
    // Increases on every change, so the host knows when to refresh.
    uint64_t generation() const { return m_generation.load(std::memory_order_acquire); }
    // Held by every drawing call; drawing may come from more than one thread.
    std::mutex& mutex() { return m_mutex; }

    // Drawing primitives, for callers holding mutex(). `shown` must already be
    // a colour of the display (see deviceColour).
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    COLORREF at(int x, int y) const { return m_pixels[index(x, y)]; }
    void put(int x, int y, COLORREF shown) { m_pixels[index(x, y)] = shown; }
    COLORREF* row(int y) { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    void markChanged() { m_generation.fetch_add(1, std::memory_order_acq_rel); }
    // Sets count pixels from `to` on to one colour, with the host's block copy
    // doing most of it: a screen-sized fill is most of a start-up's work.
    static void fillPixels(COLORREF* to, size_t count, COLORREF shown);

    COLORREF deviceColour(COLORREF colour) { return m_palette.nearest(colour); }
    SystemPalette& palette() { return m_palette; }

private:
    size_t index(int x, int y) const { return static_cast<size_t>(y) * m_width + x; }

    int m_width;
    int m_height;
    int m_depth;
    PixelMemory m_pixels;
    SystemPalette m_palette;
    std::atomic<uint64_t> m_generation{1};
    std::mutex m_mutex;
};

} // namespace emu::gdi
