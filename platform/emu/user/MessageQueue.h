// The thread's message queue: posted messages in order, raw input waiting to
// be turned into messages, and the quit request. Painting is not queued: it is
// generated from the windows' update regions when the queue is empty.
#pragma once

#include "platform/win32.h"

#include <deque>
#include <mutex>
#include <optional>

namespace emu::user {

enum class InputKind { MouseMove, ButtonDown, ButtonUp, KeyDown, KeyUp };

struct InputEvent {
    InputKind kind;
    POINT screen{0, 0}; // mouse events
    UINT key = 0;       // key events: virtual-key code
    DWORD time = 0;
};

class MessageQueue {
public:
    void post(const MSG& message);
    // A message that must come next (WM_CHAR right after its WM_KEYDOWN).
    void postFront(const MSG& message);
    void postInput(const InputEvent& event);
    void postQuit(int exitCode);

    std::optional<MSG> takePosted();
    std::optional<InputEvent> takeInput();
    // The quit message, once, after the posted messages are gone.
    std::optional<MSG> takeQuit();
    bool hasPosted() const;
    bool hasInput() const;
    // Drops the messages of a window that no longer exists.
    void dropFor(HWND window);
    void clear();

private:
    mutable std::mutex m_mutex; // other threads may post
    std::deque<MSG> m_posted;
    std::deque<InputEvent> m_input;
    bool m_quit = false;
    int m_exitCode = 0;
};

} // namespace emu::user
