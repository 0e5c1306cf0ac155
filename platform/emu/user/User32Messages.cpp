// user32: sending, posting and retrieving messages, DefWindowProcA, the dialog
// keyboard interface and message boxes.
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/WindowManager.h"
#include "platform/emu/user/WindowProcCookies.h"
#include "platform/emu/user/controls/MessageBox.h"
#include "platform/emu/user/controls/PushButton.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using emu::user::Window;
using emu::user::WindowManager;

namespace {

WindowManager* manager() {
    return WindowManager::current();
}

bool within(const Window* window, const Window* ancestor) {
    for (; window != nullptr; window = window->parent()) {
        if (window == ancestor) {
            return true;
        }
    }
    return false;
}

// The mnemonic of a control text: the character after a single '&'.
char mnemonicOf(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] != '&') {
                return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
            }
            ++i;
        }
    }
    return 0;
}

void pressDialogButton(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int defaultButtonId(Window* dialog) {
    WindowManager* m = manager();
    Window* focus = m->focusWindow();
    if (focus != nullptr && focus->parent() == dialog &&
        (m->send(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0) {
        return focus->id();
    }
    for (Window* child : dialog->children()) {
        if ((m->send(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0) {
            return child->id();
        }
    }
    return IDOK;
}

void moveDialogFocus(Window* dialog) {
    WindowManager* m = manager();
    std::vector<Window*> stops;
    for (Window* child : dialog->children()) {
        if ((child->style() & WS_TABSTOP) != 0 && child->enabled() && m->tree().isShown(child)) {
            stops.push_back(child);
        }
    }
    if (stops.empty()) {
        return;
    }
    auto it = std::find(stops.begin(), stops.end(), m->focusWindow());
    size_t next =
        it == stops.end() ? 0 : static_cast<size_t>(it - stops.begin() + 1) % stops.size();
    m->setFocus(stops[next]);
}

bool dialogKey(Window* dialog, const MSG& message) {
    switch (message.wParam) {
    case VK_RETURN:
        pressDialogButton(dialog->handle(), defaultButtonId(dialog));
        return true;
    case VK_ESCAPE:
        pressDialogButton(dialog->handle(), IDCANCEL);
        return true;
    case VK_TAB:
        moveDialogFocus(dialog);
        return true;
    default:
        return false;
    }
}

bool dialogMnemonic(Window* dialog, const MSG& message) {
    char c = static_cast<char>(std::tolower(static_cast<int>(message.wParam & 0xFF)));
    for (Window* child : dialog->children()) {
        if (c != 0 && mnemonicOf(child->text()) == c && child->enabled()) {
            if (std::strcmp(child->windowClass().name.c_str(), emu::user::PushButton::kClassName) ==
                0) {
                emu::user::PushButton::click(child->handle());
            } else {
                manager()->setFocus(child);
            }
            return true;
        }
    }
    return false;
}

} // namespace

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return emu::user::DefaultWindowProc::windowProc(hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
    WNDPROC proc = emu::user::WindowProcCookies::resolve(lpPrevWndFunc);
    return proc != nullptr ? proc(hWnd, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WindowManager* m = manager();
    BOOL result = FALSE;
    bool known = false;
    if (m != nullptr) {
        auto lock = m->lockTree();
        known = hWnd == nullptr || WindowManager::windowOf(hWnd) != nullptr;
    }
    if (known) {
        MSG message{hWnd, Msg, wParam, lParam, GetTickCount(), m->cursor()};
        m->post(message);
        result = TRUE;
    }
    if (emu::user::QuietCalls::active()) {
        return result;
    }
    emu::TraceCall("PostMessageA")
        .handle(hWnd)
        .num(Msg)
        .num(static_cast<long long>(wParam))
        .num(lParam)
        .result(result);
    return result;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* window = WindowManager::windowOf(hWnd);
    return window != nullptr ? manager()->send(window, Msg, wParam, lParam) : 0;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND, UINT, UINT) {
    WindowManager* m = manager();
    if (m == nullptr || lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return m->getMessage(*lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND, UINT, UINT, UINT wRemoveMsg) {
    WindowManager* m = manager();
    // Only taking messages off is needed; a peek that leaves them is refused.
    if (m == nullptr || lpMsg == nullptr || wRemoveMsg != PM_REMOVE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return m->peekMessage(*lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    WindowManager* m = manager();
    return m != nullptr && lpMsg != nullptr && m->translate(*lpMsg) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    WindowManager* m = manager();
    return m != nullptr && lpMsg != nullptr ? m->dispatch(*lpMsg) : 0;
}

void WINAPI PostQuitMessage(int nExitCode) {
    if (WindowManager* m = manager()) {
        m->postQuit(nExitCode);
    }
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    Window* dialog = WindowManager::windowOf(hDlg);
    Window* target = lpMsg != nullptr ? WindowManager::windowOf(lpMsg->hwnd) : nullptr;
    if (dialog == nullptr || target == nullptr || !within(target, dialog)) {
        return FALSE;
    }
    bool handled = false;
    if (lpMsg->message == WM_KEYDOWN) {
        LRESULT wants =
            manager()->send(target, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
        handled = (wants & DLGC_WANTALLKEYS) == 0 && dialogKey(dialog, *lpMsg);
        if (!handled) {
            TranslateMessage(lpMsg);
        }
    } else if (lpMsg->message == WM_CHAR) {
        handled = dialogMnemonic(dialog, *lpMsg);
    }
    if (!handled) {
        DispatchMessageA(lpMsg);
    }
    return TRUE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    emu::TraceCall call("MessageBoxA");
    call.handle(hWnd).str(lpText).str(lpCaption).num(uType);
    int result = emu::user::MessageBox::run(hWnd, lpText, lpCaption, uType);
    call.result(result);
    return result;
}
