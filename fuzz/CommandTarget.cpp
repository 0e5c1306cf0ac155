#include "fuzz/CommandTarget.h"

namespace corvane_fuzz {

namespace {
const char* const kClassName = "FuzzCommandTarget";
const UINT kEndOfQueue = WM_USER + 91;
} // namespace

CommandTarget::CommandTarget() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass); // fails harmlessly when registered already
    m_wnd.Attach(CreateWindowExA(0, kClassName, "commands", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr));
}

CommandTarget::~CommandTarget() {
    HWND hWnd = m_wnd.Detach();
    if (hWnd != nullptr) {
        DestroyWindow(hWnd);
    }
}

// A marker posted behind the queue's contents ends the loop, so it never
// waits on an empty queue.
int CommandTarget::drain() {
    int commands = 0;
    PostMessageA(m_wnd.m_hWnd, kEndOfQueue, 0, 0);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == kEndOfQueue) {
            break;
        }
        commands += msg.message == WM_COMMAND ? 1 : 0;
    }
    return commands;
}

} // namespace corvane_fuzz
