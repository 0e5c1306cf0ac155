// The built-in "Button" class, push buttons only: a press shows it sunk, a
// release over it (or Space) sends BN_CLICKED to the parent.
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

class PushButton {
public:
    static constexpr const char* kClassName = "Button";
    static void registerClass(ClassTable& classes);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Sends BN_CLICKED for the button to its parent, as a click would.
    static void click(HWND button);
    static bool isDefault(HWND button);
};

} // namespace emu::user
