#include "platform/emu/user/Window.h"

#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/Look95.h"

#include <algorithm>

namespace emu::user {

Window::Window(HWND handle, std::shared_ptr<const WindowClass> windowClass)
    : m_handle(handle), m_class(std::move(windowClass)), m_proc(m_class->proc) {}

RECT Window::frameInsets() const {
    return Look95::frameInsets(m_style, m_exStyle, isChild());
}

RECT Window::clientInWindow() const {
    RECT insets = frameInsets();
    int width = widthOf(m_rect);
    int height = heightOf(m_rect);
    RECT client{insets.left, insets.top, width - insets.right, height - insets.bottom};
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    return client;
}

int Window::clientWidth() const {
    RECT c = clientInWindow();
    return c.right - c.left;
}

int Window::clientHeight() const {
    RECT c = clientInWindow();
    return c.bottom - c.top;
}

} // namespace emu::user
