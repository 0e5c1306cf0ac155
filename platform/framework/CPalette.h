// A logical palette.
#pragma once

#include "platform/framework/CGdiObject.h"

class CPalette : public CGdiObject {
public:
    CPalette() = default;

    // FALSE when GDI makes no object or this one already holds one.
    BOOL CreatePalette(const LOGPALETTE* lpLogPalette);

    operator HPALETTE() const { return static_cast<HPALETTE>(m_hObject); }
};
