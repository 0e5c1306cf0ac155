#include "platform/emu/user/WindowManager.h"

#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/BuiltinClasses.h"
#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/Look95.h"

#include <cerrno> // program_invocation_short_name
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace emu::user {

namespace {

std::unique_ptr<WindowManager> g_manager;

class SendDepth {
public:
    explicit SendDepth(int& depth) : m_depth(depth) { ++m_depth; }
    ~SendDepth() { --m_depth; }
    SendDepth(const SendDepth&) = delete;
    SendDepth& operator=(const SendDepth&) = delete;

private:
    int& m_depth;
};

bool within(const Window* window, const Window* ancestor) {
    for (; window != nullptr; window = window->parent()) {
        if (window == ancestor) {
            return true;
        }
    }
    return false;
}

} // namespace

void bootWindows(const MachineConfig& config) {
    g_manager = std::make_unique<WindowManager>();
    registerBuiltinClasses(g_manager->classes);
    g_manager->painter.expose(RectRegion(RECT{0, 0, config.screenWidth, config.screenHeight}));
}

void shutdownWindows() {
    g_manager.reset();
}

WindowManager* WindowManager::current() {
    return g_manager.get();
}

WindowManager::WindowManager() : painter(*this), input(*this) {}

WindowManager::~WindowManager() = default;

LRESULT WindowManager::send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->destroyed || window->proc == nullptr) {
        return 0;
    }
    SendDepth depth(m_sendDepth);
    return window->proc(window->handle(), message, wParam, lParam);
}

Window* WindowManager::create(const CREATESTRUCTA& create,
                              std::shared_ptr<const WindowClass> windowClass, Window* parent,
                              Window* owner) {
    Window* window = nullptr;
    {
        auto lock = lockTree();
        window = tree.create(std::move(windowClass), parent);
    }
    HWND handle = window->handle();
    bool visible = (create.style & WS_VISIBLE) != 0;
    window->style = static_cast<DWORD>(create.style) & ~static_cast<DWORD>(WS_VISIBLE);
    window->exStyle = create.dwExStyle;
    window->id =
        parent != nullptr ? static_cast<LONG>(reinterpret_cast<intptr_t>(create.hMenu)) : 0;
    window->instance = create.hInstance;
    window->owner = owner;
    window->rect = rectAt(create.x, create.y, create.cx, create.cy);
    CREATESTRUCTA params = create;
    if (send(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&params)) == 0 ||
        tree.find(handle) == nullptr) {
        destroy(tree.find(handle));
        return nullptr;
    }
    if (send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&params)) == -1 ||
        tree.find(handle) == nullptr) {
        destroy(tree.find(handle));
        return nullptr;
    }
    send(window, WM_SIZE, 0, MAKELPARAM(window->clientWidth(), window->clientHeight()));
    send(window, WM_MOVE, 0, MAKELPARAM(window->rect.left, window->rect.top));
    if (visible && tree.find(handle) != nullptr) {
        show(window, SW_SHOW);
    }
    return tree.find(handle);
}

bool WindowManager::destroy(Window* window) {
    if (window == nullptr || window->destroying) {
        return window != nullptr;
    }
    window->destroying = true;
    for (Window* other : tree.topLevelsByAge()) {
        if (other->owner == window) {
            destroy(other);
        }
    }
    bool shown = tree.isShown(window);
    RECT area = tree.screenRect(window);
    if (shown) {
        auto lock = lockTree();
        window->style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    leave(window);
    sendDestroy(window);
    finishDestroy(window);
    if (shown) {
        painter.expose(RectRegion(area));
    }
    return true;
}

void WindowManager::sendDestroy(Window* window) {
    window->destroying = true;
    send(window, WM_DESTROY, 0, 0);
    std::vector<Window*> children = window->children();
    for (Window* child : children) {
        if (!child->destroyed) {
            sendDestroy(child);
        }
    }
}

void WindowManager::finishDestroy(Window* window) {
    std::vector<Window*> children = window->children();
    for (Window* child : children) {
        if (!child->destroyed) {
            finishDestroy(child);
        }
    }
    send(window, WM_NCDESTROY, 0, 0);
    if (focus == window) {
        focus = nullptr;
    }
    if (active == window) {
        active = nullptr;
    }
    painter.forgetWindow(window);
    input.forgetWindow(window);
    queue.dropFor(window->handle());
    auto lock = lockTree();
    tree.remove(window);
}

Window* WindowManager::successorOf(Window* leaving) const {
    Window* owner = leaving->owner;
    if (owner != nullptr && !owner->destroying && tree.isShown(owner) && owner->enabled()) {
        return owner;
    }
    for (Window* top : tree.topLevels()) {
        if (top != leaving && !top->destroying && tree.isShown(top) && top->enabled()) {
            return top;
        }
    }
    return nullptr;
}

void WindowManager::leave(Window* window) {
    if (within(focus, window)) {
        Window* old = focus;
        focus = nullptr;
        send(old, WM_KILLFOCUS, 0, 0);
    }
    if (active != nullptr && within(active, window)) {
        activate(successorOf(active), WA_ACTIVE);
    }
}

void WindowManager::activate(Window* window, WORD how) {
    if (window == active) {
        return;
    }
    Window* old = active;
    active = window;
    HWND oldHandle = old != nullptr ? old->handle() : nullptr;
    HWND newHandle = window != nullptr ? window->handle() : nullptr;
    if (old != nullptr) {
        send(old, WM_NCACTIVATE, FALSE, 0);
        send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(newHandle));
    }
    if ((old == nullptr) != (window == nullptr)) {
        for (Window* top : tree.topLevelsByAge()) {
            send(top, WM_ACTIVATEAPP, window != nullptr, 0);
        }
    }
    if (window == nullptr || active != window) {
        if (window == nullptr && focus != nullptr) {
            setFocus(nullptr);
        }
        return;
    }
    bringToTop(window);
    send(window, WM_NCACTIVATE, TRUE, 0);
    send(window, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(oldHandle));
}

