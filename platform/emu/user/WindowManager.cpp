#include "platform/emu/user/WindowManager.h"

#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/user/Coordinate.h"

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

// The character a key types, as TranslateMessage makes it.
bool typedCharacter(UINT vk, char& out) {
    if (vk >= 'A' && vk <= 'Z') {
        out = static_cast<char>(vk - 'A' + 'a');
    } else if (vk >= '0' && vk <= '9') {
        out = static_cast<char>(vk);
    } else if (vk == VK_RETURN) {
        out = '\r';
    } else if (vk == VK_ESCAPE) {
        out = 0x1B;
    } else if (vk == VK_SPACE) {
        out = ' ';
    } else if (vk == VK_TAB) {
        out = '\t';
    } else if (vk == VK_BACK) {
        out = '\b';
    } else {
        return false;
    }
    return true;
}

} // namespace

WindowManager* WindowManager::current() {
    return g_manager.get();
}

Window* WindowManager::windowOf(HWND handle) {
    return g_manager != nullptr ? g_manager->m_tree.find(handle) : nullptr;
}

WindowManager& WindowManager::boot(const RECT& screen) {
    g_manager = std::make_unique<WindowManager>();
    g_manager->m_painter.expose(RectRegion(screen));
    return *g_manager;
}

void WindowManager::shutdown() {
    g_manager.reset();
}

WindowManager::WindowManager() : m_painter(*this), m_input(*this) {}

WindowManager::~WindowManager() = default;

ATOM WindowManager::registerClass(const WNDCLASSA& definition) {
    return m_classes.add(definition);
}

void WindowManager::registerClasses(void (*registrar)(ClassTable& classes)) {
    registrar(m_classes);
}

std::shared_ptr<const WindowClass> WindowManager::findClass(LPCSTR nameOrAtom) const {
    return m_classes.find(nameOrAtom);
}

LRESULT WindowManager::send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr || window->m_destroyed || window->m_proc == nullptr) {
        return 0;
    }
    SendDepth depth(m_sendDepth);
    return window->m_proc(window->handle(), message, wParam, lParam);
}

Window* WindowManager::create(const CREATESTRUCTA& create,
                              std::shared_ptr<const WindowClass> windowClass, Window* parent,
                              Window* owner) {
    Window* window = nullptr;
    {
        auto lock = lockTree();
        window = m_tree.create(std::move(windowClass), parent);
        window->m_style = static_cast<DWORD>(create.style) & ~static_cast<DWORD>(WS_VISIBLE);
        window->m_exStyle = create.dwExStyle;
        window->m_id =
            parent != nullptr ? static_cast<LONG>(reinterpret_cast<intptr_t>(create.hMenu)) : 0;
        window->m_instance = create.hInstance;
        window->m_owner = owner;
        window->m_rect = rectAt(create.x, create.y, create.cx, create.cy);
    }
    HWND handle = window->handle();
    bool visible = (create.style & WS_VISIBLE) != 0;
    CREATESTRUCTA params = create;
    if (send(window, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&params)) == 0 ||
        m_tree.find(handle) == nullptr) {
        destroy(m_tree.find(handle));
        return nullptr;
    }
    if (send(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&params)) == -1 ||
        m_tree.find(handle) == nullptr) {
        destroy(m_tree.find(handle));
        return nullptr;
    }
    send(window, WM_SIZE, 0, MAKELPARAM(window->clientWidth(), window->clientHeight()));
    send(window, WM_MOVE, 0, MAKELPARAM(window->m_rect.left, window->m_rect.top));
    if (visible && m_tree.find(handle) != nullptr) {
        show(window, SW_SHOW);
    }
    return m_tree.find(handle);
}

bool WindowManager::destroy(Window* window) {
    if (window == nullptr || window->m_destroying) {
        return window != nullptr;
    }
    markDestroying(window);
    for (Window* other : m_tree.topLevelsByAge()) {
        if (other->m_owner == window) {
            destroy(other);
        }
    }
    bool shown = m_tree.isShown(window);
    RECT area = m_tree.screenRect(window);
    if (shown) {
        auto lock = lockTree();
        window->m_style &= ~static_cast<DWORD>(WS_VISIBLE);
    }
    leave(window);
    sendDestroy(window);
    finishDestroy(window);
    if (shown) {
        m_painter.expose(RectRegion(area));
    }
    return true;
}

