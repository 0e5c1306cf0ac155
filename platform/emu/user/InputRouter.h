// Turns raw pointer and key events into window messages as Windows does:
// the pointer goes to the topmost window under it (the window that took a
// button press keeps the pointer until the release), keys to the focus
// window; a click on an inactive window activates it first; two presses close
// in time and place make a double-click for classes that ask for it; the close
// box is a button of the frame.
#pragma once

#include "platform/emu/user/ManagerServices.h"
#include "platform/emu/user/MessageQueue.h"

#include <optional>

namespace emu::user {

class InputRouter {
public:
    static constexpr DWORD kDoubleClickTime = 500;
    static constexpr int kDoubleClickDistance = 4;

    explicit InputRouter(ManagerServices& windows) : m_windows(windows) {}

    std::optional<MSG> route(const InputEvent& event);
    bool closeBoxPressedOn(const Window* window) const { return m_closePressed == window; }
    POINT cursor() const { return m_cursor; }
    void forgetWindow(const Window* window);

private:
    std::optional<MSG> mouseMove(const InputEvent& event);
    std::optional<MSG> buttonDown(const InputEvent& event);
    std::optional<MSG> buttonUp(const InputEvent& event);
    std::optional<MSG> key(const InputEvent& event);
    // The window that takes pointer input at the point, or nullptr when the
    // pointer is over the desktop or a disabled window.
    Window* pointerTarget(POINT screen) const;
    bool clickActivate(Window* target, LPARAM hit);
    bool isDoubleClick(Window* target, const InputEvent& event);
    MSG clientMessage(Window* target, UINT message, const InputEvent& event, WPARAM flags) const;
    MSG makeMessage(Window* target, UINT message, WPARAM wParam, LPARAM lParam,
                    const InputEvent& event) const;

    ManagerServices& m_windows;
    POINT m_cursor{0, 0};
    bool m_buttonDown = false;
    Window* m_capture = nullptr;
    Window* m_closePressed = nullptr;
    Window* m_lastDownWindow = nullptr;
    POINT m_lastDownPoint{0, 0};
    DWORD m_lastDownTime = 0;
    bool m_lastDownCounts = false;
};

} // namespace emu::user
