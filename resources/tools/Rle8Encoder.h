// BI_RLE8 encoding of one frame. A key frame encodes every pixel; a delta
// frame encodes only the pixels that differ from the frame before and jumps
// over the rest, so a decoder must apply it on top of that frame.
#pragma once

#include "resources/tools/ClipArt.h"

#include <cstdint>
#include <vector>

namespace cliptool {

class Rle8Encoder {
public:
    static std::vector<uint8_t> keyFrame(const Picture& picture);
    static std::vector<uint8_t> deltaFrame(const Picture& before, const Picture& picture);

private:
    explicit Rle8Encoder(const Picture& picture) : m_picture(picture) {}

    // Pixels [left, right) of storage row `row` (bottom row is 0).
    void span(int row, int left, int right);
    void moveTo(int x, int row);
    void endOfLine();
    void finish();
    uint8_t storagePixel(int x, int row) const;
    int runLength(int row, int from, int right) const;
    void literals(int row, int from, int count);

    const Picture& m_picture;
    std::vector<uint8_t> m_out;
    int m_x = 0;
    int m_row = 0;
};

} // namespace cliptool
