#include "platform/emu/user/controls/AnimationPlayer.h"

#include "platform/emu/kernel/SystemInfo.h"

#include <optional>

namespace emu::user {

// Microseconds since the playback started, by the machine's clock. The
// virtual counter is read without moving it, and its 32-bit wrap is followed.
class AnimationPlayer::PlaybackTime {
public:
    PlaybackTime()
        : m_realStart(std::chrono::steady_clock::now()), m_lastTick(kernel::virtualTick()) {}

    bool isVirtual() const { return m_lastTick.has_value(); }

    int64_t now() {
        if (!m_lastTick) {
            return std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - m_realStart)
                .count();
        }
        if (std::optional<DWORD> tick = kernel::virtualTick()) {
            m_virtualMs += static_cast<DWORD>(*tick - *m_lastTick);
            m_lastTick = tick;
        }
        return m_virtualMs * 1000;
    }

private:
    std::chrono::steady_clock::time_point m_realStart;
    std::optional<DWORD> m_lastTick;
    int64_t m_virtualMs = 0;
};

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

bool AnimationPlayer::waitUntil(PlaybackTime& time, int64_t due) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_stopping) {
            return false;
        }
        int64_t now = time.now();
        if (now >= due) {
            return true;
        }
        // Virtual time moves only when the machine's program reads or
        // advances it: look again after a host millisecond.
        auto pause = time.isVirtual() ? std::chrono::microseconds(1000)
                                      : std::chrono::microseconds(due - now);
        m_wake.wait_for(lock, pause);
    }
}

void AnimationPlayer::run(int from, int to, int repeat, std::chrono::microseconds period) {
    PlaybackTime time;
    int64_t next = time.now();
    for (int pass = 0; repeat < 0 || pass < repeat; ++pass) {
        for (int frame = from; frame <= to; ++frame) {
            m_show(frame);
            next += period.count();
            // A thread held up for long does not rush through the frames it missed.
            int64_t now = time.now();
            if (next + period.count() < now) {
                next = now;
            }
            if (!waitUntil(time, next)) {
                return;
            }
        }
    }
}

} // namespace emu::user
