#include "platform/emu/user/controls/MessageBox.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/DcSaver.h"
#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/WindowManager.h"
#include "platform/emu/user/WindowProcCookies.h"
#include "platform/emu/user/controls/ControlAccess.h"
#include "platform/emu/user/controls/PushButton.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace emu::user {

namespace {

constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;

struct BoxLayout {
    RECT iconAt{0, 0, 0, 0};
    RECT textAt{0, 0, 0, 0};
    int buttonsTop = 0;
    int clientWidth = 0;
    int clientHeight = 0;
};

struct BoxState : ControlState {
    std::string text;
    UINT type = 0;
    UINT icon = 0;
    BoxLayout layout;
    std::vector<MessageBoxButton> buttons;
    int result = 0;
};

BoxState* stateOf(HWND handle) {
    return controlStateAs<BoxState>(handle);
}

SIZE measureText(const std::string& text, int maxWidth) {
    HDC dc = emu::gdi::createDeviceContext(POINT{0, 0}, {});
    HFONT font = Look95::createUiFont(false);
    RECT r{0, 0, maxWidth, 0};
    {
        DcSaver saved(dc);
        SelectObject(dc, font);
        DrawTextA(dc, text.c_str(), -1, &r,
                  DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
    }
    SIZE caption{0, 0};
    DeleteObject(font);
    emu::gdi::destroyDeviceContext(dc);
    caption.cx = r.right - r.left;
    caption.cy = r.bottom - r.top;
    return caption;
}

BoxLayout layOut(const BoxState& state) {
    BoxLayout layout;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int textLeft = kMargin;
    if (state.icon != 0) {
        layout.iconAt =
            RECT{kMargin, kMargin, kMargin + Look95::kIconSize, kMargin + Look95::kIconSize};
        textLeft = layout.iconAt.right + kMargin;
    }
    int maxText = std::max(100, screenWidth * 5 / 8 - textLeft - kMargin);
    SIZE text = measureText(state.text, maxText);
    int textTop = kMargin;
    if (state.icon != 0 && text.cy < Look95::kIconSize) {
        textTop += (Look95::kIconSize - text.cy) / 2;
    }
    layout.textAt = RECT{textLeft, textTop, textLeft + text.cx, textTop + text.cy};
    int contentBottom = std::max(layout.textAt.bottom, layout.iconAt.bottom);
    layout.buttonsTop = contentBottom + kMargin;
    int count = static_cast<int>(state.buttons.size());
    int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
    layout.clientWidth = std::max(layout.textAt.right + kMargin, rowWidth + 2 * kMargin);
    layout.clientHeight = layout.buttonsTop + kButtonHeight + kMargin;
    return layout;
}

void createButtons(HWND box, const BoxState& state) {
    int count = static_cast<int>(state.buttons.size());
    int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
    int x = (state.layout.clientWidth - rowWidth) / 2;
    for (int i = 0; i < count; ++i) {
        DWORD style =
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        const MessageBoxButton& b = state.buttons[static_cast<size_t>(i)];
        CreateWindowExA(0, PushButton::kClassName, b.label, style, x, state.layout.buttonsTop,
                        kButtonWidth, kButtonHeight, box,
                        reinterpret_cast<HMENU>(static_cast<intptr_t>(b.id)), nullptr, nullptr);
        x += kButtonWidth + kButtonGap;
    }
}

RECT placeBox(HWND owner, int width, int height) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT screen = area;
    if (owner != nullptr && IsWindowVisible(owner)) {
        GetWindowRect(owner, &area);
    }
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    x = std::max(screen.left, std::min(x, screen.right - width));
    y = std::max(screen.top, std::min(y, screen.bottom - height));
    return RECT{x, y, x + width, y + height};
}

void answer(HWND box, int id) {
    if (BoxState* state = stateOf(box)) {
        state->result = id;
    }
}

void pressButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr) {
        PushButton::click(button);
    }
}

// Keys a message box understands: Enter presses the focused (or default)
// button, a mnemonic letter its button, Escape the cancel answer, Tab moves
// the focus. True when the key was the box's.
bool handleKey(HWND box, const BoxState& state, const MSG& message) {
    if (message.message == WM_KEYUP) {
        return message.wParam != VK_SPACE; // the focused button's own release
    }
    if (message.message != WM_KEYDOWN) {
        return message.message == WM_CHAR;
    }
    UINT key = static_cast<UINT>(message.wParam);
    HWND focus = GetFocus();
    if (key == VK_RETURN) {
        int id = focus != nullptr && GetParent(focus) == box ? GetDlgCtrlID(focus)
                                                             : state.buttons.front().id;
        pressButton(box, id);
    } else if (key == VK_ESCAPE) {
        if (int id = MessageBox::escapeAnswer(state.type)) {
            answer(box, id);
        }
    } else if (key == VK_TAB || key == VK_RIGHT || key == VK_LEFT) {
        auto it = std::find_if(state.buttons.begin(), state.buttons.end(),
                               [&](const auto& b) { return GetDlgItem(box, b.id) == focus; });
        size_t index =
            it == state.buttons.end() ? 0 : static_cast<size_t>(it - state.buttons.begin());
        size_t step = key == VK_LEFT ? state.buttons.size() - 1 : 1;
        SetFocus(GetDlgItem(box, state.buttons[(index + step) % state.buttons.size()].id));
    } else if (key == VK_SPACE) {
        return false; // the focused button presses itself
    } else {
        for (const MessageBoxButton& b : state.buttons) {
            if (b.mnemonic != 0 && static_cast<UINT>(b.mnemonic) == key) {
                pressButton(box, b.id);
            }
        }
    }
    return true;
}

