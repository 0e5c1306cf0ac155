// The clock of an animation control without ACS_TIMER: a thread of its own
// that shows frames one period apart, so the clip keeps moving while the
// program's thread is busy. The periods are the machine's time: host time,
// or on a machine that keeps virtual time, the virtual tick counter, so that
// frames move only as that counter does and a run shows the same frames on
// any host. Playback time starts when start() is called, on the caller's
// thread: the frame due at a moment is the one that many periods after the
// start, however late the thread first runs or how long it is held up (it
// skips the frames it missed rather than rushing through them). Stopping
// wakes the thread and waits for it.
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

    explicit AnimationPlayer(ShowFrame show);
    ~AnimationPlayer();
    AnimationPlayer(const AnimationPlayer&) = delete;
    AnimationPlayer& operator=(const AnimationPlayer&) = delete;

    // Shows frames `from` to `to` one `period` apart, `repeat` times (negative:
    // until stopped), the first one now. A playback already running is
    // stopped first.
    void start(int from, int to, int repeat, std::chrono::microseconds period);
    void stop();
    // Returns once the thread has shown the frame due at the machine's time
    // as it stands now (at once when nothing plays).
    void catchUp();

    // catchUp of every player there is: the screen then shows what the
    // machine's time calls for, not what the threads' scheduling made of it.
    static void catchUpAll();
    // Work each playback thread started from now on does before its first
    // step (a test holds the thread back with it); nullptr for none.
    static void setFirstStepHook(std::function<void()> hook);

private:
    class PlaybackTime;
    struct Playback {
        int from;
        int to;
        int repeat;
        int64_t period; // microseconds
    };

    void run(PlaybackTime& time, const Playback& playback);

    ShowFrame m_show;
    std::mutex m_mutex;
    // Wakes the thread: stop() or a catchUp() request.
    std::condition_variable m_wake;
    // Tells catchUp() the thread answered or ended.
    std::condition_variable m_answered;
    bool m_stopping = false;
    bool m_running = false;
    // catchUp() requests made and answered: the thread answers a request by
    // reading the time after it was made and showing the frame due then.
    uint64_t m_requests = 0;
    uint64_t m_answeredRequests = 0;
    std::thread m_thread;
};

} // namespace emu::user
