// A RECT with constructors and the measures the system asks of it.
#pragma once

#include "platform/framework/CPoint.h"
#include "platform/win32.h"

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& srcRect) : RECT(srcRect) {} // implicit, like the structure it extends

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint CenterPoint() const;
    // All four coordinates 0.
    BOOL IsRectNull() const;
    // Left and top edges inside, right and bottom outside.
    BOOL PtInRect(POINT point) const;

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    bool operator==(const RECT& other) const;
    bool operator!=(const RECT& other) const { return !(*this == other); }
};
