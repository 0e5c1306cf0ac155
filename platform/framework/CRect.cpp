#include "platform/framework/CRect.h"

CPoint CRect::CenterPoint() const {
    // Halved separately so that extreme coordinates cannot overflow the sum.
    return CPoint(left + (right - left) / 2, top + (bottom - top) / 2);
}

BOOL CRect::IsRectNull() const {
    return left == 0 && top == 0 && right == 0 && bottom == 0 ? TRUE : FALSE;
}

BOOL CRect::PtInRect(POINT point) const {
    return point.x >= left && point.x < right && point.y >= top && point.y < bottom ? TRUE : FALSE;
}

bool CRect::operator==(const RECT& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
}
