#include "platform/emu/user/InputRouter.h"

#include "platform/emu/user/Coordinate.h"

#include <cstdlib>

namespace emu::user {

namespace {

// WM_MOUSEACTIVATE answers beyond MA_ACTIVATE and MA_NOACTIVATE: the click is swallowed.
constexpr LRESULT kActivateAndEat = 2;
constexpr LRESULT kNoActivateAndEat = 4;

LPARAM pointParam(POINT p) {
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

UINT scanCode(UINT vk) {
    switch (vk) {
    case VK_RETURN:
        return 0x1C;
    case VK_ESCAPE:
        return 0x01;
    case VK_SPACE:
        return 0x39;
    case VK_TAB:
        return 0x0F;
    case VK_UP:
        return 0x48;
    case VK_DOWN:
        return 0x50;
    case VK_LEFT:
        return 0x4B;
    case VK_RIGHT:
        return 0x4D;
    default:
        return vk & 0x7F;
    }
}

} // namespace

std::optional<MSG> InputRouter::route(const InputEvent& event) {
    switch (event.kind) {
    case InputKind::MouseMove:
        return mouseMove(event);
    case InputKind::ButtonDown:
        return buttonDown(event);
    case InputKind::ButtonUp:
        return buttonUp(event);
    case InputKind::KeyDown:
    case InputKind::KeyUp:
        return key(event);
    }
    return std::nullopt;
}

void InputRouter::forgetWindow(const Window* window) {
    if (m_capture == window) {
        m_capture = nullptr;
    }
    if (m_closePressed == window) {
        m_closePressed = nullptr;
    }
    if (m_lastDownWindow == window) {
        m_lastDownWindow = nullptr;
    }
}

Window* InputRouter::pointerTarget(POINT screen) const {
    Window* target = m_windows.tree().windowAt(screen);
    if (target == nullptr || !target->enabled()) {
        return nullptr;
    }
    Window* top = m_windows.tree().topLevelOf(target);
    return top->enabled() ? target : nullptr;
}

MSG InputRouter::makeMessage(Window* target, UINT message, WPARAM wParam, LPARAM lParam,
                             const InputEvent& event) const {
    MSG msg{};
    msg.hwnd = target->handle();
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = event.time;
    msg.pt = m_cursor;
    return msg;
}

MSG InputRouter::clientMessage(Window* target, UINT message, const InputEvent& event,
                               WPARAM flags) const {
    POINT origin = m_windows.tree().clientOrigin(target);
    POINT local = pointFrom(event.screen, origin);
    return makeMessage(target, message, flags, pointParam(local), event);
}

std::optional<MSG> InputRouter::mouseMove(const InputEvent& event) {
    m_cursor = event.screen;
    Window* target = m_capture != nullptr ? m_capture : pointerTarget(event.screen);
    if (target == nullptr) {
        return std::nullopt;
    }
    WPARAM flags = m_buttonDown ? MK_LBUTTON : 0;
    if (target == m_capture ||
        pointInRect(m_windows.tree().clientScreenRect(target), event.screen)) {
        return clientMessage(target, WM_MOUSEMOVE, event, flags);
    }
    return makeMessage(target, WM_NCMOUSEMOVE, HTCAPTION, pointParam(event.screen), event);
}

bool InputRouter::clickActivate(Window* target, LPARAM hit) {
    Window* top = m_windows.tree().topLevelOf(target);
    if (top == m_windows.activeWindow()) {
        return true;
    }
    LRESULT answer = m_windows.send(top, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top->handle()),
                                    MAKELPARAM(hit, WM_LBUTTONDOWN));
    if ((answer == MA_ACTIVATE || answer == kActivateAndEat) &&
        m_windows.tree().find(top->handle()) != nullptr) {
        m_windows.activate(top, WA_CLICKACTIVE);
    }
    return answer != kActivateAndEat && answer != kNoActivateAndEat &&
           m_windows.tree().find(target->handle()) != nullptr;
}

bool InputRouter::isDoubleClick(Window* target, const InputEvent& event) {
    bool dbl = m_lastDownCounts && m_lastDownWindow == target &&
               (target->windowClass().style & CS_DBLCLKS) != 0 &&
               event.time - m_lastDownTime < kDoubleClickTime &&
               std::abs(event.screen.x - m_lastDownPoint.x) <= kDoubleClickDistance &&
               std::abs(event.screen.y - m_lastDownPoint.y) <= kDoubleClickDistance;
    // A double-click ends the sequence: a third press starts a new one.
    m_lastDownCounts = !dbl;
    m_lastDownWindow = target;
    m_lastDownPoint = event.screen;
    m_lastDownTime = event.time;
    return dbl;
}

std::optional<MSG> InputRouter::buttonDown(const InputEvent& event) {
    m_cursor = event.screen;
    m_buttonDown = true;
    Window* target = pointerTarget(event.screen);
    if (target == nullptr) {
        return std::nullopt;
    }
    bool inClient = pointInRect(m_windows.tree().clientScreenRect(target), event.screen);
    if (!clickActivate(target, inClient ? HTCLIENT : HTCAPTION)) {
        return std::nullopt;
    }
    if (inClient) {
        m_capture = target;
        UINT message = isDoubleClick(target, event) ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
        return clientMessage(target, message, event, MK_LBUTTON);
    }
    if (target->hasCloseBox() &&
        pointInRect(m_windows.tree().closeBoxOnScreen(target), event.screen)) {
        if (target->closeDisabled()) {
            return std::nullopt;
        }
        m_closePressed = target;
        m_windows.paintNonClient(target);
        return std::nullopt;
    }
    return makeMessage(target, WM_NCLBUTTONDOWN, HTCAPTION, pointParam(event.screen), event);
}

std::optional<MSG> InputRouter::buttonUp(const InputEvent& event) {
    m_cursor = event.screen;
    m_buttonDown = false;
    if (Window* pressed = m_closePressed) {
        m_closePressed = nullptr;
        m_windows.paintNonClient(pressed);
        if (!pointInRect(m_windows.tree().closeBoxOnScreen(pressed), event.screen)) {
            return std::nullopt;
        }
        return makeMessage(pressed, WM_SYSCOMMAND, SC_CLOSE, pointParam(event.screen), event);
    }
    Window* target = m_capture != nullptr ? m_capture : pointerTarget(event.screen);
    m_capture = nullptr;
    if (target == nullptr) {
        return std::nullopt;
    }
    return clientMessage(target, WM_LBUTTONUP, event, 0);
}

std::optional<MSG> InputRouter::key(const InputEvent& event) {
    Window* target =
        m_windows.focusWindow() != nullptr ? m_windows.focusWindow() : m_windows.activeWindow();
    if (target == nullptr || !m_windows.tree().topLevelOf(target)->enabled()) {
        return std::nullopt;
    }
    LPARAM lParam = 1 | static_cast<LPARAM>(scanCode(event.key) << 16);
    if (event.kind == InputKind::KeyUp) {
        lParam |= static_cast<LPARAM>(0xC0000000u);
        return makeMessage(target, WM_KEYUP, event.key, lParam, event);
    }
    return makeMessage(target, WM_KEYDOWN, event.key, lParam, event);
}

} // namespace emu::user
