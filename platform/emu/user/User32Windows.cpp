// user32: window classes, creation and destruction, the window tree, place,
// visibility, activation, focus, text, window rectangles and dialog items.
#include "platform/emu/MachineConfig.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/WindowManager.h"
#include "platform/emu/user/WindowProcCookies.h"

#include <algorithm>
#include <cstring>
#include <mutex>

using emu::user::heightOf;
using emu::user::offsetPoint;
using emu::user::pointFrom;
using emu::user::QuietCalls;
using emu::user::rectAt;
using emu::user::widthOf;
using emu::user::Window;
using emu::user::WindowManager;

namespace {

constexpr DWORD kErrorInvalidWindowHandle = 1400;
constexpr DWORD kErrorTopLevelChild = 1406;
constexpr DWORD kErrorCannotFindClass = 1407;
constexpr DWORD kErrorClassExists = 1410;
constexpr DWORD kErrorInvalidIndex = 1413;
// The desktop is no window of the tree; it has a handle of its own, far above
// the handles that count from 1.
const HWND kDesktop = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010));

WindowManager* manager() {
    return WindowManager::current();
}

Window* lookup(HWND handle) {
    Window* window = WindowManager::windowOf(handle);
    if (window == nullptr) {
        SetLastError(kErrorInvalidWindowHandle);
    }
    return window;
}

HWND handleOf(const Window* window) {
    return window != nullptr ? window->handle() : nullptr;
}

RECT screenBounds() {
    return RECT{0, 0, emu::config().screenWidth, emu::config().screenHeight};
}

// The rectangle and point queries: a null out-parameter or a handle of no
// window fails, the desktop answers onDesktop, a window onWindow, under the
// tree lock so that an animation's thread does not move it meanwhile.
template <typename Out, typename OnDesktop, typename OnWindow>
BOOL answerFor(HWND handle, Out* out, OnDesktop onDesktop, OnWindow onWindow) {
    if (out == nullptr) {
        return FALSE;
    }
    if (handle == kDesktop) {
        onDesktop(*out);
        return TRUE;
    }
    WindowManager* m = manager();
    std::unique_lock<std::recursive_mutex> lock;
    if (m != nullptr) {
        lock = m->lockTree();
    }
    Window* window = lookup(handle);
    if (window == nullptr) {
        return FALSE;
    }
    onWindow(*window, *out);
    return TRUE;
}

// The arguments as the window is made with them (default places applied).
void describeCreate(emu::TraceCall& call, const CREATESTRUCTA& cs, HWND parent, HMENU menu) {
    call.num(cs.dwExStyle);
    if (IS_INTRESOURCE(cs.lpszClass)) {
        call.num(static_cast<long long>(reinterpret_cast<uintptr_t>(cs.lpszClass)));
    } else {
        call.str(cs.lpszClass);
    }
    call.str(cs.lpszName)
        .num(static_cast<DWORD>(cs.style))
        .num(cs.x)
        .num(cs.y)
        .num(cs.cx)
        .num(cs.cy)
        .handle(parent)
        .handle(menu)
        .handle(cs.hInstance)
        .handle(cs.lpCreateParams);
}