void WindowManager::markDestroying(Window* window) {
    auto lock = lockTree();
    window->m_destroying = true;
}

void WindowManager::sendDestroy(Window* window) {
    markDestroying(window);
    send(window, WM_DESTROY, 0, 0);
    std::vector<Window*> children = window->children();
    for (Window* child : children) {
        if (!child->m_destroyed) {
            sendDestroy(child);
        }
    }
}

void WindowManager::finishDestroy(Window* window) {
    std::vector<Window*> children = window->children();
    for (Window* child : children) {
        if (!child->m_destroyed) {
            finishDestroy(child);
        }
    }
    send(window, WM_NCDESTROY, 0, 0);
    if (m_focus == window) {
        m_focus = nullptr;
    }
    if (m_active == window) {
        m_active = nullptr;
    }
    m_painter.forgetWindow(window);
    m_input.forgetWindow(window);
    m_queue.dropFor(window->handle());
    auto lock = lockTree();
    m_tree.remove(window);
}

Window* WindowManager::successorOf(Window* leaving) const {
    Window* owner = leaving->m_owner;
    if (owner != nullptr && !owner->m_destroying && m_tree.isShown(owner) && owner->enabled()) {
        return owner;
    }
    for (Window* top : m_tree.topLevels()) {
        if (top != leaving && !top->m_destroying && m_tree.isShown(top) && top->enabled()) {
            return top;
        }
    }
    return nullptr;
}

void WindowManager::leave(Window* window) {
    if (within(m_focus, window)) {
        Window* old = m_focus;
        m_focus = nullptr;
        send(old, WM_KILLFOCUS, 0, 0);
    }
    if (m_active != nullptr && within(m_active, window)) {
        activate(successorOf(m_active), WA_ACTIVE);
    }
}

void WindowManager::activate(Window* window, WORD how) {
    if (window == m_active) {
        return;
    }
    Window* old = m_active;
    m_active = window;
    HWND oldHandle = old != nullptr ? old->handle() : nullptr;
    HWND newHandle = window != nullptr ? window->handle() : nullptr;
    if (old != nullptr) {
        send(old, WM_NCACTIVATE, FALSE, 0);
        send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(newHandle));
    }
    if ((old == nullptr) != (window == nullptr)) {
        for (Window* top : m_tree.topLevelsByAge()) {
            send(top, WM_ACTIVATEAPP, window != nullptr, 0);
        }
    }
    if (window == nullptr || m_active != window) {
        if (window == nullptr && m_focus != nullptr) {
            setFocus(nullptr);
        }
        return;
    }
    bringToTop(window);
    send(window, WM_NCACTIVATE, TRUE, 0);
    send(window, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(oldHandle));
}

Window* WindowManager::setFocus(Window* window) {
    if (window == m_focus) {
        return m_focus;
    }
    if (window != nullptr) {
        Window* top = m_tree.topLevelOf(window);
        // As on Windows, a window whose top-level window is disabled (the
        // owner of a message box) cannot take the focus, nor the activation.
        if ((top->m_style & WS_DISABLED) != 0) {
            return nullptr;
        }
        if (top != m_active) {
            activate(top, WA_ACTIVE);
        }
        if (m_focus == window || m_tree.find(window->handle()) == nullptr) {
            return m_focus;
        }
    }
    Window* old = m_focus;
    m_focus = window;
    HWND oldHandle = old != nullptr ? old->handle() : nullptr;
    if (old != nullptr) {
        send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window ? window->handle() : nullptr), 0);
    }
    if (window != nullptr && m_focus == window) {
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
        bool shown = m_tree.isShown(window);
        RECT area = m_tree.screenRect(window);
        {
            auto lock = lockTree();
            window->m_style &= ~static_cast<DWORD>(WS_VISIBLE);
        }
        leave(window);
        if (shown) {
            m_painter.expose(RectRegion(area));
        }
        return true;
    }
    if (!wasVisible) {
        send(window, WM_SHOWWINDOW, TRUE, 0);
        {
            auto lock = lockTree();
            window->m_style |= WS_VISIBLE;
        }
        m_painter.invalidateAll(window);
    }
    bool activates = !window->isChild() && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                     command != SW_SHOWMINIMIZED;
    if (activates && window->enabled()) {
        activate(window, WA_ACTIVE);
    }
    return wasVisible;
}

