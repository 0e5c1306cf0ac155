#include "platform/emu/user/DefaultWindowProc.h"

#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/WindowManager.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace emu::user {

namespace {

LRESULT copyText(const Window& window, WPARAM size, LPARAM buffer) {
    char* out = reinterpret_cast<char*>(buffer);
    if (out == nullptr || size == 0) {
        return 0;
    }
    size_t count = std::min(window.text().size(), static_cast<size_t>(size) - 1);
    std::memcpy(out, window.text().data(), count);
    out[count] = '\0';
    return static_cast<LRESULT>(count);
}

// A null text is the empty text, as Windows takes it.
std::string_view textOf(LPCSTR text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

LRESULT hitTest(const WindowTree& tree, const Window& window, LPARAM lParam) {
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    RECT outer = tree.screenRect(&window);
    if (!pointInRect(outer, p)) {
        return HTNOWHERE;
    }
    if (pointInRect(tree.clientScreenRect(&window), p)) {
        return HTCLIENT;
    }
    if (window.hasCloseBox() && pointInRect(tree.closeBoxOnScreen(&window), p)) {
        return HTCLOSE;
    }
    POINT local = pointFrom(p, POINT{outer.left, outer.top});
    RECT insets = window.frameInsets();
    bool inCaption = window.hasCaption() && local.y >= Look95::kFixedFrame && local.y < insets.top;
    return inCaption ? HTCAPTION : HTBORDER;
}

} // namespace

LRESULT CALLBACK DefaultWindowProc::windowProc(HWND handle, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    WindowManager* m = WindowManager::current();
    Window* window = WindowManager::windowOf(handle);
    if (window == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        m->setText(window, textOf(cs != nullptr ? cs->lpszName : nullptr));
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(handle); // the program's call, traced as such
        return 0;
    case WM_ERASEBKGND:
        m->eraseWithClassBrush(window, reinterpret_cast<HDC>(wParam));
        return window->windowClass().background != nullptr;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        m->beginPaint(window, paint);
        m->endPaint(paint);
        return 0;
    }
    case WM_NCPAINT:
        m->paintNonClient(window);
        return 0;
    case WM_NCACTIVATE:
        m->setFrameActive(window, wParam != FALSE);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            m->setFocus(window);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            m->send(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_SETTEXT:
        m->setText(window, textOf(reinterpret_cast<LPCSTR>(lParam)));
        return TRUE;
    case WM_GETTEXT:
        return copyText(*window, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->text().size());
    case WM_NCHITTEST:
        return hitTest(m->tree(), *window, lParam);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE));
    default:
        return 0;
    }
}

} // namespace emu::user