void applyDefaultPlace(CREATESTRUCTA& cs) {
    RECT screen = screenBounds();
    if (cs.x == CW_USEDEFAULT) {
        cs.x = 22;
        cs.y = 22;
    }
    if (cs.cx == CW_USEDEFAULT) {
        cs.cx = (screen.right - screen.left) * 3 / 4;
        cs.cy = (screen.bottom - screen.top) * 3 / 4;
    }
}

} // namespace

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    WindowManager* m = manager();
    if (m == nullptr || lpWndClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    ATOM atom = m->registerClass(*lpWndClass);
    if (atom == 0) {
        SetLastError(lpWndClass->lpszClassName != nullptr &&
                             m->findClass(lpWndClass->lpszClassName) != nullptr
                         ? kErrorClassExists
                         : ERROR_INVALID_PARAMETER);
    }
    return atom;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    // Only the system cursors exist; the arrow is the one the pointer shows.
    if (hInstance != nullptr || !IS_INTRESOURCE(lpCursorName)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(const_cast<LPSTR>(lpCursorName));
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
    CREATESTRUCTA cs{lpParam,
                     hInstance,
                     hMenu,
                     hWndParent,
                     nHeight,
                     nWidth,
                     Y,
                     X,
                     static_cast<LONG>(dwStyle),
                     lpWindowName,
                     lpClassName,
                     dwExStyle};
    emu::TraceCall call("CreateWindowExA", !QuietCalls::active());
    WindowManager* m = manager();
    HWND result = nullptr;
    auto windowClass = m != nullptr ? m->findClass(lpClassName) : nullptr;
    Window* parent = hWndParent != kDesktop ? WindowManager::windowOf(hWndParent) : nullptr;
    bool child = (dwStyle & WS_CHILD) != 0;
    if (m == nullptr || windowClass == nullptr) {
        SetLastError(kErrorCannotFindClass);
        describeCreate(call, cs, hWndParent, hMenu);
    } else if (child && parent == nullptr) {
        SetLastError(kErrorTopLevelChild);
        describeCreate(call, cs, hWndParent, hMenu);
    } else if (hWndParent != nullptr && hWndParent != kDesktop && parent == nullptr) {
        SetLastError(kErrorInvalidWindowHandle);
        describeCreate(call, cs, hWndParent, hMenu);
    } else {
        applyDefaultPlace(cs);
        // Described before the window exists: its creation calls the program.
        describeCreate(call, cs, hWndParent, hMenu);
        Window* owner = child ? nullptr : m->tree().topLevelOf(parent);
        Window* created = m->create(cs, windowClass, child ? parent : nullptr, owner);
        result = handleOf(created);
    }
    call.resultHandle(result);
    return result;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    emu::TraceCall call("DestroyWindow", !QuietCalls::active());
    call.handle(hWnd);
    Window* window = lookup(hWnd);
    BOOL result = window != nullptr && manager()->destroy(window);
    call.result(result);
    return result;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    WindowManager* m = manager();
    if (m == nullptr) {
        return FALSE;
    }
    auto lock = m->lockTree();
    return hWnd == kDesktop || WindowManager::windowOf(hWnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    WindowManager* m = manager();
    if (m == nullptr) {
        return FALSE;
    }
    auto lock = m->lockTree();
    Window* window = lookup(hWnd);
    return window != nullptr && manager()->tree().isShown(window);
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    Window* window = lookup(hWnd);
    return window != nullptr && window->enabled();
}

BOOL WINAPI IsIconic(HWND hWnd) {
    Window* window = lookup(hWnd);
    return window != nullptr && (window->style() & WS_MINIMIZE) != 0;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    BOOL wasDisabled = !window->enabled();
    manager()->setEnabled(window, bEnable != FALSE);
    return wasDisabled;
}

HWND WINAPI GetParent(HWND hWnd) {
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return nullptr;
    }
    return handleOf(window->isChild() ? window->parent() : window->owner());
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    WindowManager* m = manager();
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return nullptr;
    }
    if (uCmd == GW_OWNER) {
        return handleOf(window->owner());
    }
    if (uCmd == GW_CHILD) {
        return window->children().empty() ? nullptr : window->children().front()->handle();
    }
    const auto& stack = m->tree().siblingsOf(window);
    auto it = std::find(stack.begin(), stack.end(), window);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return stack.front()->handle();
    case GW_HWNDLAST:
        return stack.back()->handle();
    case GW_HWNDNEXT:
        return it + 1 != stack.end() ? (*(it + 1))->handle() : nullptr;
    case GW_HWNDPREV:
        return it != stack.begin() ? (*(it - 1))->handle() : nullptr;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) {
    return kDesktop;
}

HWND WINAPI GetActiveWindow(void) {
    WindowManager* m = manager();
    return m != nullptr ? handleOf(m->activeWindow()) : nullptr;
}

HWND WINAPI GetFocus(void) {
    WindowManager* m = manager();
    return m != nullptr ? handleOf(m->focusWindow()) : nullptr;
}

