// The clock of an animation control without ACS_TIMER: a thread of its own
// that shows frames one period apart, so the clip keeps moving while the
// program's thread is busy. The periods are the machine's time: host time,
// or on a machine that keeps virtual time, the virtual tick counter, so that
// frames move only as that counter does and a run shows the same frames on
// any host. Stopping wakes the thread and waits for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace emu::user {

class AnimationPlayer {
public:
    using ShowFrame = std::function<void(int frame)>;

    explicit AnimationPlayer(ShowFrame show) : m_show(std::move(show)) {}
    ~AnimationPlayer() { stop(); }
    AnimationPlayer(const AnimationPlayer&) = delete;
    AnimationPlayer& operator=(const AnimationPlayer&) = delete;

    // Shows frames `from` to `to` one `period` apart, `repeat` times (negative:
    // until stopped). A playback already running is stopped first.
    void start(int from, int to, int repeat, std::chrono::microseconds period);
    void stop();

private:
    class PlaybackTime;

    void run(int from, int to, int repeat, std::chrono::microseconds period);
    // Waits until `due` microseconds of playback time have passed; false once
    // stop() asks the thread to end.
    bool waitUntil(PlaybackTime& time, int64_t due);

    ShowFrame m_show;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace emu::user
