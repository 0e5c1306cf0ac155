// The one way a built-in control (push button, message box, progress bar,
// animation, dialog) reaches its state and the windows around it. The state
// is owned by the control's window and goes with it: a LONG window slot
// cannot hold a pointer on this host. A control reads a window here and
// changes it only through the few operations below, which the window
// manager carries out.
#pragma once

#include "platform/emu/user/Window.h"

#include <functional>
#include <memory>

namespace emu::user {

// The window a handle names, to read; nullptr when it names none.
const Window* controlWindow(HWND window);
// The top-level window the window belongs to (itself for a top-level one);
// nullptr when it names none.
HWND topLevelOf(HWND window);
// Each does nothing for a handle that names no window.
void clearStyleBits(HWND window, DWORD bits);
void setCloseDisabled(HWND window, bool disabled);
// Shows the window as ShowWindowA does, without a trace line.
void showQuietly(HWND window, int command);

// The window's control state, or nullptr for an unknown window or one without any.
ControlState* controlState(HWND window);
// Does nothing for a handle that names no window.
void setControlState(HWND window, std::unique_ptr<ControlState> state);

// The window's control state if it is a `State`, else nullptr.
template <typename State> State* controlStateAs(HWND window) {
    return dynamic_cast<State*>(controlState(window));
}

// A common control's class: repainted whole when its size changes, with no
// class brush, as the control fills its own face.
void addCommonControlClass(ClassTable& classes, LPCSTR name, WNDPROC proc);

// Draws on what of the window's client area shows at this moment, from any
// thread, with no window able to come up in front meanwhile (see
// WindowPainter::drawClientNow). Does nothing for a handle that names no
// window or one that is hidden.
void drawClientNow(HWND window, const std::function<void(HDC dc)>& draw);

// SendMessageA as the controls need it, without the trip through user32.
LRESULT sendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace emu::user
