#include "tests/skin/CommandWindow.h"

namespace corvane_test {

namespace {
const char* const kClassName = "SkinTestCommandTarget";
const UINT kEndOfCommands = WM_USER + 77;

void registerClassOnce() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass); // fails harmlessly when registered already
}
} // namespace

CommandWindow::CommandWindow() {
    registerClassOnce();
    HWND hWnd = CreateWindowExA(0, kClassName, "commands", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    m_wnd.Attach(hWnd);
}

CommandWindow::~CommandWindow() {
    HWND hWnd = m_wnd.Detach();
    if (hWnd != nullptr) {
        DestroyWindow(hWnd);
    }
}

// A marker posted behind whatever is queued ends the fetch, so the queue is
// never waited on when it holds nothing more.
std::vector<WPARAM> CommandWindow::takeCommands() {
    std::vector<WPARAM> commands;
    PostMessageA(m_wnd.m_hWnd, kEndOfCommands, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == kEndOfCommands) {
            break;
        }
        if (msg.message == WM_COMMAND && msg.hwnd == m_wnd.m_hWnd) {
            commands.push_back(msg.wParam);
        }
    }
    return commands;
}

} // namespace corvane_test
