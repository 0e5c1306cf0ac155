#include "platform/emu/kernel/TickClock.h"

#include <algorithm>
#include <thread>

namespace emu::kernel {

namespace {
// The longest host pause of one Sleep on the virtual clock, in milliseconds.
const DWORD kLongestHostPause = 10;
} // namespace

TickClock::TickClock() : m_boot(std::chrono::steady_clock::now()) {}

void TickClock::reset(ClockMode mode, DWORD start) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mode = mode;
    m_start = start;
    m_boot = std::chrono::steady_clock::now();
    m_virtual = start;
}

DWORD TickClock::read() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_mode == ClockMode::Virtual) {
        return m_virtual++; // unsigned: wraps at 2^32 as the real counter does
    }
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_boot);
    return m_start + static_cast<DWORD>(elapsed.count());
}

std::optional<DWORD> TickClock::virtualTick() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_mode != ClockMode::Virtual) {
        return std::nullopt;
    }
    return m_virtual;
}

void TickClock::advance(DWORD ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_mode == ClockMode::Virtual) {
        m_virtual += ms;
    }
}

void TickClock::sleep(DWORD ms) {
    bool virtualTime;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        virtualTime = m_mode == ClockMode::Virtual;
    }
    if (virtualTime) {
        // A program that sleeps waits for something outside it (another
        // process, say): the host thread pauses too, so that a polling loop
        // neither spins a core nor outruns what it waits for. The pause is
        // the time asked for up to kLongestHostPause: a copy that holds a
        // file for an instant may be kept off the processor by a busy host
        // for tens of milliseconds, and a loop that tries forty times must
        // still outlast it.
        advance(ms);
        if (ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, kLongestHostPause)));
        } else {
            std::this_thread::yield();
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

} // namespace emu::kernel
