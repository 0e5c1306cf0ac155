// A font made from a logical-font record.
#pragma once

#include "platform/framework/CGdiObject.h"

class CFont : public CGdiObject {
public:
    CFont() = default;

    // FALSE when GDI makes no object or this one already holds one.
    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont);

    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
};
