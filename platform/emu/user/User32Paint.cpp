// user32: device contexts of windows and the update region.
#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/WindowManager.h"

using emu::user::Window;
using emu::user::WindowManager;

HDC WINAPI GetDC(HWND hWnd) {
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return nullptr;
    }
    if (hWnd == nullptr || hWnd == GetDesktopWindow()) {
        // The whole screen, over every window.
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        return emu::gdi::createDeviceContext(POINT{0, 0}, {screen});
    }
    Window* window = nullptr;
    {
        auto lock = m->lockTree();
        window = WindowManager::windowOf(hWnd);
    }
    return window != nullptr ? m->getDC(window, true) : nullptr;
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
    WindowManager* m = WindowManager::current();
    if (m == nullptr || hDC == nullptr) {
        return 0;
    }
    if (m->releaseDC(hDC)) {
        return 1;
    }
    // Screen contexts are not tied to a window.
    return emu::gdi::destroyDeviceContext(hDC) ? 1 : 0;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
    Window* window = WindowManager::windowOf(hWnd);
    if (window == nullptr || lpPaint == nullptr) {
        return nullptr;
    }
    return WindowManager::current()->beginPaint(window, *lpPaint);
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
    if (WindowManager::windowOf(hWnd) == nullptr || lpPaint == nullptr) {
        return FALSE;
    }
    WindowManager::current()->endPaint(*lpPaint);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return FALSE;
    }
    if (hWnd == nullptr) {
        // Every window is to be painted again.
        for (Window* top : m->tree().topLevels()) {
            m->invalidateAll(top);
        }
        return TRUE;
    }
    Window* window = WindowManager::windowOf(hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    m->invalidate(window, lpRect, bErase != FALSE);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    Window* window = WindowManager::windowOf(hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    WindowManager* m = WindowManager::current();
    if (!window->update().empty() && m->tree().isShown(window)) {
        m->send(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}
