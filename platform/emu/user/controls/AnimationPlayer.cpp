#include "platform/emu/user/controls/AnimationPlayer.h"

#include "platform/emu/kernel/SystemInfo.h"

#include <algorithm>
#include <optional>
#include <set>

namespace emu::user {

namespace {

struct Players {
    std::mutex mutex;
    std::set<AnimationPlayer*> all;
    std::function<void()> firstStepHook;
};

Players& players() {
    static Players instance;
    return instance;
}

} // namespace

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

AnimationPlayer::AnimationPlayer(ShowFrame show) : m_show(std::move(show)) {
    std::lock_guard<std::mutex> lock(players().mutex);
    players().all.insert(this);
}

AnimationPlayer::~AnimationPlayer() {
    {
        std::lock_guard<std::mutex> lock(players().mutex);
        players().all.erase(this);
    }
    stop();
}

void AnimationPlayer::catchUpAll() {
    std::lock_guard<std::mutex> lock(players().mutex);
    for (AnimationPlayer* player : players().all) {
        player->catchUp();
    }
}

void AnimationPlayer::setFirstStepHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(players().mutex);
    players().firstStepHook = std::move(hook);
}

void AnimationPlayer::start(int from, int to, int repeat, std::chrono::microseconds period) {
    stop();
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> lock(players().mutex);
        hook = players().firstStepHook;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
        m_running = true;
    }
    // The playback's time starts here, not when the thread first runs.
    Playback playback{from, to, repeat, std::max<int64_t>(period.count(), 1)};
    m_thread = std::thread([this, playback, hook, time = PlaybackTime()]() mutable {
        if (hook) {
            hook();
        }
        run(time, playback);
    });
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

void AnimationPlayer::catchUp() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_running) {
        return;
    }
    uint64_t request = ++m_requests;
    m_wake.notify_all();
    m_answered.wait(lock, [&] { return !m_running || m_answeredRequests >= request; });
}

void AnimationPlayer::run(PlaybackTime& time, const Playback& playback) {
    const int64_t frames = playback.to - playback.from + 1;
    const int64_t lastStep = playback.repeat < 0 ? -1 : playback.repeat * frames - 1;
    int64_t shownStep = -1;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        uint64_t request = m_requests;
        int64_t now = time.now();
        int64_t step = now / playback.period;
        bool finished = lastStep >= 0 && step >= lastStep;
        if (finished) {
            step = lastStep;
        }
        if (step != shownStep) {
            lock.unlock();
            m_show(playback.from + static_cast<int>(step % frames));
            lock.lock();
            shownStep = step;
        }
        m_answeredRequests = request;
        m_answered.notify_all();
        if (finished) {
            break;
        }
        // Virtual time moves only when the machine's program reads or
        // advances it: look again after a host millisecond.
        auto pause = time.isVirtual()
                         ? std::chrono::microseconds(1000)
                         : std::chrono::microseconds((step + 1) * playback.period - now);
        m_wake.wait_for(lock, pause, [&] { return m_stopping || m_requests != request; });
    }
    m_running = false;
    m_answered.notify_all();
}

} // namespace emu::user