Window* WindowManager::setFocus(Window* window) {
    if (window == focus) {
        return focus;
    }
    if (window != nullptr) {
        Window* top = tree.topLevelOf(window);
        // As on Windows, a window whose top-level window is disabled (the
        // owner of a message box) cannot take the focus, nor the activation.
        if ((top->style & WS_DISABLED) != 0) {
            return nullptr;
        }
        if (top != active) {
            activate(top, WA_ACTIVE);
        }
        if (focus == window || tree.find(window->handle()) == nullptr) {
            return focus;
        }
    }
    Window* old = focus;
    focus = window;
    HWND oldHandle = old != nullptr ? old->handle() : nullptr;
    if (old != nullptr) {
        send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window ? window->handle() : nullptr), 0);
    }
    if (window != nullptr && focus == window) {
        send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(oldHandle), 0);
    }
    return old;
}

bool WindowManager::show(Window* window, int command) {
    bool wasVisible = window->visibleFlag();
    if (command == SW_HIDE) {
        if (!wasVisible) {
            return false;
        }
        send(window, WM_SHOWWINDOW, FALSE, 0);
        bool shown = tree.isShown(window);
        RECT area = tree.screenRect(window);
        {
            auto lock = lockTree();
            window->style &= ~static_cast<DWORD>(WS_VISIBLE);
        }
        leave(window);
        if (shown) {
            painter.expose(RectRegion(area));
        }
        return true;
    }
    if (!wasVisible) {
        send(window, WM_SHOWWINDOW, TRUE, 0);
        {
            auto lock = lockTree();
            window->style |= WS_VISIBLE;
        }
        painter.invalidateAll(window);
    }
    bool activates = !window->isChild() && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                     command != SW_SHOWMINIMIZED;
    if (activates && window->enabled()) {
        activate(window, WA_ACTIVE);
    }
    return wasVisible;
}

