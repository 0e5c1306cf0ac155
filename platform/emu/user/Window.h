// One emulated window: its class, styles, text, place and the part of it that
// waits to be painted. The window tree owns every Window. Everyone reads it;
// only the window manager changes it, through its operations and under the
// tree lock, so that an animation's thread reading it under that lock sees
// no half-made change. The painter's update region and the tree's links are
// changed by those two alone, each through its PassKey.
#pragma once

#include "platform/emu/user/PassKey.h"
#include "platform/emu/user/RectRegion.h"
#include "platform/emu/user/WindowClass.h"

#include <memory>
#include <string>
#include <vector>

namespace emu::user {

class WindowManager;
class WindowPainter;
class WindowTree;

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
    bool hasCaption() const { return (m_style & WS_CAPTION) == WS_CAPTION && !isChild(); }
    bool hasCloseBox() const { return hasCaption() && (m_style & WS_SYSMENU) != 0; }
    bool enabled() const { return (m_style & WS_DISABLED) == 0; }
    bool visibleFlag() const { return (m_style & WS_VISIBLE) != 0; }

    Window* parent() const { return m_parent; }
    // Children, topmost first.
    const std::vector<Window*>& children() const { return m_children; }

    // The frame's width on each side: left, top (caption included), right, bottom.
    RECT frameInsets() const;
    // Outer rectangle in the parent's client coordinates (the screen's for a top-level window).
    const RECT& rect() const { return m_rect; }
    // Client rectangle relative to the outer rectangle's top-left corner.
    RECT clientInWindow() const;
    int clientWidth() const;
    int clientHeight() const;

    WNDPROC proc() const { return m_proc; }
    DWORD style() const { return m_style; }
    DWORD exStyle() const { return m_exStyle; }
    LONG id() const { return m_id; }
    LONG userData() const { return m_userData; }
    LONG msgResult() const { return m_msgResult; }
    HINSTANCE instance() const { return m_instance; }
    Window* owner() const { return m_owner; }
    const std::string& text() const { return m_text; }

    // Client pixels waiting for WM_PAINT, and whether WM_ERASEBKGND comes first.
    const RectRegion& update() const { return m_update; }
    bool erasePending() const { return m_erasePending; }
    bool destroying() const { return m_destroying; }
    // What the frame shows: the active or the inactive caption (WM_NCACTIVATE).
    bool frameActive() const { return m_frameActive; }
    // The close box shows greyed and ignores clicks.
    bool closeDisabled() const { return m_closeDisabled; }
    // Set once WM_NCDESTROY has gone out; the tree drops the window then.
    bool destroyed() const { return m_destroyed; }
    ControlState* control() const { return m_control.get(); }

    // The painter collects and clears what waits to be painted.
    RectRegion& update(PassKey<WindowPainter>) { return m_update; }
    void setErasePending(PassKey<WindowPainter>, bool pending) { m_erasePending = pending; }
    // The tree links windows together and takes them out.
    void setParent(PassKey<WindowTree>, Window* parent) { m_parent = parent; }
    std::vector<Window*>& children(PassKey<WindowTree>) { return m_children; }
    void forgetOwner(PassKey<WindowTree>) { m_owner = nullptr; }
    void markDestroyed(PassKey<WindowTree>) { m_destroyed = true; }

private:
    // Every other change is one of the manager's operations.
    friend class WindowManager;

    HWND m_handle;
    std::shared_ptr<const WindowClass> m_class;
    Window* m_parent = nullptr;
    std::vector<Window*> m_children;
    RECT m_rect{0, 0, 0, 0};
    WNDPROC m_proc = nullptr;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
    LONG m_id = 0;
    LONG m_userData = 0;
    LONG m_msgResult = 0;
    HINSTANCE m_instance = nullptr;
    Window* m_owner = nullptr;
    std::string m_text;
    RectRegion m_update;
    bool m_erasePending = false;
    bool m_destroying = false;
    bool m_frameActive = false;
    bool m_closeDisabled = false;
    bool m_destroyed = false;
    std::unique_ptr<ControlState> m_control;
};

} // namespace emu::user
