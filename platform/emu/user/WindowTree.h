// Every live window, keyed by handle, and their stacking: top-level windows in
// one list, each window's children in another, topmost first. Handles count
// from 1 and are never reused, so a stale handle never names a new window.
#pragma once

#include "platform/emu/user/Window.h"

#include <map>
#include <memory>
#include <vector>

namespace emu::user {

class WindowTree {
public:
    Window* create(std::shared_ptr<const WindowClass> windowClass, Window* parent);
    // Takes a window whose destruction is complete out of the stacking and out
    // of reach of its handle; its memory lives until purge(), since callers up
    // the stack may still hold it.
    void remove(Window* window);
    void purge();
    void clear();

    // The live window a handle names, or nullptr; read-only to a reader of a const tree.
    Window* find(HWND handle);
    const Window* find(HWND handle) const;
    // Top-level windows, topmost first.
    const std::vector<Window*>& topLevels() const { return m_topLevels; }
    std::vector<Window*>& siblingsOf(Window* window);
    const std::vector<Window*>& siblingsOf(const Window* window) const;
    // Top-level windows in creation order.
    std::vector<Window*> topLevelsByAge() const;
    Window* topLevelOf(Window* window) const;

    void bringToTop(Window* window);

    RECT screenRect(const Window* window) const;
    RECT clientScreenRect(const Window* window) const;
    POINT clientOrigin(const Window* window) const;
    // Where the window's close box is on the screen (whether it has one or not):
    // what the frame painter draws, the hit test and the input router press.
    RECT closeBoxOnScreen(const Window* window) const;
    // Shown itself and every ancestor shown.
    bool isShown(const Window* window) const;
    // The screen pixels of the window (or of its client area) that nothing covers.
    RectRegion visibleRegion(const Window* window, bool clientOnly) const;
    // The deepest shown window under a screen point, or nullptr for the desktop.
    Window* windowAt(POINT screen) const;

private:
    void subtractAbove(const std::vector<Window*>& stack, const Window* window,
                       RectRegion& region) const;

    std::map<uintptr_t, std::unique_ptr<Window>> m_windows;
    std::vector<Window*> m_topLevels;
    uintptr_t m_nextHandle = 1;
};

bool pointInRect(const RECT& rect, POINT point);

} // namespace emu::user
