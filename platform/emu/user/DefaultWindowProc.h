// The default window procedure (DefWindowProcA): text, frame painting and
// activation, the hit test, closing. The built-in controls hand it what they
// do not handle themselves, as a program's procedures do through
// DefWindowProcA.
#pragma once

#include "platform/win32.h"

namespace emu::user {

class DefaultWindowProc {
public:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace emu::user
