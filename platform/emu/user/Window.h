// One emulated window: its class, styles, text, place and the part of it that
// waits to be painted. The window tree owns every Window; what the frame and
// the tree depend on (styles, text, frame state) changes only through the
// window manager's operations.
#pragma once

#include "platform/emu/user/RectRegion.h"
#include "platform/emu/user/WindowClass.h"

#include <memory>
#include <string>
#include <vector>

namespace emu::user {

// Per-window state of a built-in control (push button, message box).
struct ControlState {
    virtual ~ControlState() = default;
};

class Window {
public:
    Window(HWND handle, std::shared_ptr<const WindowClass> windowClass);

    HWND handle() const { return m_handle; }
    const WindowClass& windowClass() const { return *m_class; }

    bool isChild() const { return m_parent != nullptr; }
    bool hasCaption() const { return (style & WS_CAPTION) == WS_CAPTION && !isChild(); }
    bool hasCloseBox() const { return hasCaption() && (style & WS_SYSMENU) != 0; }
    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool visibleFlag() const { return (style & WS_VISIBLE) != 0; }

    Window* parent() const { return m_parent; }
    void setParent(Window* parent) { m_parent = parent; }
    // Children, topmost first.
    std::vector<Window*>& children() { return m_children; }
    const std::vector<Window*>& children() const { return m_children; }

    // The frame's width on each side: left, top (caption included), right, bottom.
    RECT frameInsets() const;
    // Outer rectangle in the parent's client coordinates (the screen's for a top-level window).
    RECT rect{0, 0, 0, 0};
    // Client rectangle relative to the outer rectangle's top-left corner.
    RECT clientInWindow() const;
    int clientWidth() const;
    int clientHeight() const;

    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG id = 0;
    LONG userData = 0;
    LONG msgResult = 0;
    HINSTANCE instance = nullptr;
    Window* owner = nullptr;
    std::string text;

    // Client pixels waiting for WM_PAINT, and whether WM_ERASEBKGND comes first.
    RectRegion update;
    bool erasePending = false;
    bool destroying = false;
    // What the frame shows: the active or the inactive caption (WM_NCACTIVATE).
    bool frameActive = false;
    // The close box shows greyed and ignores clicks.
    bool closeDisabled = false;
    // Set once WM_NCDESTROY has gone out; the tree drops the window then.
    bool destroyed = false;
    std::unique_ptr<ControlState> control;

private:
    HWND m_handle;
    std::shared_ptr<const WindowClass> m_class;
    Window* m_parent = nullptr;
    std::vector<Window*> m_children;
};

} // namespace emu::user
