// A pen.
#pragma once

#include "platform/framework/CGdiObject.h"

class CPen : public CGdiObject {
public:
    CPen() = default;

    // FALSE when GDI makes no object or this one already holds one.
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor);

    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
};
