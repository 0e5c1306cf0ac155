// The device context of one WM_PAINT: BeginPaint at construction, EndPaint
// with this object.
#pragma once

#include "platform/framework/CDC.h"

class CWnd;

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;
};
