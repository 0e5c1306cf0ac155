// A silent video clip of the kind the animation control plays: a RIFF AVI
// file with one video stream of 8-bit frames, uncompressed (BI_RGB) or run-
// length encoded (BI_RLE8). Every frame is decoded when the clip is loaded,
// so playing only copies pictures. Anything else, and any damage, is refused.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emu::user {

struct RiffChunk;

class AviClip {
public:
    static constexpr int kMaxSide = 4096;
    static constexpr int kMaxFrames = 10000;
    static constexpr size_t kMaxDecodedBytes = 64u << 20;

    // The clip, or nullptr with the reason in `why`.
    static std::unique_ptr<AviClip> load(const unsigned char* data, size_t size, std::string& why);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int frameCount() const { return static_cast<int>(m_frames.size()); }
    DWORD microsecondsPerFrame() const { return m_microsecondsPerFrame; }
    const std::vector<RGBQUAD>& colours() const { return m_colours; }
    // Bytes per row of a frame's pixels (a multiple of 4, as a DIB's).
    int stride() const { return m_stride; }
    // A frame as DIB pixels: bottom row first, one colour index a byte.
    const uint8_t* frameBits(int index) const { return m_frames[index].data(); }
    // The colour index at (x, y), y counted from the top as on the screen.
    uint8_t pixel(int frame, int x, int y) const {
        return m_frames[frame][static_cast<size_t>(m_height - 1 - y) * m_stride + x];
    }

private:
    AviClip() = default;
    bool decodeFrames(const std::vector<RiffChunk>& chunks, DWORD compression, std::string& why);
    bool applyFrame(std::vector<uint8_t>& bits, const RiffChunk& chunk, DWORD compression,
                    std::string& why) const;

    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    DWORD m_microsecondsPerFrame = 0;
    std::vector<RGBQUAD> m_colours;
    std::vector<std::vector<uint8_t>> m_frames;
};

} // namespace emu::user
