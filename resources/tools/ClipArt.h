// The pictures of the progress dialog's clip: a sheet of paper flying in an
// arc from one yellow folder to another on a magenta background, 17 frames of
// 260 x 40 pixels in the 16 standard VGA colours.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cliptool {

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// One frame: colour indexes, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    void set(int x, int y, uint8_t index);
    void fill(int left, int top, int right, int bottom, uint8_t index);
};

class ClipArt {
public:
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 40;
    static constexpr int kFrames = 17;
    static constexpr uint32_t kMicrosecondsPerFrame = 100000;

    static const std::array<Rgb, 16>& vgaColours();
    static Picture frame(int index);

private:
    static void drawPanel(Picture& picture, int left, int top);
    static void drawFolder(Picture& picture, int left);
    static void drawSheet(Picture& picture, int left, int top);
};

} // namespace cliptool
