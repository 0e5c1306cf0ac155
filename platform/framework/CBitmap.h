// A device bitmap.
#pragma once

#include "platform/framework/CGdiObject.h"

class CBitmap : public CGdiObject {
public:
    CBitmap() = default;

    // FALSE when GDI makes no object or this one already holds one.
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits);

    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};
