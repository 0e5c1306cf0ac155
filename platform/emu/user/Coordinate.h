// Arithmetic on window coordinates. A window's place and size come from the
// program (a layout file's SIZE, say) and may be anything an int holds, so
// sums and differences of them are taken in 64 bits and clamped to the int
// range: a huge window has far-away edges, never an overflow.
#pragma once

#include "platform/win32.h"

#include <climits>

namespace emu::user {

constexpr int clampCoordinate(long long value) {
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

constexpr int addCoordinates(int a, int b) {
    return clampCoordinate(static_cast<long long>(a) + b);
}

constexpr int subtractCoordinates(int a, int b) {
    return clampCoordinate(static_cast<long long>(a) - b);
}

// The point halfway between a and b.
constexpr int midCoordinate(int a, int b) {
    return clampCoordinate((static_cast<long long>(a) + b) / 2);
}

// The rectangle of a window at (x, y) with the size cx by cy (a negative size
// counts as none).
constexpr RECT rectAt(int x, int y, int cx, int cy) {
    return RECT{x, y, addCoordinates(x, cx > 0 ? cx : 0), addCoordinates(y, cy > 0 ? cy : 0)};
}

inline POINT offsetPoint(POINT p, POINT by) {
    return POINT{addCoordinates(p.x, by.x), addCoordinates(p.y, by.y)};
}

// p seen from origin.
inline POINT pointFrom(POINT p, POINT origin) {
    return POINT{subtractCoordinates(p.x, origin.x), subtractCoordinates(p.y, origin.y)};
}

inline int widthOf(const RECT& r) {
    return subtractCoordinates(r.right, r.left);
}

inline int heightOf(const RECT& r) {
    return subtractCoordinates(r.bottom, r.top);
}

} // namespace emu::user
