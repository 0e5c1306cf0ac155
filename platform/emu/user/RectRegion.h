// A set of screen or client pixels kept as disjoint rectangles. Clipping lists
// handed to device contexts must not overlap: an exclusive-or drawing clipped
// to two overlapping rectangles would touch the shared pixels twice and undo
// itself there.
#pragma once

#include "platform/win32.h"

#include <vector>

namespace emu::user {

class RectRegion {
public:
    RectRegion() = default;
    explicit RectRegion(const RECT& rect);

    bool empty() const { return m_rects.empty(); }
    const std::vector<RECT>& rects() const { return m_rects; }
    RECT bounds() const;

    void add(const RECT& rect);
    void add(const RectRegion& other);
    void subtract(const RECT& rect);
    void subtract(const RectRegion& other);
    RectRegion intersected(const RectRegion& other) const;
    void intersect(const RECT& rect);
    void offset(int dx, int dy);
    void clear() { m_rects.clear(); }
    bool intersects(const RECT& rect) const;

    static bool isEmpty(const RECT& rect) {
        return rect.left >= rect.right || rect.top >= rect.bottom;
    }
    static RECT intersection(const RECT& a, const RECT& b);

private:
    std::vector<RECT> m_rects;
};

} // namespace emu::user
