#include "platform/emu/user/controls/AnimationPlayer.h"

namespace emu::user {

void AnimationPlayer::start(int from, int to, int repeat, std::chrono::microseconds period) {
    stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this, from, to, repeat, period] { run(from, to, repeat, period); });
}

void AnimationPlayer::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool AnimationPlayer::waitUntil(std::chrono::steady_clock::time_point when) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_until(lock, when, [this] { return m_stopping; });
}

void AnimationPlayer::run(int from, int to, int repeat, std::chrono::microseconds period) {
    auto next = std::chrono::steady_clock::now();
    for (int pass = 0; repeat < 0 || pass < repeat; ++pass) {
        for (int frame = from; frame <= to; ++frame) {
            m_show(frame);
            next += period;
            // A thread held up for long does not rush through the frames it missed.
            auto now = std::chrono::steady_clock::now();
            if (next + period < now) {
                next = now;
            }
            if (!waitUntil(next)) {
                return;
            }
        }
    }
}

} // namespace emu::user
