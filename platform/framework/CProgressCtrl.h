// A progress bar control. Without a window every operation does nothing.
#pragma once

#include "platform/framework/CWnd.h"

class CProgressCtrl : public CWnd {
public:
    CProgressCtrl() = default;

    // The range travels as two 16-bit halves of LPARAM.
    void SetRange(short nLower, short nUpper);
    // Each returns the previous position (0 without a window).
    int SetPos(int nPos);
    int SetStep(int nStep);
    int StepIt();
};
