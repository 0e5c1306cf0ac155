// The screen's device context (GetDC(NULL)) for drawing outside any window,
// released with the object.
#pragma once

#include "platform/framework/CDC.h"

namespace corvane_fuzz {

class ScreenDC : public CDC {
public:
    ScreenDC() : CDC(GetDC(nullptr)) {}
    ~ScreenDC() override { ReleaseDC(nullptr, m_hDC); }
};

} // namespace corvane_fuzz
