#include "platform/emu/user/WindowProcCookies.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace emu::user {

namespace {

constexpr LONG kCookieTag = 0x7FFF0000;

std::mutex g_mutex;
std::vector<WNDPROC> g_procs;

} // namespace

int QuietCalls::s_depth = 0;

LONG WindowProcCookies::cookieFor(WNDPROC proc) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = std::find(g_procs.begin(), g_procs.end(), proc);
    LONG index = static_cast<LONG>(it - g_procs.begin());
    if (it == g_procs.end()) {
        g_procs.push_back(proc);
    }
    return kCookieTag | index;
}

WNDPROC WindowProcCookies::procFor(LONG cookie) {
    std::lock_guard<std::mutex> lock(g_mutex);
    size_t index = static_cast<size_t>(cookie & 0xFFFF);
    if ((cookie & kCookieTag) != kCookieTag || index >= g_procs.size()) {
        return nullptr;
    }
    return g_procs[index];
}

WNDPROC WindowProcCookies::resolve(WNDPROC procOrCookie) {
    intptr_t value = reinterpret_cast<intptr_t>(procOrCookie);
    if (value >= kCookieTag && value <= (kCookieTag | 0xFFFF)) {
        return procFor(static_cast<LONG>(value));
    }
    return procOrCookie;
}

} // namespace emu::user
