// What an emulated machine is made of: its drives, Windows directory,
// registry file, version, clock, restart answer, trace and screen. The host's
// options, the tests and the benchmarks fill one in and boot it (Machine.h);
// kernel, gdi, user and host read the running one through config(). This
// header includes nothing of the emulation, so any of them may include it.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace emu {

enum class ClockMode { Real, Virtual };
enum class RestartAnswer { Accept, Refuse };

// The exit status of a process that MachineConfig::crashAfterFileSteps ended.
constexpr int kCrashExitStatus = 86;

struct MachineConfig {
    // Drive letter (upper case) to host folder.
    std::map<char, std::string> drives;
    // The Windows directory as a Windows path; empty means the one C:'s
    // MSDOS.SYS names ([Paths] WinDir=), else C:\WINDOWS.
    std::string windowsDir;
    // The current directory as a Windows path; empty means the start folder
    // (mapped as D: when it lies inside no drive).
    std::string currentDir;
    // The host folder the program starts in; empty means the host's current
    // folder.
    std::string startFolder;
    // Short names of entries with long names, as a FAT disk keeps them:
    // host folder (a drive folder's path) to upper-case short name to the
    // entry's host name. A name matching no entry of its folder is looked up
    // here.
    std::map<std::string, std::map<std::string, std::string>> shortNames;
    // Drive folders whose files may be there before their bytes are (an
    // image drive's, ImageDrive): called with the host path of every entry
    // the machine is about to use through a drive path (to open, copy,
    // rename, delete or ask about it), which then has its bytes; false when
    // they could not be had, and the machine takes the path as absent.
    // Empty: every file is whole.
    std::function<bool(const std::string& hostPath)> fetchContent;
    // Host path of the HKEY_LOCAL_MACHINE file; empty means SYSTEM.DAT in the
    // Windows directory when it exists, else SYSTEM.REG there.
    std::string registryFile;
    // What GetVersionExA reports, when given (--platform-id, --csd); else the
    // release the registry records (kernel/WindowsRelease), else the
    // Windows 95 family with an empty service-pack text.
    std::optional<DWORD> platformId;
    std::optional<std::string> csdVersion;
    // The ANSI code page (--codepage: 1252, 932, 936, 949 or 950) of an
    // installation whose registry records none; the OEM code page goes with
    // it (437 with 1252). Unset: 1252 and 437 (kernel/CodePage).
    std::optional<UINT> codePage;
    ClockMode clock = ClockMode::Real;
    DWORD tickStart = 0;
    RestartAnswer restart = RestartAnswer::Accept;
    // Host path of the trace file; empty means no trace.
    std::string traceFile;
    int screenWidth = 800;
    int screenHeight = 600;
    int screenDepth = 32;
    bool headless = true;
    // For crash tests only: when this many file-changing steps (creating,
    // writing, syncing, renaming, removing a file...) have been taken, the
    // machine ends its process at once with kCrashExitStatus, leaving the
    // files as a crash there would. -1: never.
    int crashAfterFileSteps = -1;
    // For tests: the write of file data of this number (from 1 after boot)
    // fails as on a full disk, with the host's "no space" error; the writes
    // before and after it succeed. -1: none.
    int failingWrite = -1;
    // The most bytes a profile section or names list read returns, whatever
    // the caller's buffer, as Windows 95 stops at 32,767 characters. 0: no
    // limit.
    DWORD profileListLimit = 0;
    // The most bytes of a file the profile functions take, as Windows 95's
    // were made for small files: reads see only the first this many bytes
    // of a file, and a write keeps only the first this many bytes of what it
    // makes of them. 0: no limit.
    DWORD profileFileLimit = 0;
};

// The configuration of the running machine: the one boot() was last given,
// or the defaults before the first boot.
const MachineConfig& config();

// Makes config the running configuration. boot() calls it before it prepares
// drives, registry, screen and windows, which then read it through config().
void setRunningConfig(const MachineConfig& config);

} // namespace emu
