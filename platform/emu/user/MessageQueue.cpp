#include "platform/emu/user/MessageQueue.h"

#include <algorithm>

namespace emu::user {

namespace {

// The oldest entry, taken off; the caller holds the queue's lock.
template <typename Entry> std::optional<Entry> takeOldest(std::deque<Entry>& entries) {
    if (entries.empty()) {
        return std::nullopt;
    }
    Entry entry = entries.front();
    entries.pop_front();
    return entry;
}

} // namespace

void MessageQueue::post(const MSG& message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.push_back(message);
}

void MessageQueue::postFront(const MSG& message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.push_front(message);
}

void MessageQueue::postInput(const InputEvent& event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_input.push_back(event);
}

void MessageQueue::postQuit(int exitCode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    m_exitCode = exitCode;
}

std::optional<MSG> MessageQueue::takePosted() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return takeOldest(m_posted);
}

std::optional<InputEvent> MessageQueue::takeInput() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return takeOldest(m_input);
}

std::optional<MSG> MessageQueue::takeQuit() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_quit) {
        return std::nullopt;
    }
    m_quit = false;
    MSG message{};
    message.message = WM_QUIT;
    message.wParam = static_cast<WPARAM>(m_exitCode);
    return message;
}

bool MessageQueue::hasPosted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_posted.empty() || m_quit;
}

bool MessageQueue::hasInput() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_input.empty();
}

void MessageQueue::dropFor(HWND window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.erase(std::remove_if(m_posted.begin(), m_posted.end(),
                                  [&](const MSG& m) { return m.hwnd == window; }),
                   m_posted.end());
}

void MessageQueue::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_posted.clear();
    m_input.clear();
    m_quit = false;
    m_exitCode = 0;
}

} // namespace emu::user
