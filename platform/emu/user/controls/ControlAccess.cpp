#include "platform/emu/user/controls/ControlAccess.h"

#include "platform/emu/user/WindowManager.h"

namespace emu::user {

const Window* controlWindow(HWND handle) {
    return WindowManager::windowOf(handle);
}

HWND topLevelOf(HWND handle) {
    const Window* window = WindowManager::windowOf(handle);
    while (window != nullptr && window->parent() != nullptr) {
        window = window->parent();
    }
    return window != nullptr ? window->handle() : nullptr;
}

void clearStyleBits(HWND handle, DWORD bits) {
    if (Window* window = WindowManager::windowOf(handle)) {
        WindowManager::current()->clearStyleBits(window, bits);
    }
}

void setCloseDisabled(HWND handle, bool disabled) {
    if (Window* window = WindowManager::windowOf(handle)) {
        WindowManager::current()->setCloseDisabled(window, disabled);
    }
}

void showQuietly(HWND handle, int command) {
    if (Window* window = WindowManager::windowOf(handle)) {
        WindowManager::current()->show(window, command);
    }
}

ControlState* controlState(HWND handle) {
    const Window* window = WindowManager::windowOf(handle);
    return window != nullptr ? window->control() : nullptr;
}

void setControlState(HWND handle, std::unique_ptr<ControlState> state) {
    if (Window* window = WindowManager::windowOf(handle)) {
        WindowManager::current()->setControlState(window, std::move(state));
    }
}

void addCommonControlClass(ClassTable& classes, LPCSTR name, WNDPROC proc) {
    WNDCLASSA definition{};
    definition.style = CS_HREDRAW | CS_VREDRAW;
    definition.lpfnWndProc = proc;
    definition.lpszClassName = name;
    classes.add(definition);
}

void drawClientNow(HWND handle, const std::function<void(HDC dc)>& draw) {
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return;
    }
    Window* window = nullptr;
    {
        auto lock = m->lockTree();
        window = WindowManager::windowOf(handle);
    }
    if (window != nullptr) {
        m->drawClientNow(window, draw);
    }
}

LRESULT sendToWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowManager* m = WindowManager::current();
    return m != nullptr ? m->sendTo(handle, message, wParam, lParam) : 0;
}

} // namespace emu::user
