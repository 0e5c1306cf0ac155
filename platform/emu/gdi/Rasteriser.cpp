#include "platform/emu/gdi/Rasteriser.h"

#include <algorithm>
#include <cstdlib>

namespace emu::gdi {

namespace {

constexpr COLORREF kColourMask = 0x00FFFFFF;
constexpr int kMaxPenWidth = 256;
constexpr long kMaxLineLength = 1L << 16;

RECT intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

// Far enough outside any screen to be invisible, near enough never to overflow.
int clampCoordinate(long long v) {
    constexpr long long limit = 1LL << 30;
    return static_cast<int>(std::clamp(v, -limit, limit));
}

bool empty(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

RECT normalised(const RECT& r) {
    return RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                std::max(r.top, r.bottom)};
}

} // namespace

Rasteriser::Rasteriser(FrameBuffer& frameBuffer, POINT origin, const std::vector<RECT>& clip)
    : m_frameBuffer(frameBuffer), m_origin(origin) {
    const RECT screen{0, 0, frameBuffer.width(), frameBuffer.height()};
    for (const RECT& r : clip) {
        const RECT inside = intersect(normalised(r), screen);
        if (!empty(inside)) {
            m_clip.push_back(inside);
        }
    }
}

Rasteriser::~Rasteriser() {
    if (m_changed) {
        m_frameBuffer.markChanged();
    }
}

void Rasteriser::restrictTo(const RECT& logical) {
    const RECT screen = toScreen(normalised(logical));
    std::vector<RECT> narrowed;
    for (const RECT& r : m_clip) {
        const RECT inside = intersect(r, screen);
        if (!empty(inside)) {
            narrowed.push_back(inside);
        }
    }
    m_clip = std::move(narrowed);
}

COLORREF Rasteriser::combine(int rop2, COLORREF pen, COLORREF destination) {
    // Bit n of (rop2 - 1) is the result for pen bit P and destination bit D
    // with n = 2P + D; the same table applies to every bit of the colour.
    const unsigned table = static_cast<unsigned>(rop2 - 1) & 0xF;
    const COLORREF p = pen & kColourMask;
    const COLORREF d = destination & kColourMask;
    COLORREF out = 0;
    out |= (table & 1) ? (~p & ~d) : 0;
    out |= (table & 2) ? (~p & d) : 0;
    out |= (table & 4) ? (p & ~d) : 0;
    out |= (table & 8) ? (p & d) : 0;
    return out & kColourMask;
}

int Rasteriser::screenX(long long x) const {
    return clampCoordinate(x + m_origin.x);
}

int Rasteriser::screenY(long long y) const {
    return clampCoordinate(y + m_origin.y);
}

RECT Rasteriser::toScreen(const RECT& logical) const {
    return RECT{screenX(logical.left), screenY(logical.top), screenX(logical.right),
                screenY(logical.bottom)};
}

bool Rasteriser::visibleOnScreen(int sx, int sy) const {
    for (const RECT& r : m_clip) {
        if (sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom) {
            return true;
        }
    }
    return false;
}

void Rasteriser::plotScreen(int sx, int sy, COLORREF shown, int rop2) {
    if (!visibleOnScreen(sx, sy)) {
        return;
    }
    const COLORREF value =
        rop2 == R2_COPYPEN ? shown : combine(rop2, shown, m_frameBuffer.at(sx, sy));
    m_frameBuffer.put(sx, sy, value);
    m_changed = true;
}

COLORREF Rasteriser::get(int x, int y) const {
    const int sx = screenX(x);
    const int sy = screenY(y);
    return visibleOnScreen(sx, sy) ? m_frameBuffer.at(sx, sy) : CLR_INVALID;
}

bool Rasteriser::set(int x, int y, COLORREF shown, int rop2) {
    const int sx = screenX(x);
    const int sy = screenY(y);
    if (!visibleOnScreen(sx, sy)) {
        return false;
    }
    plotScreen(sx, sy, shown, rop2);
    return true;
}

void Rasteriser::fill(const RECT& logical, COLORREF shown, int rop2) {
    if (empty(logical)) {
        return;
    }
    const RECT r = toScreen(logical);
    for (int y = std::max<LONG>(r.top, 0); y < r.bottom && y < m_frameBuffer.height(); ++y) {
        forEachSpan(y, r.left, r.right, [&](int sy, int a, int b) {
            COLORREF* row = m_frameBuffer.row(sy);
            if (rop2 == R2_COPYPEN) {
                FrameBuffer::fillPixels(row + a, static_cast<size_t>(b - a), shown);
                return;
            }
            for (int x = a; x < b; ++x) {
                row[x] = combine(rop2, shown, row[x]);
            }
        });
    }
}

std::vector<POINT> Rasteriser::linePoints(POINT from, POINT to) const {
    std::vector<POINT> points;
    const long dx = std::labs(static_cast<long>(to.x) - from.x);
    const long dy = std::labs(static_cast<long>(to.y) - from.y);
    const int stepX = from.x < to.x ? 1 : -1;
    const int stepY = from.y < to.y ? 1 : -1;
    // Coordinates are 32-bit; a line longer than any screen is cut short
    // rather than walked for minutes.
    const long count = std::min(std::max(dx, dy), kMaxLineLength);
    points.reserve(static_cast<size_t>(count));
    long error = dx - dy;
    POINT p = from;
    for (long i = 0; i < count; ++i) {
        points.push_back(p);
        const long twice = 2 * error;
        if (twice > -dy) {
            error -= dy;
            p.x += stepX;
        }
        if (twice < dx) {
            error += dx;
            p.y += stepY;
        }
    }
    return points;
}

void Rasteriser::line(POINT from, POINT to, const LinePen& pen) {
    const auto clampPoint = [](POINT p) {
        return POINT{clampCoordinate(p.x), clampCoordinate(p.y)};
    };
    const std::vector<POINT> points = linePoints(clampPoint(from), clampPoint(to));
    if (pen.width > 1) {
        wideLine(points, pen);
        return;
    }
    // A dotted pen alternates one pixel of ink and one of gap, starting
    // with ink at the first point of every line.
    for (size_t i = 0; i < points.size(); ++i) {
        const bool gap = pen.dotted && (i % 2) == 1;
        if (gap && !pen.drawGaps) {
            continue;
        }
        plotScreen(screenX(points[i].x), screenY(points[i].y), gap ? pen.gapColour : pen.colour,
                   pen.rop2);
    }
}

void Rasteriser::wideLine(const std::vector<POINT>& points, const LinePen& pen) {
    if (points.empty()) {
        return;
    }
    const int width = std::min(pen.width, kMaxPenWidth);
    const int before = (width - 1) / 2;
    RECT box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const POINT& p : points) {
        box = RECT{std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
                   std::max(box.bottom, p.y)};
    }
    box = RECT{box.left - before, box.top - before, box.right - before + width,
               box.bottom - before + width};
    // Each covered pixel is drawn once, so XOR pens stay reversible.
    const int boxWidth = box.right - box.left;
    std::vector<uint8_t> covered(static_cast<size_t>(boxWidth) * (box.bottom - box.top), 0);
    for (const POINT& p : points) {
        for (int y = 0; y < width; ++y) {
            const size_t rowStart = static_cast<size_t>(p.y - before - box.top + y) * boxWidth;
            std::fill_n(covered.begin() + rowStart + (p.x - before - box.left), width, 1);
        }
    }
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            if (covered[static_cast<size_t>(y - box.top) * boxWidth + (x - box.left)]) {
                plotScreen(screenX(x), screenY(y), pen.colour, pen.rop2);
            }
        }
    }
}

