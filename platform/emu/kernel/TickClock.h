// The tick counter behind GetTickCount and Sleep. Real mode counts host
// milliseconds since boot; virtual mode is a counter that moves only when it
// is read (1 ms per reading) or told to, so that a run takes the same course
// on any machine. Both start at the configured tick and wrap at 32 bits.
#pragma once

#include "platform/emu/MachineConfig.h"

#include <chrono>
#include <mutex>
#include <optional>

namespace emu::kernel {

class TickClock {
public:
    TickClock();

    // Starts the counter again at start, in mode.
    void reset(ClockMode mode, DWORD start);
    // The current tick; in virtual mode each reading then advances by 1 ms.
    DWORD read();
    // The virtual counter as it stands, without moving it; nullopt in real mode.
    std::optional<DWORD> virtualTick();
    // Lets ms pass in virtual mode; real time cannot be pushed on.
    void advance(DWORD ms);
    // Waits ms of the counter's time: real waiting, or a virtual advance with
    // a pause of the host thread of ms, but 10 ms at most.
    void sleep(DWORD ms);

private:
    // Shared with any thread of the program (an animation may read the ticks).
    std::mutex m_mutex;
    ClockMode m_mode = ClockMode::Real;
    DWORD m_start = 0;
    std::chrono::steady_clock::time_point m_boot;
    DWORD m_virtual = 0;
};

} // namespace emu::kernel