void WindowManager::place(Window* window, const RECT& rect, bool repaint) {
    RECT oldScreen = tree.screenRect(window);
    RECT old = window->rect;
    bool moved = old.left != rect.left || old.top != rect.top;
    bool sized = widthOf(old) != widthOf(rect) || heightOf(old) != heightOf(rect);
    {
        auto lock = lockTree();
        window->rect = rect;
    }
    if (tree.isShown(window) && (moved || sized || repaint)) {
        RectRegion uncovered(oldScreen);
        uncovered.subtract(tree.screenRect(window));
        painter.expose(uncovered);
        // Nothing keeps the window's old pixels, so all of it is painted anew.
        painter.invalidateAll(window);
    }
    if (moved) {
        send(window, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    }
    if (sized) {
        send(window, WM_SIZE, 0, MAKELPARAM(window->clientWidth(), window->clientHeight()));
    }
}

void WindowManager::bringToTop(Window* window) {
    auto& stack = tree.siblingsOf(window);
    if (!stack.empty() && stack.front() == window) {
        return;
    }
    RectRegion before = tree.visibleRegion(window, false);
    {
        auto lock = lockTree();
        tree.bringToTop(window);
    }
    // Owned windows stay above their owner.
    for (Window* other : tree.topLevelsByAge()) {
        if (other->owner == window && tree.isShown(other)) {
            bringToTop(other);
        }
    }
    RectRegion now = tree.visibleRegion(window, false);
    now.subtract(before);
    painter.expose(now);
}

void WindowManager::setEnabled(Window* window, bool enable) {
    bool wasEnabled = window->enabled();
    if (wasEnabled == enable) {
        return;
    }
    if (enable) {
        window->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
        window->style |= WS_DISABLED;
        if (within(focus, window)) {
            setFocus(nullptr);
        }
    }
    send(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
}

bool WindowManager::hasWork() const {
    return queue.hasPosted() || queue.hasInput() || painter.nextToPaint() != nullptr;
}

bool WindowManager::getMessage(MSG& message) {
    for (;;) {
        if (m_sendDepth == 0) {
            auto lock = lockTree();
            tree.purge();
        }
        message = MSG{};
        if (emu::kernel::sessionEnding()) {
            message.message = WM_QUIT;
            return false;
        }
        if (auto posted = queue.takePosted()) {
            message = *posted;
            return true;
        }
        if (auto quit = queue.takeQuit()) {
            message = *quit;
            return false;
        }
        if (auto event = queue.takeInput()) {
            if (auto routed = input.route(*event)) {
                message = *routed;
                return true;
            }
            continue;
        }
        if (Window* window = painter.nextToPaint()) {
            message.hwnd = window->handle();
            message.message = WM_PAINT;
            message.time = GetTickCount();
            message.pt = input.cursor();
            return true;
        }
        nothingToDo();
    }
}

void WindowManager::nothingToDo() {
    if (idle) {
        idle();
        return;
    }
    // Nobody will ever feed this machine input: end as a used-up script does.
    emu::Trace::scriptExhausted();
    std::fprintf(stderr, "%s: waiting for input with no input source\n",
                 program_invocation_short_name);
    std::fflush(nullptr);
    std::_Exit(3);
}

// ---- the emulation's own controls

ControlState* controlState(HWND handle) {
    WindowManager* m = WindowManager::current();
    Window* window = m != nullptr ? m->find(handle) : nullptr;
    return window != nullptr ? window->control.get() : nullptr;
}

void setControlState(HWND handle, std::unique_ptr<ControlState> state) {
    WindowManager* m = WindowManager::current();
    if (Window* window = m != nullptr ? m->find(handle) : nullptr) {
        window->control = std::move(state);
    }
}

// ---- the host's side

void setIdleHandler(std::function<void()> handler) {
    if (WindowManager* m = WindowManager::current()) {
        m->idle = std::move(handler);
    }
}

void setDrawnHandler(std::function<void()> handler) {
    if (WindowManager* m = WindowManager::current()) {
        m->drawn = std::move(handler);
    }
}

namespace {
void postInput(InputKind kind, POINT screen, UINT key) {
    if (WindowManager* m = WindowManager::current()) {
        m->queue.postInput(InputEvent{kind, screen, key, GetTickCount()});
    }
}
} // namespace

void postMouseMove(POINT screen) {
    postInput(InputKind::MouseMove, screen, 0);
}

void postMouseButton(POINT screen, bool down) {
    postInput(down ? InputKind::ButtonDown : InputKind::ButtonUp, screen, 0);
}

void postKey(UINT virtualKey, bool down) {
    postInput(down ? InputKind::KeyDown : InputKind::KeyUp, POINT{0, 0}, virtualKey);
}

HWND mainWindow() {
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return nullptr;
    }
    auto tops = m->tree.topLevelsByAge();
    return tops.empty() ? nullptr : tops.front()->handle();
}

HWND activeWindow() {
    WindowManager* m = WindowManager::current();
    return m != nullptr && m->active != nullptr ? m->active->handle() : nullptr;
}

bool closeBoxPoint(HWND handle, POINT& screen) {
    WindowManager* m = WindowManager::current();
    Window* window = m != nullptr ? m->find(handle) : nullptr;
    if (window == nullptr || !window->hasCloseBox()) {
        return false;
    }
    RECT outer = m->tree.screenRect(window);
    RECT box = Look95::closeBoxRect(widthOf(outer));
    screen = offsetPoint(POINT{outer.left, outer.top}, POINT{midCoordinate(box.left, box.right),
                                                             midCoordinate(box.top, box.bottom)});
    return true;
}

void pumpPending() {
    WindowManager* m = WindowManager::current();
    if (m == nullptr) {
        return;
    }
    while (m->hasWork()) {
        MSG message;
        if (!m->getMessage(message)) {
            // Keep the quit for the program's own loop.
            m->queue.postQuit(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace emu::user