HWND WINAPI SetFocus(HWND hWnd) {
    WindowManager* m = manager();
    if (m == nullptr) {
        return nullptr;
    }
    Window* window = nullptr;
    if (hWnd != nullptr && (window = lookup(hWnd)) == nullptr) {
        return nullptr;
    }
    return handleOf(m->setFocus(window));
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return 0;
    }
    switch (nIndex) {
    case GWL_STYLE:
        return static_cast<LONG>(window->style());
    case GWL_EXSTYLE:
        return static_cast<LONG>(window->exStyle());
    case GWL_ID:
        return window->id();
    case GWL_USERDATA:
        return window->userData();
    case GWL_WNDPROC:
        return emu::user::WindowProcCookies::cookieFor(window->proc());
    case GWL_HINSTANCE:
        return static_cast<LONG>(reinterpret_cast<intptr_t>(window->instance()));
    case DWL_MSGRESULT:
        return window->msgResult();
    default:
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return 0;
    }
    LONG old = GetWindowLongA(hWnd, nIndex);
    switch (nIndex) {
    case GWL_STYLE:
        manager()->setStyle(window, static_cast<DWORD>(dwNewLong));
        break;
    case GWL_EXSTYLE:
        manager()->setExStyle(window, static_cast<DWORD>(dwNewLong));
        break;
    case GWL_ID:
        manager()->setId(window, dwNewLong);
        break;
    case GWL_USERDATA:
        manager()->setUserData(window, dwNewLong);
        break;
    case DWL_MSGRESULT:
        manager()->setMsgResult(window, dwNewLong);
        break;
    case GWL_WNDPROC:
        if (WNDPROC proc = emu::user::WindowProcCookies::procFor(dwNewLong)) {
            manager()->setProc(window, proc);
            break;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    default:
        SetLastError(kErrorInvalidIndex);
        return 0;
    }
    return old;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    emu::TraceCall call("MoveWindow", !QuietCalls::active());
    call.handle(hWnd).num(X).num(Y).num(nWidth).num(nHeight).num(bRepaint);
    Window* window = lookup(hWnd);
    if (window != nullptr) {
        manager()->place(window, rectAt(X, Y, nWidth, nHeight), bRepaint != FALSE);
    }
    BOOL result = window != nullptr;
    call.result(result);
    return result;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags) {
    Window* window = lookup(hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    WindowManager* m = manager();
    RECT r = window->rect();
    if ((uFlags & SWP_NOMOVE) == 0) {
        r = rectAt(X, Y, widthOf(r), heightOf(r));
    }
    if ((uFlags & SWP_NOSIZE) == 0) {
        r = rectAt(r.left, r.top, cx, cy);
    }
    m->place(window, r, (uFlags & SWP_NOREDRAW) == 0 && (uFlags & SWP_FRAMECHANGED) != 0);
    if ((uFlags & SWP_NOZORDER) == 0 && hWndInsertAfter == HWND_TOP) {
        m->bringToTop(window);
    }
    if ((uFlags & SWP_HIDEWINDOW) != 0) {
        m->show(window, SW_HIDE);
    } else if ((uFlags & SWP_SHOWWINDOW) != 0) {
        m->show(window, (uFlags & SWP_NOACTIVATE) != 0 ? SW_SHOWNA : SW_SHOW);
    } else if ((uFlags & SWP_NOACTIVATE) == 0 && !window->isChild() && m->tree().isShown(window) &&
               window->enabled()) {
        m->activate(window, WA_ACTIVE);
    }
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    emu::TraceCall call("ShowWindow", !QuietCalls::active());
    call.handle(hWnd).num(nCmdShow);
    Window* window = lookup(hWnd);
    BOOL result = window != nullptr && manager()->show(window, nCmdShow);
    call.result(result);
    return result;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    emu::TraceCall call("SetWindowTextA", !QuietCalls::active());
    call.handle(hWnd).str(lpString);
    Window* window = lookup(hWnd);
    BOOL result = window != nullptr &&
                  manager()->send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
    call.result(result);
    return result;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    Window* window = lookup(hWnd);
    if (window == nullptr || lpString == nullptr || nMaxCount <= 0) {
        return 0;
    }
    return static_cast<int>(manager()->send(window, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                            reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    return answerFor(
        hWnd, lpRect, [](RECT& out) { out = screenBounds(); },
        [](const Window& window, RECT& out) {
            out = RECT{0, 0, window.clientWidth(), window.clientHeight()};
        });
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    return answerFor(
        hWnd, lpRect, [](RECT& out) { out = screenBounds(); },
        [](const Window& window, RECT& out) { out = manager()->tree().screenRect(&window); });
}

// The desktop's client area is the screen: its points stay as they are.
BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    return answerFor(
        hWnd, lpPoint, [](POINT&) {},
        [](const Window& window, POINT& out) {
            out = offsetPoint(out, manager()->tree().clientOrigin(&window));
        });
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    return answerFor(
        hWnd, lpPoint, [](POINT&) {},
        [](const Window& window, POINT& out) {
            out = pointFrom(out, manager()->tree().clientOrigin(&window));
        });
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* dialog = lookup(hDlg);
    if (dialog == nullptr) {
        return nullptr;
    }
    for (Window* child : dialog->children()) {
        if (child->id() == nIDDlgItem) {
            return child->handle();
        }
    }
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    Window* window = lookup(hWnd);
    return window != nullptr && window->isChild() ? window->id() : 0;
}
