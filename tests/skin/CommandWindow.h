// A hidden top-level window that menu items post their commands to; the
// commands are fetched back from the message queue.
#pragma once

#include "platform/framework/CWnd.h"

#include <vector>

namespace corvane_test {

class CommandWindow {
public:
    CommandWindow();
    ~CommandWindow();
    CommandWindow(const CommandWindow&) = delete;
    CommandWindow& operator=(const CommandWindow&) = delete;

    CWnd* wnd() { return &m_wnd; }
    // The first parameters of the WM_COMMAND messages posted to the window
    // since the last call, in posting order.
    std::vector<WPARAM> takeCommands();

private:
    CWnd m_wnd;
};

} // namespace corvane_test
