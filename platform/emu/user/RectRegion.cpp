#include "platform/emu/user/RectRegion.h"

#include <algorithm>

namespace emu::user {

namespace {

// The parts of `from` outside `cut`: at most four bands (above, below, left, right).
void appendDifference(const RECT& from, const RECT& cut, std::vector<RECT>& out) {
    RECT common = RectRegion::intersection(from, cut);
    if (RectRegion::isEmpty(common)) {
        out.push_back(from);
        return;
    }
    if (from.top < common.top) {
        out.push_back({from.left, from.top, from.right, common.top});
    }
    if (common.bottom < from.bottom) {
        out.push_back({from.left, common.bottom, from.right, from.bottom});
    }
    if (from.left < common.left) {
        out.push_back({from.left, common.top, common.left, common.bottom});
    }
    if (common.right < from.right) {
        out.push_back({common.right, common.top, from.right, common.bottom});
    }
}

} // namespace

RectRegion::RectRegion(const RECT& rect) {
    if (!isEmpty(rect)) {
        m_rects.push_back(rect);
    }
}

RECT RectRegion::intersection(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (isEmpty(r)) {
        return RECT{0, 0, 0, 0};
    }
    return r;
}

RECT RectRegion::bounds() const {
    if (m_rects.empty()) {
        return RECT{0, 0, 0, 0};
    }
    RECT b = m_rects.front();
    for (const RECT& r : m_rects) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

void RectRegion::add(const RECT& rect) {
    if (isEmpty(rect)) {
        return;
    }
    // Only the pixels not yet covered are added, so the pieces stay disjoint.
    std::vector<RECT> pieces{rect};
    for (const RECT& existing : m_rects) {
        std::vector<RECT> next;
        for (const RECT& piece : pieces) {
            appendDifference(piece, existing, next);
        }
        pieces.swap(next);
        if (pieces.empty()) {
            return;
        }
    }
    m_rects.insert(m_rects.end(), pieces.begin(), pieces.end());
}

void RectRegion::add(const RectRegion& other) {
    for (const RECT& r : other.m_rects) {
        add(r);
    }
}

void RectRegion::subtract(const RECT& rect) {
    if (isEmpty(rect)) {
        return;
    }
    std::vector<RECT> next;
    for (const RECT& r : m_rects) {
        appendDifference(r, rect, next);
    }
    m_rects.swap(next);
}

void RectRegion::subtract(const RectRegion& other) {
    for (const RECT& r : other.m_rects) {
        subtract(r);
    }
}

RectRegion RectRegion::intersected(const RectRegion& other) const {
    RectRegion out;
    // Pieces of two disjoint sets meet in disjoint pieces.
    for (const RECT& a : m_rects) {
        for (const RECT& b : other.m_rects) {
            RECT common = intersection(a, b);
            if (!isEmpty(common)) {
                out.m_rects.push_back(common);
            }
        }
    }
    return out;
}

void RectRegion::intersect(const RECT& rect) {
    std::vector<RECT> next;
    for (const RECT& r : m_rects) {
        RECT common = intersection(r, rect);
        if (!isEmpty(common)) {
            next.push_back(common);
        }
    }
    m_rects.swap(next);
}

void RectRegion::offset(int dx, int dy) {
    for (RECT& r : m_rects) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

bool RectRegion::intersects(const RECT& rect) const {
    return std::any_of(m_rects.begin(), m_rects.end(),
                       [&](const RECT& r) { return !isEmpty(intersection(r, rect)); });
}

} // namespace emu::user
