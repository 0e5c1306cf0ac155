// Software drawing in the frame buffer for one device context: logical
// coordinates are shifted by the context's origin and every pixel is kept
// inside its clip rectangles and the screen. The caller holds the frame
// buffer's mutex for the Rasteriser's whole life.
#pragma once

#include "platform/emu/gdi/FrameBuffer.h"

#include <vector>

namespace emu::gdi {

struct LinePen {
    COLORREF colour = 0;    // a colour of the display
    COLORREF gapColour = 0; // the background colour, for the gaps of a dotted pen
    bool dotted = false;
    bool drawGaps = false; // OPAQUE background mode
    int width = 1;
    int rop2 = R2_COPYPEN;
};

class Rasteriser {
public:
    Rasteriser(FrameBuffer& frameBuffer, POINT origin, const std::vector<RECT>& clip);
    ~Rasteriser();
    Rasteriser(const Rasteriser&) = delete;
    Rasteriser& operator=(const Rasteriser&) = delete;

    // Narrows the clip to a logical rectangle.
    void restrictTo(const RECT& logical);

    // Logical-coordinate operations.
    bool visible(int x, int y) const { return visibleOnScreen(screenX(x), screenY(y)); }
    COLORREF get(int x, int y) const;
    bool set(int x, int y, COLORREF shown, int rop2);
    void fill(const RECT& logical, COLORREF shown, int rop2);
    // From `from` up to, not including, `to`.
    void line(POINT from, POINT to, const LinePen& pen);
    // Fills the 4-connected area around `start` that does not have the
    // border colour; false when `start` is not visible or is the border.
    bool floodFill(POINT start, COLORREF border, COLORREF fillColour);
    // Sets the pixels where `ink` is nonzero (`width` x `height`, row after row).
    void mask(int x, int y, int width, int height, const uint8_t* ink, COLORREF shown);

    // Calls f(screenY, firstX, endX) for each visible part of the screen row
    // span [x0, x1) at screen row y.
    template <typename F> void forEachSpan(int y, int x0, int x1, F f) {
        for (const RECT& r : m_clip) {
            if (y < r.top || y >= r.bottom) {
                continue;
            }
            const int a = x0 > r.left ? x0 : r.left;
            const int b = x1 < r.right ? x1 : r.right;
            if (a < b) {
                f(y, a, b);
                m_changed = true;
            }
        }
    }
    POINT origin() const { return m_origin; }
    FrameBuffer& frameBuffer() { return m_frameBuffer; }

    static COLORREF combine(int rop2, COLORREF pen, COLORREF destination);

private:
    int screenX(long long x) const;
    int screenY(long long y) const;
    RECT toScreen(const RECT& logical) const;
    bool visibleOnScreen(int sx, int sy) const;
    void plotScreen(int sx, int sy, COLORREF shown, int rop2);
    std::vector<POINT> linePoints(POINT from, POINT to) const;
    void wideLine(const std::vector<POINT>& points, const LinePen& pen);

    FrameBuffer& m_frameBuffer;
    POINT m_origin;
    std::vector<RECT> m_clip;
    bool m_changed = false;
};

} // namespace emu::gdi
