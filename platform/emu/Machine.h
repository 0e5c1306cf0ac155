// One emulated Windows 95 machine per process. The host's main, the tests and
// the benchmarks describe the machine with a MachineConfig and boot it; every
// emulated Win32 function then works on that machine.
#pragma once

#include "platform/win32.h"

#include <map>
#include <string>

namespace emu {

enum class ClockMode { Real, Virtual };
enum class RestartAnswer { Accept, Refuse };

struct MachineConfig {
    // Drive letter (upper case) to host folder.
    std::map<char, std::string> drives;
    // The Windows directory as a Windows path.
    std::string windowsDir = "C:\\WINDOWS";
    // The current directory as a Windows path; empty means the host's current
    // folder (mapped as D: when it lies inside no drive).
    std::string currentDir;
    // Host path of the HKEY_LOCAL_MACHINE file; empty means SYSTEM.REG in the
    // Windows directory.
    std::string registryFile;
    DWORD platformId = VER_PLATFORM_WIN32_WINDOWS;
    std::string csdVersion;
    ClockMode clock = ClockMode::Real;
    DWORD tickStart = 0;
    RestartAnswer restart = RestartAnswer::Accept;
    // Host path of the trace file; empty means no trace.
    std::string traceFile;
    int screenWidth = 800;
    int screenHeight = 600;
    int screenDepth = 32;
    bool headless = true;
};

// Prepares the machine described by config, replacing any machine booted
// before. Throws std::runtime_error with a one-line reason when the
// configuration cannot work (a drive folder that does not exist, say).
void boot(const MachineConfig& config);

// Tears the machine down: windows, open files, threads. Safe to call twice.
void shutdown();

// The configuration of the running machine.
const MachineConfig& config();

} // namespace emu
