// Window procedures travel through the 32-bit GWL_WNDPROC slot as small
// numbers standing for them, since a LONG cannot hold a pointer on this host.
// CallWindowProcA takes such a number back for the procedure it stands for.
#pragma once

#include "platform/win32.h"

namespace emu::user {

class WindowProcCookies {
public:
    static LONG cookieFor(WNDPROC proc);
    // The procedure a number stands for, or nullptr when it stands for none.
    static WNDPROC procFor(LONG cookie);
    // A procedure pointer as given to CallWindowProcA: a real one, or a cookie.
    static WNDPROC resolve(WNDPROC procOrCookie);
};

// Internal calls of the emulation (a message box making its buttons) are not
// the program's calls and stay out of the trace while a QuietCalls lives.
class QuietCalls {
public:
    QuietCalls() { ++s_depth; }
    ~QuietCalls() { --s_depth; }
    QuietCalls(const QuietCalls&) = delete;
    QuietCalls& operator=(const QuietCalls&) = delete;
    static bool active() { return s_depth > 0; }

private:
    static int s_depth;
};

} // namespace emu::user
