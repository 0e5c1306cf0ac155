// What the painter and the input router ask of the window manager that owns
// them: the tree to read and the few operations they start. They hold this
// narrow view instead of the manager, so neither knows the manager's other
// jobs and the manager is the one module that ties the three together.
#pragma once

#include "platform/emu/user/WindowTree.h"

#include <mutex>

namespace emu::user {

class ManagerServices {
public:
    virtual const WindowTree& tree() const = 0;
    // Held by the manager while it changes the tree, by other threads while they read it.
    virtual std::unique_lock<std::recursive_mutex> lockTree() const = 0;
    virtual Window* activeWindow() const = 0;
    virtual Window* focusWindow() const = 0;
    virtual LRESULT send(Window* window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual void activate(Window* window, WORD how) = 0;
    // Frame and caption again, as they show now (the close box pressed or not).
    virtual void paintNonClient(Window* window) = 0;

protected:
    ~ManagerServices() = default;
};

} // namespace emu::user