bool Rasteriser::floodFill(POINT start, COLORREF border, COLORREF fillColour) {
    const int sx = screenX(start.x);
    const int sy = screenY(start.y);
    if (!visibleOnScreen(sx, sy) || m_frameBuffer.at(sx, sy) == border) {
        return false;
    }
    // Only the clip's bounding box can be filled; remember visits there.
    RECT box = m_clip.front();
    for (const RECT& r : m_clip) {
        box = RECT{std::min(box.left, r.left), std::min(box.top, r.top),
                   std::max(box.right, r.right), std::max(box.bottom, r.bottom)};
    }
    const int width = box.right - box.left;
    std::vector<uint8_t> done(static_cast<size_t>(width) * (box.bottom - box.top), 0);
    auto visited = [&](int x, int y) -> uint8_t& {
        return done[static_cast<size_t>(y - box.top) * width + (x - box.left)];
    };
    auto fillable = [&](int x, int y) {
        return visibleOnScreen(x, y) && !visited(x, y) && m_frameBuffer.at(x, y) != border;
    };
    std::vector<POINT> pending{POINT{sx, sy}};
    while (!pending.empty()) {
        const POINT p = pending.back();
        pending.pop_back();
        if (!fillable(p.x, p.y)) {
            continue;
        }
        int left = p.x;
        int right = p.x;
        while (fillable(left - 1, p.y)) {
            --left;
        }
        while (fillable(right + 1, p.y)) {
            ++right;
        }
        for (int x = left; x <= right; ++x) {
            visited(x, p.y) = 1;
            m_frameBuffer.put(x, p.y, fillColour);
        }
        for (int y : {p.y - 1, p.y + 1}) {
            for (int x = left; x <= right; ++x) {
                if (fillable(x, y) && (x == left || !fillable(x - 1, y))) {
                    pending.push_back(POINT{x, y});
                }
            }
        }
    }
    m_changed = true;
    return true;
}

void Rasteriser::mask(int x, int y, int width, int height, const uint8_t* ink, COLORREF shown) {
    const int sx = screenX(x);
    const int sy = screenY(y);
    for (int row = 0; row < height; ++row) {
        const uint8_t* line = ink + static_cast<size_t>(row) * width;
        forEachSpan(sy + row, sx, sx + width, [&](int rowY, int a, int b) {
            COLORREF* pixels = m_frameBuffer.row(rowY);
            for (int px = a; px < b; ++px) {
                if (line[px - sx]) {
                    pixels[px] = shown;
                }
            }
        });
    }
}

} // namespace emu::gdi
