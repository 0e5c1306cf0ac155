// Draws a DibImage onto a device context: StretchDIBits' nearest-pixel
// stretch, which covers the destination rectangle exactly, and
// SetDIBitsToDevice's one-to-one copy.
#pragma once

#include "platform/emu/gdi/DibImage.h"
#include "platform/emu/gdi/Rasteriser.h"

#include <vector>

namespace emu::gdi {

// A rectangle as origin and signed size; a negative size mirrors.
struct SignedRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class DibStretcher {
public:
    DibStretcher(Rasteriser& out, const DibImage& image) : m_out(out), m_image(image) {}

    // `source` has its origin as StretchDIBits takes it: the lower-left
    // corner for a bottom-up picture. Returns the scan lines drawn.
    int stretch(const SignedRect& destination, const SignedRect& source);
    // Copies the w x h area at `source` (same convention) to `destination`.
    int copy(POINT destination, POINT source, int width, int height);

private:
    int topRow(int y, int height) const {
        return m_image.bottomUp() ? m_image.height() - y - height : y;
    }
    std::vector<int> sampleMap(int destinationSize, int sourceStart, int sourceSize,
                               bool mirror) const;
    void drawRow(int screenY, int destinationLeft, const std::vector<int>& columns, int sourceRow);

    Rasteriser& m_out;
    const DibImage& m_image;
    // The colours of the source row drawn last: a picture stretched taller
    // draws the same row more than once.
    std::vector<COLORREF> m_rowColours;
    int m_colouredRow = -1;
};

} // namespace emu::gdi
