// Writes a RIFF AVI file with one video stream of 8-bit frames, run-length
// encoded (BI_RLE8, the default) or not (BI_RGB), and an index: the layout
// the animation control reads.
#pragma once

#include "resources/tools/ClipArt.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cliptool {

struct EncodedFrame {
    std::vector<uint8_t> data;
    bool key = false;
};

class AviWriter {
public:
    static constexpr uint32_t kRgb = 0;
    static constexpr uint32_t kRle8 = 1;

    AviWriter(int width, int height, uint32_t microsecondsPerFrame, std::vector<Rgb> colours,
              uint32_t compression = kRle8)
        : m_width(width), m_height(height), m_period(microsecondsPerFrame),
          m_colours(std::move(colours)), m_compression(compression) {}

    std::vector<uint8_t> write(const std::vector<EncodedFrame>& frames) const;

private:
    std::vector<uint8_t> headerList(const std::vector<EncodedFrame>& frames) const;
    std::vector<uint8_t> streamList(const std::vector<EncodedFrame>& frames) const;
    std::vector<uint8_t> format() const;

    int m_width;
    int m_height;
    uint32_t m_period;
    std::vector<Rgb> m_colours;
    uint32_t m_compression;
};

// The clip of the progress dialog, built from ClipArt's frames: every third
// frame, the first included, a key frame, the others deltas on the one before.
std::vector<uint8_t> buildProgressClip();

} // namespace cliptool
