// Painting without a backing store: what becomes visible is painted again.
// Client areas collect an update region and are painted through WM_PAINT when
// the queue is empty; frames and the desktop are painted by the emulation at
// once. Device contexts handed out for windows are clipped to what of the
// window shows on the screen.
#pragma once

#include "platform/emu/user/ManagerServices.h"
#include "platform/emu/user/RectRegion.h"

#include <functional>
#include <map>
#include <mutex>

namespace emu::user {

class WindowPainter {
public:
    explicit WindowPainter(ManagerServices& windows) : m_windows(windows) {}
    ~WindowPainter();
    WindowPainter(const WindowPainter&) = delete;
    WindowPainter& operator=(const WindowPainter&) = delete;

    // Adds a client rectangle (all of the client area when null) to the update region.
    void invalidate(Window* window, const RECT* clientRect, bool erase);
    void validate(Window* window);
    // Everything of a window, frame and children included, must be painted again.
    void invalidateAll(Window* window);
    // Screen pixels that something stopped covering: the desktop there is
    // painted, and every window there repaints its frame and collects an update region.
    void expose(const RectRegion& screenArea);
    // The window manager's WM_NCPAINT: frame and caption over the visible part.
    void paintNonClient(Window* window, bool closePressed);
    // The next window that waits for WM_PAINT, parents before their children.
    Window* nextToPaint() const;

    HDC getDC(Window* window, bool clientOnly);
    bool releaseDC(HDC dc);
    // Draws on the client area of the window as much of it shows at this
    // moment, with the tree held still: a window that comes up in front
    // while another thread draws waits for the drawing, so the drawing never
    // lands on it. draw gets a context whose (0,0) is the client's corner.
    void drawClientNow(Window* window, const std::function<void(HDC dc)>& draw);
    HDC beginPaint(Window* window, PAINTSTRUCT& paint);
    void endPaint(const PAINTSTRUCT& paint);
    void eraseWithClassBrush(const Window* window, HDC dc);
    // Windows whose device contexts are still out go with them.
    void forgetWindow(Window* window);

private:
    void exposeWindow(Window* window, const RectRegion& screenArea);
    Window* firstToPaint(const std::vector<Window*>& stack) const;

    ManagerServices& m_windows;
    std::mutex m_contextsMutex; // contexts may be taken and given back on any thread
    std::map<HDC, Window*> m_contexts;
};

} // namespace emu::user
