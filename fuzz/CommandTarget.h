// A hidden top-level window for menu items to post their commands to; what
// they post is taken off the queue again after every input.
#pragma once

#include "platform/framework/CWnd.h"

namespace corvane_fuzz {

class CommandTarget {
public:
    CommandTarget();
    ~CommandTarget();
    CommandTarget(const CommandTarget&) = delete;
    CommandTarget& operator=(const CommandTarget&) = delete;

    CWnd* wnd() { return &m_wnd; }
    // Removes every queued message; returns how many WM_COMMANDs were there.
    int drain();

private:
    CWnd m_wnd;
};

} // namespace corvane_fuzz
