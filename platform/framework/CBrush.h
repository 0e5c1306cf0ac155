// A solid brush.
#pragma once

#include "platform/framework/CGdiObject.h"

class CBrush : public CGdiObject {
public:
    CBrush() = default;

    // FALSE when GDI makes no object or this one already holds one.
    BOOL CreateSolidBrush(COLORREF crColor);

    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};
