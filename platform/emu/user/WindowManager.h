// The emulated window manager of the one GUI thread: it owns the window tree
// and the state around it (the classes, the active and focus windows, the
// message queue) and changes them only through the operations below. Its
// painter and input router see it through ManagerServices. The Win32 entry
// points (User32*.cpp) and the host's entry points (HostInput.h) work on the
// manager of the booted machine.
#pragma once

#include "platform/emu/user/InputRouter.h"
#include "platform/emu/user/ManagerServices.h"
#include "platform/emu/user/MessageQueue.h"
#include "platform/emu/user/WindowClass.h"
#include "platform/emu/user/WindowPainter.h"
#include "platform/emu/user/WindowTree.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

namespace emu::user {

class WindowManager final : private ManagerServices {
public:
    WindowManager();
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // The manager of the booted machine, or nullptr before boot.
    static WindowManager* current();
    // Makes the booted machine's manager, its desktop `screen` painted.
    static WindowManager& boot(const RECT& screen);
    static void shutdown();

    // ---- classes
    ATOM registerClass(const WNDCLASSA& definition);
    // Several classes at once: the emulation's own at boot, say.
    void registerClasses(void (*registrar)(ClassTable& classes));
    std::shared_ptr<const WindowClass> findClass(LPCSTR nameOrAtom) const;

    // ---- the window tree
    // The live window a handle names in the booted machine, or nullptr (no
    // such window, or no machine).
    static Window* windowOf(HWND handle);
    const WindowTree& tree() const override { return m_tree; }
    // Only this thread changes the tree; it holds the lock while it does, and
    // other threads (an animation drawing on its own) hold it while they read.
    std::unique_lock<std::recursive_mutex> lockTree() const override {
        return std::unique_lock<std::recursive_mutex>(m_treeMutex);
    }
    Window* create(const CREATESTRUCTA& create, std::shared_ptr<const WindowClass> windowClass,
                   Window* parent, Window* owner);
    bool destroy(Window* window);
    // New outer rectangle in parent coordinates; repaints what the change uncovers.
    void place(Window* window, const RECT& rect, bool repaint);
    void bringToTop(Window* window);
    bool show(Window* window, int command);
    void setEnabled(Window* window, bool enable);
    // The window's style as a whole, or some bits of it cleared; under the tree lock.
    void setStyle(Window* window, DWORD style);
    void clearStyleBits(Window* window, DWORD bits);
    void setExStyle(Window* window, DWORD exStyle);
    // What the frame shows changes: the caption's text, the active or inactive
    // caption, a greyed close box. Each repaints the frame where it is seen.
    void setText(Window* window, std::string_view text);
    void setFrameActive(Window* window, bool active);
    void setCloseDisabled(Window* window, bool disabled);
    // The window's slots (SetWindowLongA) and its control's state.
    void setId(Window* window, LONG id);
    void setUserData(Window* window, LONG data);
    void setMsgResult(Window* window, LONG result);
    void setProc(Window* window, WNDPROC proc);
    void setControlState(Window* window, std::unique_ptr<ControlState> state);

    // ---- activation and focus
    Window* activeWindow() const override { return m_active; }
    Window* focusWindow() const override { return m_focus; }
    void activate(Window* window, WORD how) override;
    Window* setFocus(Window* window);

    // ---- messages
    LRESULT send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // The same to a handle; 0 when it names no window.
    LRESULT sendTo(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    void post(const MSG& message);
    void postInput(const InputEvent& event);
    void postQuit(int exitCode);
    // GetMessageA: false when the message is WM_QUIT or the session ends.
    bool getMessage(MSG& message);
    // PeekMessageA with PM_REMOVE: the next message if one is there; when
    // none is, the host is polled once (see HostInput.h) and the queue looked
    // at again. Never waits.
    bool peekMessage(MSG& message);
    // Something queued, input waiting or a window to paint.
    bool hasWork() const;
    // TranslateMessage: a key that types a character queues its WM_CHAR next.
    bool translate(const MSG& message);
    // DispatchMessageA: the message to its window's procedure.
    LRESULT dispatch(const MSG& message);
    // Where the pointer is, in screen coordinates.
    POINT cursor() const { return m_input.cursor(); }

    // ---- painting
    // Adds a client rectangle (all of the client area when null) to the update region.
    void invalidate(Window* window, const RECT* clientRect, bool erase);
    void invalidateAll(Window* window);
    void paintNonClient(Window* window) override;
    void eraseWithClassBrush(const Window* window, HDC dc);
    HDC getDC(Window* window, bool clientOnly);
    // False for a context that is no window's; tells the host something was drawn.
    bool releaseDC(HDC dc);
    // See WindowPainter::drawClientNow; then tells the host something was drawn.
    void drawClientNow(Window* window, const std::function<void(HDC dc)>& draw);
    HDC beginPaint(Window* window, PAINTSTRUCT& paint);
    void endPaint(const PAINTSTRUCT& paint);

    // ---- the host's hooks
    // Called whenever a message loop finds nothing to do; see HostInput.h.
    void setIdleHandler(std::function<void()> handler) { m_idle = std::move(handler); }
    void setDrawnHandler(std::function<void()> handler) { m_drawn = std::move(handler); }
    void setPollHandler(std::function<void()> handler) { m_poll = std::move(handler); }

private:
    // The next message the queue has: posted, quit, routed input, paint.
    // nullopt when there is none; quit tells a WM_QUIT.
    std::optional<MSG> takeAvailable(bool& quit);
    void markDestroying(Window* window);
    void sendDestroy(Window* window);
    void finishDestroy(Window* window);
    void leave(Window* window);
    Window* successorOf(Window* leaving) const;

    ClassTable m_classes;
    WindowTree m_tree;
    MessageQueue m_queue;
    WindowPainter m_painter;
    InputRouter m_input;
    Window* m_active = nullptr;
    Window* m_focus = nullptr;
    std::function<void()> m_idle;
    std::function<void()> m_drawn;
    std::function<void()> m_poll;
    int m_sendDepth = 0;
    mutable std::recursive_mutex m_treeMutex;
};

} // namespace emu::user