void WindowManager::place(Window* window, const RECT& rect, bool repaint) {
    RECT oldScreen = m_tree.screenRect(window);
    RECT old = window->m_rect;
    bool moved = old.left != rect.left || old.top != rect.top;
    bool sized = widthOf(old) != widthOf(rect) || heightOf(old) != heightOf(rect);
    {
        auto lock = lockTree();
        window->m_rect = rect;
    }
    if (m_tree.isShown(window) && (moved || sized || repaint)) {
        RectRegion uncovered(oldScreen);
        uncovered.subtract(m_tree.screenRect(window));
        m_painter.expose(uncovered);
        // Nothing keeps the window's old pixels, so all of it is painted anew.
        m_painter.invalidateAll(window);
    }
    if (moved) {
        send(window, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
    }
    if (sized) {
        send(window, WM_SIZE, 0, MAKELPARAM(window->clientWidth(), window->clientHeight()));
    }
}

void WindowManager::bringToTop(Window* window) {
    auto& stack = m_tree.siblingsOf(window);
    if (!stack.empty() && stack.front() == window) {
        return;
    }
    RectRegion before = m_tree.visibleRegion(window, false);
    {
        auto lock = lockTree();
        m_tree.bringToTop(window);
    }
    // Owned windows stay above their owner.
    for (Window* other : m_tree.topLevelsByAge()) {
        if (other->m_owner == window && m_tree.isShown(other)) {
            bringToTop(other);
        }
    }
    RectRegion now = m_tree.visibleRegion(window, false);
    now.subtract(before);
    m_painter.expose(now);
}

void WindowManager::setEnabled(Window* window, bool enable) {
    bool wasEnabled = window->enabled();
    if (wasEnabled == enable) {
        return;
    }
    // Through setStyle, under the tree lock: an animation's thread reads the
    // style while it draws.
    if (enable) {
        clearStyleBits(window, WS_DISABLED);
    } else {
        setStyle(window, window->m_style | WS_DISABLED);
        if (within(m_focus, window)) {
            setFocus(nullptr);
        }
    }
    send(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
}

bool WindowManager::hasWork() const {
    return m_queue.hasPosted() || m_queue.hasInput() || m_painter.nextToPaint() != nullptr;
}

std::optional<MSG> WindowManager::takeAvailable(bool& quit) {
    quit = false;
    for (;;) {
        if (m_sendDepth == 0) {
            auto lock = lockTree();
            m_tree.purge();
        }
        if (emu::kernel::sessionEnding()) {
            quit = true;
            MSG message{};
            message.message = WM_QUIT;
            return message;
        }
        if (auto posted = m_queue.takePosted()) {
            return posted;
        }
        if (auto ending = m_queue.takeQuit()) {
            quit = true;
            return ending;
        }
        if (auto event = m_queue.takeInput()) {
            if (auto routed = m_input.route(*event)) {
                return routed;
            }
            continue;
        }
        if (Window* window = m_painter.nextToPaint()) {
            MSG message{};
            message.hwnd = window->handle();
            message.message = WM_PAINT;
            message.time = GetTickCount();
            message.pt = m_input.cursor();
            return message;
        }
        return std::nullopt;
    }
}

bool WindowManager::getMessage(MSG& message) {
    for (;;) {
        bool quit = false;
        if (std::optional<MSG> next = takeAvailable(quit)) {
            message = *next;
            return !quit;
        }
        message = MSG{};
        if (!m_idle) {
            // No host feeds this machine input: nothing will ever come.
            message.message = WM_QUIT;
            return false;
        }
        m_idle();
    }
}

bool WindowManager::peekMessage(MSG& message) {
    bool quit = false;
    std::optional<MSG> next = takeAvailable(quit);
    if (!next && m_poll) {
        m_poll();
        next = takeAvailable(quit);
    }
    message = next.value_or(MSG{});
    return next.has_value();
}

bool WindowManager::translate(const MSG& message) {
    char c = 0;
    if (message.message != WM_KEYDOWN || !typedCharacter(static_cast<UINT>(message.wParam), c)) {
        return false;
    }
    MSG character = message;
    character.message = WM_CHAR;
    character.wParam = static_cast<unsigned char>(c);
    m_queue.postFront(character);
    return true;
}

LRESULT WindowManager::dispatch(const MSG& message) {
    Window* window = m_tree.find(message.hwnd);
    return window != nullptr ? send(window, message.message, message.wParam, message.lParam) : 0;
}

LRESULT WindowManager::sendTo(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = m_tree.find(handle);
    return window != nullptr ? send(window, message, wParam, lParam) : 0;
}

void WindowManager::post(const MSG& message) {
    m_queue.post(message);
}

void WindowManager::postInput(const InputEvent& event) {
    m_queue.postInput(event);
}

void WindowManager::postQuit(int exitCode) {
    m_queue.postQuit(exitCode);
}

void WindowManager::setStyle(Window* window, DWORD style) {
    auto lock = lockTree();
    window->m_style = style;
}

void WindowManager::clearStyleBits(Window* window, DWORD bits) {
    setStyle(window, window->m_style & ~bits);
}

void WindowManager::setExStyle(Window* window, DWORD exStyle) {
    auto lock = lockTree();
    window->m_exStyle = exStyle;
}

void WindowManager::setText(Window* window, std::string_view text) {
    {
        auto lock = lockTree();
        window->m_text.assign(text);
    }
    if (window->hasCaption()) {
        paintNonClient(window);
    }
}

void WindowManager::setFrameActive(Window* window, bool active) {
    {
        auto lock = lockTree();
        window->m_frameActive = active;
    }
    paintNonClient(window);
}

void WindowManager::setCloseDisabled(Window* window, bool disabled) {
    {
        auto lock = lockTree();
        window->m_closeDisabled = disabled;
    }
    if (window->hasCloseBox()) {
        paintNonClient(window);
    }
}

void WindowManager::setId(Window* window, LONG id) {
    auto lock = lockTree();
    window->m_id = id;
}

void WindowManager::setUserData(Window* window, LONG data) {
    auto lock = lockTree();
    window->m_userData = data;
}

void WindowManager::setMsgResult(Window* window, LONG result) {
    auto lock = lockTree();
    window->m_msgResult = result;
}

void WindowManager::setProc(Window* window, WNDPROC proc) {
    auto lock = lockTree();
    window->m_proc = proc;
}

void WindowManager::setControlState(Window* window, std::unique_ptr<ControlState> state) {
    // The old state goes after the lock is let go: its end may join a thread
    // that waits for the lock.
    {
        auto lock = lockTree();
        window->m_control.swap(state);
    }
    state.reset();
}

void WindowManager::invalidate(Window* window, const RECT* clientRect, bool erase) {
    m_painter.invalidate(window, clientRect, erase);
}

void WindowManager::invalidateAll(Window* window) {
    m_painter.invalidateAll(window);
}

void WindowManager::paintNonClient(Window* window) {
    m_painter.paintNonClient(window, m_input.closeBoxPressedOn(window));
}

void WindowManager::eraseWithClassBrush(const Window* window, HDC dc) {
    m_painter.eraseWithClassBrush(window, dc);
}

HDC WindowManager::getDC(Window* window, bool clientOnly) {
    return m_painter.getDC(window, clientOnly);
}

bool WindowManager::releaseDC(HDC dc) {
    if (!m_painter.releaseDC(dc)) {
        return false;
    }
    if (m_drawn) {
        m_drawn();
    }
    return true;
}

void WindowManager::drawClientNow(Window* window, const std::function<void(HDC dc)>& draw) {
    m_painter.drawClientNow(window, draw);
    if (m_drawn) {
        m_drawn();
    }
}

HDC WindowManager::beginPaint(Window* window, PAINTSTRUCT& paint) {
    return m_painter.beginPaint(window, paint);
}

void WindowManager::endPaint(const PAINTSTRUCT& paint) {
    m_painter.endPaint(paint);
}

} // namespace emu::user
