#include "platform/emu/user/WindowTree.h"
#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/Look95.h"

#include <algorithm>

namespace emu::user {

bool pointInRect(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

Window* WindowTree::create(std::shared_ptr<const WindowClass> windowClass, Window* parent) {
    HWND handle = reinterpret_cast<HWND>(m_nextHandle);
    auto window = std::make_unique<Window>(handle, std::move(windowClass));
    Window* raw = window.get();
    m_windows.emplace(m_nextHandle++, std::move(window));
    raw->setParent({}, parent);
    if (parent != nullptr) {
        // Children go below their siblings, so the stacking follows creation
        // order as a dialog's tab order does.
        parent->children({}).push_back(raw);
    } else {
        m_topLevels.insert(m_topLevels.begin(), raw);
    }
    return raw;
}

void WindowTree::remove(Window* window) {
    auto& stack = siblingsOf(window);
    stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
    for (auto& entry : m_windows) {
        if (entry.second->owner() == window) {
            entry.second->forgetOwner({});
        }
    }
    window->markDestroyed({});
}

void WindowTree::purge() {
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        it = it->second->destroyed() ? m_windows.erase(it) : std::next(it);
    }
}

void WindowTree::clear() {
    m_topLevels.clear();
    m_windows.clear();
}

Window* WindowTree::find(HWND handle) {
    auto it = m_windows.find(reinterpret_cast<uintptr_t>(handle));
    if (it == m_windows.end() || it->second->destroyed()) {
        return nullptr;
    }
    return it->second.get();
}

const Window* WindowTree::find(HWND handle) const {
    return const_cast<WindowTree*>(this)->find(handle);
}

std::vector<Window*>& WindowTree::siblingsOf(Window* window) {
    return window->parent() != nullptr ? window->parent()->children({}) : m_topLevels;
}

const std::vector<Window*>& WindowTree::siblingsOf(const Window* window) const {
    return window->parent() != nullptr ? window->parent()->children() : m_topLevels;
}

std::vector<Window*> WindowTree::topLevelsByAge() const {
    std::vector<Window*> out;
    for (const auto& entry : m_windows) {
        if (!entry.second->isChild() && !entry.second->destroyed()) {
            out.push_back(entry.second.get());
        }
    }
    return out;
}

Window* WindowTree::topLevelOf(Window* window) const {
    while (window != nullptr && window->parent() != nullptr) {
        window = window->parent();
    }
    return window;
}

void WindowTree::bringToTop(Window* window) {
    auto& stack = siblingsOf(window);
    stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
    stack.insert(stack.begin(), window);
}

RECT WindowTree::screenRect(const Window* window) const {
    RECT r = window->rect();
    if (window->parent() != nullptr) {
        POINT origin = clientOrigin(window->parent());
        r.left = addCoordinates(r.left, origin.x);
        r.right = addCoordinates(r.right, origin.x);
        r.top = addCoordinates(r.top, origin.y);
        r.bottom = addCoordinates(r.bottom, origin.y);
    }
    return r;
}

POINT WindowTree::clientOrigin(const Window* window) const {
    RECT outer = screenRect(window);
    RECT client = window->clientInWindow();
    return offsetPoint(POINT{outer.left, outer.top}, POINT{client.left, client.top});
}

RECT WindowTree::closeBoxOnScreen(const Window* window) const {
    RECT outer = screenRect(window);
    RECT box = Look95::closeBoxRect(widthOf(outer));
    POINT topLeft = offsetPoint(POINT{outer.left, outer.top}, POINT{box.left, box.top});
    POINT bottomRight = offsetPoint(POINT{outer.left, outer.top}, POINT{box.right, box.bottom});
    return RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

RECT WindowTree::clientScreenRect(const Window* window) const {
    POINT origin = clientOrigin(window);
    return RECT{origin.x, origin.y, addCoordinates(origin.x, window->clientWidth()),
                addCoordinates(origin.y, window->clientHeight())};
}

bool WindowTree::isShown(const Window* window) const {
    for (; window != nullptr; window = window->parent()) {
        if (!window->visibleFlag() || window->destroyed()) {
            return false;
        }
    }
    return true;
}

void WindowTree::subtractAbove(const std::vector<Window*>& stack, const Window* window,
                               RectRegion& region) const {
    for (const Window* other : stack) {
        if (other == window) {
            return;
        }
        if (isShown(other)) {
            region.subtract(screenRect(other));
        }
    }
}

RectRegion WindowTree::visibleRegion(const Window* window, bool clientOnly) const {
    if (!isShown(window)) {
        return RectRegion();
    }
    RectRegion region(clientOnly ? clientScreenRect(window) : screenRect(window));
    const Window* node = window;
    for (; node->parent() != nullptr; node = node->parent()) {
        region.intersect(clientScreenRect(node->parent()));
        subtractAbove(node->parent()->children(), node, region);
    }
    subtractAbove(m_topLevels, node, region);
    if (clientOnly) {
        // Parents never paint over their children (every window clips them).
        for (const Window* child : window->children()) {
            if (isShown(child)) {
                region.subtract(screenRect(child));
            }
        }
    }
    return region;
}

Window* WindowTree::windowAt(POINT screen) const {
    const std::vector<Window*>* stack = &m_topLevels;
    Window* found = nullptr;
    for (;;) {
        Window* hit = nullptr;
        for (Window* candidate : *stack) {
            bool inParentClient = found == nullptr || pointInRect(clientScreenRect(found), screen);
            if (isShown(candidate) && inParentClient &&
                pointInRect(screenRect(candidate), screen)) {
                hit = candidate;
                break;
            }
        }
        if (hit == nullptr || (found != nullptr && !hit->enabled())) {
            return found;
        }
        found = hit;
        stack = &found->children();
    }
}

} // namespace emu::user
