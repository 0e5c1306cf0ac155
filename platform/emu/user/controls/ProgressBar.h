// The common control "msctls_progress32" of Windows 95: a range, a position
// and a step, drawn as a row of highlight-coloured chunks in a sunken box.
// Every change of the position is drawn at once, straight to the screen,
// because its owners commonly step it without pumping messages.
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

class ProgressBar {
public:
    static void registerClass(ClassTable& classes);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace emu::user
