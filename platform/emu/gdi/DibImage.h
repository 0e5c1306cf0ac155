// A packed device-independent bitmap as a caller hands it over: header,
// colour table and bits read in place. Only biWidth, biHeight, biBitCount
// and the compression are trusted; rows are ((width * bpp + 31) / 32) * 4
// bytes and nothing outside the rows the header describes is read.
// Run-length pictures are decoded once, reading at most biSizeImage bytes.
#pragma once

#include "platform/emu/gdi/FrameBuffer.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace emu::gdi {

class DibImage {
public:
    struct Source {
        const BITMAPINFO* info = nullptr;
        const void* bits = nullptr;
        UINT usage = DIB_RGB_COLORS;
        // For DIB_PAL_COLORS: the device context's logical palette.
        const std::vector<PALETTEENTRY>* logicalPalette = nullptr;
        // Rows present in `bits`, in storage order (first = bottom row of a
        // bottom-up picture); a count of -1 means all of them.
        int firstScan = 0;
        int scanCount = -1;
    };

    // nullopt for anything that cannot be drawn safely.
    static std::optional<DibImage> open(const Source& source, FrameBuffer& frameBuffer);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool bottomUp() const { return m_bottomUp; }
    // Whether the row (counted from the top of the picture) is present.
    bool hasRow(int rowFromTop) const;
    const uint8_t* row(int rowFromTop) const;
    // The display colour of pixel x of a present row.
    COLORREF colour(const uint8_t* row, int x) const;
    // The display colours of every pixel of a present row, width() of them.
    void rowColours(const uint8_t* row, COLORREF* out) const;

private:
    DibImage() = default;
    bool readColourTable(const Source& source, FrameBuffer& frameBuffer);
    bool decodeRunLength(const uint8_t* bits, size_t size);
    int storageIndex(int rowFromTop) const {
        return m_bottomUp ? m_height - 1 - rowFromTop : rowFromTop;
    }

    FrameBuffer* m_frameBuffer = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    bool m_bottomUp = true;
    size_t m_stride = 0;
    const uint8_t* m_bits = nullptr;
    int m_firstScan = 0;
    int m_scanCount = 0;
    std::vector<COLORREF> m_colours;
    std::vector<uint8_t> m_decoded;
};

} // namespace emu::gdi
