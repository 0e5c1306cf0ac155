#include "platform/emu/gdi/FrameBuffer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace emu::gdi {

namespace {

constexpr int kMaxSide = 8192;

bool supportedDepth(int depth) {
    return depth == 1 || depth == 4 || depth == 8 || depth == 15 || depth == 16 || depth == 24 ||
           depth == 32;
}

// The number of pixels of a screen of that size; throws for a size no screen has.
size_t pixelCount(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        throw std::runtime_error("screen size " + std::to_string(width) + "x" +
                                 std::to_string(height) + " is not possible");
    }
    return static_cast<size_t>(width) * static_cast<size_t>(height);
}

} // namespace

FrameBuffer::FrameBuffer(int width, int height, int depth)
    : m_width(width), m_height(height), m_depth(depth), m_pixels(pixelCount(width, height)),
      m_palette(depth) {
    if (!supportedDepth(depth)) {
        throw std::runtime_error("screen depth " + std::to_string(depth) +
                                 " is not supported (1, 4, 8, 15, 16, 24 or 32)");
    }
    fillPixels(m_pixels.data(), m_pixels.size(), m_palette.nearest(RGB(0, 128, 128)));
}

void FrameBuffer::fillPixels(COLORREF* to, size_t count, COLORREF shown) {
    const size_t seed = std::min<size_t>(count, 16);
    for (size_t i = 0; i < seed; ++i) {
        to[i] = shown;
    }
    // What is filled is copied onto what follows it, twice as much each time.
    for (size_t done = seed; done < count;) {
        size_t step = std::min(done, count - done);
        std::memcpy(to + done, to, step * sizeof(COLORREF));
        done += step;
    }
}

COLORREF FrameBuffer::pixel(int x, int y) const {
    return contains(x, y) ? at(x, y) : RGB(0, 0, 0);
}

} // namespace emu::gdi
