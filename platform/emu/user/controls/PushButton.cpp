#include "platform/emu/user/controls/PushButton.h"

#include "platform/emu/user/DefaultWindowProc.h"
#include "platform/emu/user/Look95.h"
#include "platform/emu/user/WindowTree.h"
#include "platform/emu/user/controls/ControlAccess.h"

namespace emu::user {

namespace {

// DLGC_UNDEFPUSHBUTTON: a push button that is not the default one.
constexpr LRESULT kUndefPushButton = 0x0020;

struct ButtonState : ControlState {
    bool pressed = false;
    bool tracking = false;
    bool focused = false;
};

// Made on the first message, so a button needs no WM_NCCREATE of its own.
ButtonState* stateOf(HWND handle) {
    if (controlState(handle) == nullptr) {
        setControlState(handle, std::make_unique<ButtonState>());
    }
    return controlStateAs<ButtonState>(handle);
}

// Windows 95 draws the default frame on the focused push button, and on the
// default one while no other button of the dialog has the focus.
bool looksDefault(HWND handle, const ButtonState& state) {
    if (state.focused) {
        return true;
    }
    HWND focus = GetFocus();
    bool buttonFocused = focus != nullptr && GetParent(focus) == GetParent(handle) &&
                         (sendToWindow(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0;
    return !buttonFocused && PushButton::isDefault(handle);
}

void paintButton(HWND handle, HDC dc, const ButtonState& state) {
    RECT client;
    GetClientRect(handle, &client);
    char text[256] = "";
    GetWindowTextA(handle, text, sizeof text);
    ButtonLook look;
    look.pressed = state.pressed;
    look.isDefault = looksDefault(handle, state);
    look.focused = state.focused;
    look.enabled = IsWindowEnabled(handle) != FALSE;
    Look95::paintPushButton(dc, client, text, look);
}

void redraw(HWND handle, const ButtonState& state) {
    HDC dc = GetDC(handle);
    if (dc != nullptr) {
        paintButton(handle, dc, state);
        ReleaseDC(handle, dc);
    }
}

bool pointInside(HWND handle, LPARAM lParam) {
    RECT client;
    GetClientRect(handle, &client);
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    return pointInRect(client, p);
}

void press(HWND handle, ButtonState& state, bool pressed) {
    if (state.pressed != pressed) {
        state.pressed = pressed;
        redraw(handle, state);
    }
}

void release(HWND handle, ButtonState& state) {
    bool wasPressed = state.pressed;
    state.tracking = false;
    press(handle, state, false);
    if (wasPressed) {
        PushButton::click(handle);
    }
}

LRESULT onPaint(HWND handle, const ButtonState& state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle, &paint);
    if (dc != nullptr) {
        paintButton(handle, dc, state);
    }
    EndPaint(handle, &paint);
    return 0;
}

LRESULT onMouse(HWND handle, UINT message, LPARAM lParam, ButtonState& state) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(handle);
        state.tracking = true;
        press(handle, state, true);
        break;
    case WM_MOUSEMOVE:
        if (state.tracking) {
            press(handle, state, pointInside(handle, lParam));
        }
        break;
    default: // WM_LBUTTONUP
        if (state.tracking) {
            release(handle, state);
        }
        break;
    }
    return 0;
}

LRESULT onFocus(HWND handle, bool focused, ButtonState& state) {
    state.focused = focused;
    if (!focused) {
        state.pressed = false;
        state.tracking = false;
    }
    redraw(handle, state);
    return 0;
}

} // namespace

void PushButton::registerClass(ClassTable& classes) {
    WNDCLASSA definition{};
    definition.style = CS_DBLCLKS;
    definition.lpfnWndProc = &PushButton::windowProc;
    definition.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_3DFACE + 1));
    definition.lpszClassName = kClassName;
    classes.add(definition);
}

bool PushButton::isDefault(HWND button) {
    return (static_cast<DWORD>(GetWindowLongA(button, GWL_STYLE)) & 0x0F) == BS_DEFPUSHBUTTON;
}

void PushButton::click(HWND button) {
    HWND parent = GetParent(button);
    int id = GetDlgCtrlID(button);
    sendToWindow(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

LRESULT CALLBACK PushButton::windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    ButtonState* state = stateOf(handle);
    if (state == nullptr) {
        return DefaultWindowProc::windowProc(handle, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT:
        return onPaint(handle, *state);
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        return onMouse(handle, message, lParam, *state);
    case WM_SETFOCUS:
        return onFocus(handle, true, *state);
    case WM_KILLFOCUS:
        return onFocus(handle, false, *state);
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            press(handle, *state, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && state->pressed) {
            release(handle, *state);
        }
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON | (isDefault(handle) ? DLGC_DEFPUSHBUTTON : kUndefPushButton);
    case WM_ENABLE:
        redraw(handle, *state);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefaultWindowProc::windowProc(handle, message, wParam, lParam);
        redraw(handle, *state);
        return result;
    }
    default:
        return DefaultWindowProc::windowProc(handle, message, wParam, lParam);
    }
}

} // namespace emu::user
