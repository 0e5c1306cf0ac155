#include "platform/emu/user/controls/ControlAccess.h"

#include "platform/emu/user/WindowManager.h"

namespace emu::user {

namespace {

Window* windowOf(HWND handle) {
    WindowManager* m = WindowManager::current();
    return m != nullptr ? m->find(handle) : nullptr;
}

} // namespace

ControlState* controlState(HWND handle) {
    Window* window = windowOf(handle);
    return window != nullptr ? window->control.get() : nullptr;
}

void setControlState(HWND handle, std::unique_ptr<ControlState> state) {
    if (Window* window = windowOf(handle)) {
        window->control = std::move(state);
    }
}

void addCommonControlClass(ClassTable& classes, LPCSTR name, WNDPROC proc) {
    WNDCLASSA definition{};
    definition.style = CS_HREDRAW | CS_VREDRAW;
    definition.lpfnWndProc = proc;
    definition.lpszClassName = name;
    classes.add(definition);
}

LRESULT sendToWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowManager* m = WindowManager::current();
    return m != nullptr ? m->sendTo(handle, message, wParam, lParam) : 0;
}

} // namespace emu::user