LRESULT onPaint(HWND box, const BoxState& state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(box, &paint);
    if (dc != nullptr) {
        if (state.icon != 0) {
            Look95::paintMessageIcon(dc, state.layout.iconAt.left, state.layout.iconAt.top,
                                     state.icon);
        }
        HFONT font = Look95::createUiFont(false);
        {
            DcSaver saved(dc);
            SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            RECT r = state.layout.textAt;
            DrawTextA(dc, state.text.c_str(), -1, &r,
                      DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
        }
        DeleteObject(font);
    }
    EndPaint(box, &paint);
    return 0;
}

LRESULT onCommand(HWND box, const BoxState& state, WPARAM wParam) {
    int id = LOWORD(wParam);
    bool known = std::any_of(state.buttons.begin(), state.buttons.end(),
                             [&](const auto& b) { return b.id == id; });
    if (known) {
        answer(box, id);
    } else if (id == IDCANCEL) {
        if (int escape = MessageBox::escapeAnswer(state.type)) {
            answer(box, escape);
        }
    }
    return 0;
}

} // namespace

std::vector<MessageBoxButton> MessageBox::buttonsFor(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{IDOK, "OK", 'O'}, {IDCANCEL, "Cancel", 0}};
    case 2:
        return {{IDABORT, "&Abort", 'A'}, {IDRETRY, "&Retry", 'R'}, {IDIGNORE, "&Ignore", 'I'}};
    case 3:
        return {{IDYES, "&Yes", 'Y'}, {IDNO, "&No", 'N'}, {IDCANCEL, "Cancel", 0}};
    case MB_YESNO:
        return {{IDYES, "&Yes", 'Y'}, {IDNO, "&No", 'N'}};
    case 5:
        return {{IDRETRY, "&Retry", 'R'}, {IDCANCEL, "Cancel", 0}};
    default:
        return {{IDOK, "OK", 'O'}};
    }
}

int MessageBox::escapeAnswer(UINT type) {
    for (const MessageBoxButton& b : buttonsFor(type)) {
        if (b.id == IDCANCEL) {
            return IDCANCEL;
        }
    }
    // Without a Cancel button only a lone OK answers Escape.
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : 0;
}

void MessageBox::registerClass(ClassTable& classes) {
    WNDCLASSA definition{};
    definition.lpfnWndProc = &MessageBox::windowProc;
    definition.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_3DFACE + 1));
    definition.lpszClassName = kClassName;
    classes.add(definition);
}

LRESULT CALLBACK MessageBox::windowProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    BoxState* state = stateOf(box);
    if (state == nullptr) {
        return DefaultWindowProc::windowProc(box, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT:
        return onPaint(box, *state);
    case WM_COMMAND:
        return onCommand(box, *state, wParam);
    case WM_CLOSE:
        if (int id = escapeAnswer(state->type)) {
            answer(box, id);
        }
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            SetFocus(GetDlgItem(box, state->buttons.front().id));
        }
        return 0;
    default:
        return DefaultWindowProc::windowProc(box, message, wParam, lParam);
    }
}

namespace {
MessageBox::Answerer& answerer() {
    static MessageBox::Answerer instance;
    return instance;
}
} // namespace

void MessageBox::setAnswerer(Answerer value) {
    answerer() = std::move(value);
}

int MessageBox::run(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    if (answerer()) {
        return answerer()(text != nullptr ? text : "", caption != nullptr ? caption : "Error",
                          type);
    }
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return 0;
    }
    HWND ownerTop = topLevelOf(owner);
    auto state = std::make_unique<BoxState>();
    state->text = text != nullptr ? text : "";
    state->type = type;
    state->icon = type & MB_ICONMASK;
    state->buttons = buttonsFor(type);
    state->layout = layOut(*state);
    RECT insets = Look95::frameInsets(WS_POPUP | WS_CAPTION, WS_EX_DLGMODALFRAME, false);
    int width = state->layout.clientWidth + insets.left + insets.right;
    int height = state->layout.clientHeight + insets.top + insets.bottom;
    RECT at = placeBox(ownerTop, width, height);
    QuietCalls quiet;
    HWND box =
        CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE, kClassName,
                        caption != nullptr ? caption : "Error", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                        at.left, at.top, width, height, ownerTop, nullptr, nullptr, nullptr);
    if (controlWindow(box) == nullptr) {
        return 0;
    }
    const BoxState* live = state.get();
    setCloseDisabled(box, escapeAnswer(type) == 0);
    setControlState(box, std::move(state));
    createButtons(box, *live);
    bool ownerWasEnabled = ownerTop != nullptr && IsWindowEnabled(ownerTop);
    if (ownerWasEnabled) {
        EnableWindow(ownerTop, FALSE);
    }
    ShowWindow(box, SW_SHOW);
    return loop(box, ownerTop, ownerWasEnabled);
}

int MessageBox::loop(HWND box, HWND ownerTop, bool ownerWasEnabled) {
    WindowManager& manager = *WindowManager::current();
    int result = 0;
    MSG message;
    for (;;) {
        const BoxState* current = stateOf(box);
        if (current == nullptr || current->result != 0) {
            result = current != nullptr ? current->result : 0;
            break;
        }
        if (!manager.getMessage(message)) {
            // The quit belongs to the program's own loop.
            manager.postQuit(static_cast<int>(message.wParam));
            break;
        }
        bool forBox = message.hwnd == box || GetParent(message.hwnd) == box;
        if (forBox && handleKey(box, *current, message)) {
            continue;
        }
        manager.translate(message);
        manager.dispatch(message);
    }
    if (ownerWasEnabled) {
        EnableWindow(ownerTop, TRUE);
    }
    QuietCalls quiet;
    DestroyWindow(box);
    return result;
}

} // namespace emu::user
