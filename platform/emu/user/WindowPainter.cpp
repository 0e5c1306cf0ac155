#include "platform/emu/user/WindowPainter.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/Look95.h"

namespace emu::user {

WindowPainter::~WindowPainter() {
    for (auto& entry : m_contexts) {
        emu::gdi::destroyDeviceContext(entry.first);
    }
}

void WindowPainter::invalidate(Window* window, const RECT* clientRect, bool erase) {
    RECT all{0, 0, window->clientWidth(), window->clientHeight()};
    RECT area = clientRect != nullptr ? RectRegion::intersection(*clientRect, all) : all;
    if (RectRegion::isEmpty(area)) {
        return;
    }
    window->update({}).add(area);
    window->setErasePending({}, window->erasePending() || erase);
}

void WindowPainter::validate(Window* window) {
    window->update({}).clear();
    window->setErasePending({}, false);
}

void WindowPainter::invalidateAll(Window* window) {
    if (!m_windows.tree().isShown(window)) {
        return;
    }
    expose(RectRegion(m_windows.tree().screenRect(window)));
}

void WindowPainter::expose(const RectRegion& screenArea) {
    if (screenArea.empty()) {
        return;
    }
    RectRegion desktop = screenArea;
    for (Window* top : m_windows.tree().topLevels()) {
        if (m_windows.tree().isShown(top)) {
            desktop.subtract(m_windows.tree().screenRect(top));
        }
    }
    if (!desktop.empty()) {
        HDC dc = emu::gdi::createDeviceContext(POINT{0, 0}, desktop.rects());
        Look95::paintDesktop(dc, desktop.bounds());
        emu::gdi::destroyDeviceContext(dc);
    }
    // Copy: a frame painter may not change the stacking, but stay safe anyway.
    std::vector<Window*> tops = m_windows.tree().topLevels();
    for (Window* top : tops) {
        exposeWindow(top, screenArea);
    }
}

void WindowPainter::exposeWindow(Window* window, const RectRegion& screenArea) {
    const WindowTree& tree = m_windows.tree();
    if (!tree.isShown(window)) {
        return;
    }
    RECT outer = tree.screenRect(window);
    if (!screenArea.intersects(outer)) {
        return;
    }
    RECT client = tree.clientScreenRect(window);
    // Only what shows of the window needs painting; covered parts wait for their turn.
    RectRegion shown = screenArea.intersected(tree.visibleRegion(window, false));
    bool frameTouched = false;
    for (const RECT& r : shown.rects()) {
        RECT inWindow = RectRegion::intersection(r, outer);
        if (RectRegion::isEmpty(inWindow)) {
            continue;
        }
        RECT inClient = RectRegion::intersection(inWindow, client);
        bool allClient = inClient.left == inWindow.left && inClient.top == inWindow.top &&
                         inClient.right == inWindow.right && inClient.bottom == inWindow.bottom;
        frameTouched = frameTouched || !allClient;
        if (!RectRegion::isEmpty(inClient)) {
            RECT local{inClient.left - client.left, inClient.top - client.top,
                       inClient.right - client.left, inClient.bottom - client.top};
            invalidate(window, &local, true);
        }
    }
    if (frameTouched) {
        m_windows.send(window, WM_NCPAINT, 1, 0);
    }
    std::vector<Window*> children = window->children();
    for (Window* child : children) {
        exposeWindow(child, screenArea);
    }
}

void WindowPainter::paintNonClient(Window* window, bool closePressed) {
    const WindowTree& tree = m_windows.tree();
    RectRegion frame = tree.visibleRegion(window, false);
    frame.subtract(tree.clientScreenRect(window));
    if (frame.empty()) {
        return;
    }
    RECT outer = tree.screenRect(window);
    HDC dc = emu::gdi::createDeviceContext(POINT{outer.left, outer.top}, frame.rects());
    FrameLook look;
    look.style = window->style();
    look.exStyle = window->exStyle();
    look.child = window->isChild();
    look.active = window->frameActive();
    look.caption = window->text().c_str();
    look.closePressed = closePressed;
    look.closeDisabled = window->closeDisabled();
    Look95::paintFrame(dc, outer.right - outer.left, outer.bottom - outer.top, look);
    emu::gdi::destroyDeviceContext(dc);
}

Window* WindowPainter::firstToPaint(const std::vector<Window*>& stack) const {
    for (Window* window : stack) {
        if (!m_windows.tree().isShown(window)) {
            continue;
        }
        if (!window->update().empty()) {
            return window;
        }
        if (Window* child = firstToPaint(window->children())) {
            return child;
        }
    }
    return nullptr;
}

Window* WindowPainter::nextToPaint() const {
    return firstToPaint(m_windows.tree().topLevels());
}

HDC WindowPainter::getDC(Window* window, bool clientOnly) {
    const WindowTree& tree = m_windows.tree();
    RECT origin{};
    RectRegion visible;
    {
        auto lock = m_windows.lockTree();
        origin = clientOnly ? tree.clientScreenRect(window) : tree.screenRect(window);
        visible = tree.visibleRegion(window, clientOnly);
    }
    // Made outside the tree lock: a drawing thread may hold the screen while asking for it.
    HDC dc = emu::gdi::createDeviceContext(POINT{origin.left, origin.top}, visible.rects());
    if (dc != nullptr) {
        std::lock_guard<std::mutex> lock(m_contextsMutex);
        m_contexts[dc] = window;
    }
    return dc;
}

void WindowPainter::drawClientNow(Window* window, const std::function<void(HDC dc)>& draw) {
    const WindowTree& tree = m_windows.tree();
    // Lock order: the tree, then the screen inside each drawing call; no
    // drawing call asks for the tree while it holds the screen.
    auto lock = m_windows.lockTree();
    if (!tree.isShown(window)) {
        return;
    }
    RECT origin = tree.clientScreenRect(window);
    RectRegion visible = tree.visibleRegion(window, true);
    HDC dc = emu::gdi::createDeviceContext(POINT{origin.left, origin.top}, visible.rects());
    if (dc == nullptr) {
        return;
    }
    draw(dc);
    emu::gdi::destroyDeviceContext(dc);
}

bool WindowPainter::releaseDC(HDC dc) {
    {
        std::lock_guard<std::mutex> lock(m_contextsMutex);
        auto it = m_contexts.find(dc);
        if (it == m_contexts.end()) {
            return false;
        }
        m_contexts.erase(it);
    }
    emu::gdi::destroyDeviceContext(dc);
    return true;
}

HDC WindowPainter::beginPaint(Window* window, PAINTSTRUCT& paint) {
    paint = PAINTSTRUCT{};
    RectRegion area = window->update();
    bool erase = window->erasePending();
    validate(window);
    HDC dc = getDC(window, true);
    if (dc == nullptr) {
        return nullptr;
    }
    const WindowTree& tree = m_windows.tree();
    RECT client = tree.clientScreenRect(window);
    area.offset(client.left, client.top);
    RectRegion clip = tree.visibleRegion(window, true);
    RectRegion visibleUpdate;
    for (const RECT& r : area.rects()) {
        RectRegion piece = clip;
        piece.intersect(r);
        visibleUpdate.add(piece);
    }
    emu::gdi::setDeviceContextClip(dc, visibleUpdate.rects());
    paint.hdc = dc;
    RECT bounds = area.bounds();
    paint.rcPaint = RECT{bounds.left - client.left, bounds.top - client.top,
                         bounds.right - client.left, bounds.bottom - client.top};
    paint.fErase = TRUE;
    if (erase) {
        paint.fErase = m_windows.send(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    }
    return dc;
}

void WindowPainter::endPaint(const PAINTSTRUCT& paint) {
    releaseDC(paint.hdc);
}

void WindowPainter::eraseWithClassBrush(const Window* window, HDC dc) {
    HBRUSH brush = window->windowClass().background;
    if (brush == nullptr) {
        return;
    }
    // FillRect takes a system colour index plus one as that colour's brush, as
    // a class background may be.
    RECT client{0, 0, window->clientWidth(), window->clientHeight()};
    FillRect(dc, &client, brush);
}

void WindowPainter::forgetWindow(Window* window) {
    std::lock_guard<std::mutex> lock(m_contextsMutex);
    for (auto it = m_contexts.begin(); it != m_contexts.end();) {
        if (it->second == window) {
            emu::gdi::destroyDeviceContext(it->first);
            it = m_contexts.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace emu::user
