#include "platform/emu/user/HostInput.h"

#include "platform/emu/user/Coordinate.h"
#include "platform/emu/user/WindowManager.h"
#include "platform/emu/user/controls/AnimationPlayer.h"

namespace emu::user {

namespace {

void postInput(InputKind kind, POINT screen, UINT key) {
    if (WindowManager* m = WindowManager::current()) {
        m->postInput(InputEvent{kind, screen, key, GetTickCount()});
    }
}

} // namespace

void setIdleHandler(std::function<void()> handler) {
    if (WindowManager* m = WindowManager::current()) {
        m->setIdleHandler(std::move(handler));
    }
}

void setPollHandler(std::function<void()> handler) {
    if (WindowManager* m = WindowManager::current()) {
        m->setPollHandler(std::move(handler));
    }
}

void setDrawnHandler(std::function<void()> handler) {
    if (WindowManager* m = WindowManager::current()) {
        m->setDrawnHandler(std::move(handler));
    }
}

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
    auto tops = m->tree().topLevelsByAge();
    return tops.empty() ? nullptr : tops.front()->handle();
}

HWND activeWindow() {
    WindowManager* m = WindowManager::current();
    Window* active = m != nullptr ? m->activeWindow() : nullptr;
    return active != nullptr ? active->handle() : nullptr;
}

bool closeBoxPoint(HWND handle, POINT& screen) {
    WindowManager* m = WindowManager::current();
    Window* window = WindowManager::windowOf(handle);
    if (window == nullptr || !window->hasCloseBox()) {
        return false;
    }
    RECT box = m->tree().closeBoxOnScreen(window);
    screen = POINT{midCoordinate(box.left, box.right), midCoordinate(box.top, box.bottom)};
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
            m->postQuit(static_cast<int>(message.wParam));
            return;
        }
        m->translate(message);
        m->dispatch(message);
    }
}

void catchUpAnimations() {
    AnimationPlayer::catchUpAll();
}

} // namespace emu::user
