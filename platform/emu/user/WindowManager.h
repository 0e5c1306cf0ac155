// The emulated window manager of the one GUI thread: windows, activation and
// focus, the message queue and painting. The Win32 entry points in
// User32Windows.cpp, User32Messages.cpp and User32Paint.cpp work on the
// manager of the booted machine; the host drives it through the functions at
// the end of this header.
#pragma once

#include "platform/emu/MachineConfig.h"
#include "platform/emu/user/InputRouter.h"
#include "platform/emu/user/MessageQueue.h"
#include "platform/emu/user/WindowClass.h"
#include "platform/emu/user/WindowPainter.h"
#include "platform/emu/user/WindowTree.h"

#include <functional>
#include <mutex>

namespace emu::user {

void bootWindows(const MachineConfig& config);
void shutdownWindows();

class WindowManager {
public:
    WindowManager();
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // The manager of the booted machine, or nullptr before boot.
    static WindowManager* current();

    Window* find(HWND handle) const { return tree.find(handle); }
    LRESULT send(Window* window, UINT message, WPARAM wParam, LPARAM lParam);

    Window* create(const CREATESTRUCTA& create, std::shared_ptr<const WindowClass> windowClass,
                   Window* parent, Window* owner);
    bool destroy(Window* window);

    void activate(Window* window, WORD how);
    Window* setFocus(Window* window);
    bool show(Window* window, int command);
    // New outer rectangle in parent coordinates; repaints what the change uncovers.
    void place(Window* window, const RECT& rect, bool repaint);
    void bringToTop(Window* window);
    void setEnabled(Window* window, bool enable);

    // Only this thread changes the tree; it holds the lock while it does, and
    // other threads (an animation drawing on its own) hold it while they read.
    std::unique_lock<std::recursive_mutex> lockTree() const {
        return std::unique_lock<std::recursive_mutex>(m_treeMutex);
    }

    // GetMessageA: false when the message is WM_QUIT or the session ends.
    bool getMessage(MSG& message);
    // Something queued, input waiting or a window to paint.
    bool hasWork() const;

    ClassTable classes;
    WindowTree tree;
    MessageQueue queue;
    WindowPainter painter;
    InputRouter input;
    Window* active = nullptr;
    Window* focus = nullptr;
    std::function<void()> idle;
    std::function<void()> drawn;

private:
    void sendDestroy(Window* window);
    void finishDestroy(Window* window);
    void leave(Window* window);
    Window* successorOf(Window* leaving) const;
    void nothingToDo();

    int m_sendDepth = 0;
    mutable std::recursive_mutex m_treeMutex;
};

// ---- the emulation's own controls

// State of a built-in control, owned by its window and gone with it (a LONG
// window slot cannot hold a pointer on this host).
ControlState* controlState(HWND window);
void setControlState(HWND window, std::unique_ptr<ControlState> state);

// ---- the host's side

// Called whenever a message loop finds nothing to do. It feeds the next input
// or ends the session; when it returns without producing anything the loop
// asks again.
void setIdleHandler(std::function<void()> handler);
// Called after a device context is released on the program's thread: a
// program that draws while it pumps no messages (a progress bar stepped in a
// busy loop) still gets its screen shown on the host.
void setDrawnHandler(std::function<void()> handler);
// Pointer and key input, in screen coordinates, stamped with the tick count.
void postMouseMove(POINT screen);
void postMouseButton(POINT screen, bool down);
void postKey(UINT virtualKey, bool down);
// The first top-level window the program created that still exists, or NULL.
HWND mainWindow();
HWND activeWindow();
// The middle of a window's close box in screen coordinates; false without one.
bool closeBoxPoint(HWND window, POINT& screen);
// Lets pending posted messages, input and painting run without waiting for more.
void pumpPending();

} // namespace emu::user
