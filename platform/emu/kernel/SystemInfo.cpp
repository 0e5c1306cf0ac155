#include "platform/emu/kernel/SystemInfo.h"

#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/TickClock.h"
#include "platform/emu/kernel/WindowsRelease.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace emu::kernel {

namespace {

struct VersionNumbers {
    DWORD major;
    DWORD minor;
    DWORD build;
};

struct SystemState {
    DWORD platformId = VER_PLATFORM_WIN32_WINDOWS;
    VersionNumbers version{4, 0, 950};
    std::string csdVersion;
    RestartAnswer restart = RestartAnswer::Accept;
    std::optional<UINT> restartFlags;
    bool sessionEnding = false;
};

std::mutex g_systemMutex;
SystemState g_system;
TickClock g_clock;

// The Windows 95 family repeats its version in the high word of the build
// number.
DWORD familyBuildNumber(DWORD major, DWORD minor, DWORD build) {
    return major << 24 | minor << 16 | build;
}

// Without a release in the registry: the first release of Windows 95; the
// other families report a release of theirs from the same years.
VersionNumbers versionOf(DWORD platformId) {
    switch (platformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return {4, 0, familyBuildNumber(4, 0, 950)};
    case VER_PLATFORM_WIN32_NT:
        return {4, 0, 1381};
    case VER_PLATFORM_WIN32s:
        return {3, 10, 0};
    default:
        return {4, 0, 0};
    }
}

constexpr const char* kNlsKey = "System\\CurrentControlSet\\Control\\Nls\\CodePage";

// A code page number the registry records as a decimal text ("932"), blanks
// around it allowed; nullopt for anything else.
std::optional<UINT> registryCodePage(const char* name) {
    std::optional<std::string> text = localMachineString(kNlsKey, name);
    if (!text) {
        return std::nullopt;
    }
    size_t first = text->find_first_not_of(' ');
    size_t last = text->find_last_not_of(' ');
    if (first == std::string::npos || last - first >= 5) {
        return std::nullopt;
    }
    UINT number = 0;
    for (size_t i = first; i <= last; ++i) {
        char c = (*text)[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<UINT>(c - '0');
    }
    return number;
}

} // namespace

// Makes ansi (and the OEM code page that goes with it) the machine's.
void useAnsiCodePage(UINT ansi) {
    useCodePages(*CodePage::find(ansi), *CodePage::find(CodePage::oemPartner(ansi)));
}

void bootCodePages(const MachineConfig& config) {
    UINT ansi = config.codePage.value_or(1252);
    if (!CodePage::isAnsiChoice(ansi)) {
        ansi = 1252;
    }
    // The registry is read in the code page the machine runs with. A
    // REGEDIT4 text whose key names hold a trail byte '\\' reads only in its
    // own code page: one that reads in a double-byte code page and records
    // that very code page is taken for it.
    useAnsiCodePage(ansi);
    std::optional<UINT> installed = registryCodePage("ACP");
    for (UINT candidate : {932u, 936u, 949u, 950u}) {
        if (installed || candidate == ansi) {
            continue;
        }
        useAnsiCodePage(candidate);
        if (registryCodePage("ACP") == candidate) {
            installed = candidate;
        }
    }
    if (installed && CodePage::isAnsiChoice(*installed)) {
        ansi = *installed;
    }
    useAnsiCodePage(ansi);
    std::optional<UINT> installedOem = registryCodePage("OEMCP");
    if (installedOem && CodePage::find(*installedOem) != nullptr) {
        useCodePages(*CodePage::find(ansi), *CodePage::find(*installedOem));
    }
}

void bootSystemInfo(const MachineConfig& config) {
    {
        std::lock_guard<std::mutex> lock(g_systemMutex);
        g_system = SystemState{};
        g_system.platformId = config.platformId.value_or(VER_PLATFORM_WIN32_WINDOWS);
        g_system.version = versionOf(g_system.platformId);
        std::optional<WindowsRelease> release = WindowsRelease::installed();
        DWORD major = 0;
        DWORD minor = 0;
        DWORD build = 0;
        if (g_system.platformId == VER_PLATFORM_WIN32_WINDOWS && release &&
            release->numbers(major, minor, build)) {
            g_system.version = {major, minor, familyBuildNumber(major, minor, build)};
        }
        std::optional<std::string> installedText =
            release ? release->subVersionNumber() : std::nullopt;
        g_system.csdVersion = config.csdVersion.value_or(installedText.value_or(""));
        g_system.restart = config.restart;
    }
    g_clock.reset(config.clock, config.tickStart);
}

bool fillVersionRecord(OSVERSIONINFOA& record) {
    if (record.dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(g_systemMutex);
    const VersionNumbers& version = g_system.version;
    record.dwMajorVersion = version.major;
    record.dwMinorVersion = version.minor;
    record.dwBuildNumber = version.build;
    record.dwPlatformId = g_system.platformId;
    std::memset(record.szCSDVersion, 0, sizeof record.szCSDVersion);
    size_t length = std::min(g_system.csdVersion.size(), sizeof record.szCSDVersion - 1);
    std::memcpy(record.szCSDVersion, g_system.csdVersion.data(), length);
    return true;
}

DWORD tickCount() {
    return g_clock.read();
}

std::optional<DWORD> virtualTick() {
    return g_clock.virtualTick();
}

void sleepTicks(DWORD ms) {
    g_clock.sleep(ms);
}

void advanceVirtualClock(DWORD ms) {
    g_clock.advance(ms);
}

bool requestRestart(UINT flags) {
    std::lock_guard<std::mutex> lock(g_systemMutex);
    g_system.restartFlags = flags;
    bool accepted = g_system.restart == RestartAnswer::Accept;
    if (accepted) {
        g_system.sessionEnding = true;
    }
    return accepted;
}

std::optional<UINT> restartRequested() {
    std::lock_guard<std::mutex> lock(g_systemMutex);
    return g_system.restartFlags;
}

bool sessionEnding() {
    std::lock_guard<std::mutex> lock(g_systemMutex);
    return g_system.sessionEnding;
}

} // namespace emu::kernel
