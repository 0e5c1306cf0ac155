// Drives, paths and whole-file access of the emulated machine. Windows paths
// (C:\WINDOWS\INF\MSHDC.INF) map to host files below the folder of their drive
// letter; names match existing host files without regard to letter case, as
// on a FAT disk, and ".." never leaves the drive's folder.
#pragma once

#include "platform/emu/MachineConfig.h"
#include "platform/emu/kernel/FileTable.h"

#include <optional>
#include <string>
#include <string_view>

namespace emu::kernel {

// Maps the drives of config and sets the current directory; throws
// std::runtime_error when a drive folder or the configured current
// directory does not exist.
void bootFiles(const MachineConfig& config);
// Closes every file handle and unmaps every view.
void shutdownFiles();

// The host path of a Windows path: absolute (X:\...), rooted (\...) or
// relative to the current directory. Existing components are matched without
// regard to case; missing ones keep the case they were given. nullopt when the
// drive is not mapped or the path is malformed.
std::optional<std::string> resolveWindowsPath(std::string_view windowsPath);

// The host entry a Windows path names, a link there not followed, and whether
// the way to it passes through a link that leads outside its drive or
// nowhere, or its bytes could not be had (MachineConfig::fetchContent): the
// path is absent then; nullopt when the drive is not mapped or the path is
// malformed.
struct NamedHostEntry {
    std::string hostPath;
    bool leavesDrive;
};
std::optional<NamedHostEntry> nameWindowsPath(std::string_view windowsPath);

// The current directory as a Windows path (no trailing backslash but on a
// drive root: "D:\", "C:\DISK").
std::string currentDirectory();

// Makes windowsPath, an existing folder, the current directory. Returns
// ERROR_SUCCESS or the Win32 error code of the reason.
DWORD setCurrentDirectory(std::string_view windowsPath);

// The Windows directory as a Windows path.
std::string windowsDirectory();

// The most bytes of one file the kernel reads whole into memory (a profile
// file, MSDOS.SYS): far above any such file of Windows 95, whose profile
// functions were made for files of a few KB, and far below the memory of a
// small host.
constexpr unsigned long long kWholeFileReadLimit = 16ull * 1024 * 1024;
// The same for a registry file. A hive of Windows 98 or ME with many
// programs installed runs to megabytes, and no published limit says how far
// it may grow; refusing a real one would stop every install on that
// machine, so its bound lies well above the largest seen.
constexpr unsigned long long kRegistryFileReadLimit = 128ull * 1024 * 1024;

// The whole content of a host file, read as an opener that grants others
// reading and writing; nullopt when it is missing, another opener denies
// reading, or it is larger than limit.
std::optional<std::string> readFileShared(const std::string& hostPath,
                                          unsigned long long limit = kWholeFileReadLimit);
// Whether the file, read as readFileShared() reads it, holds exactly these
// bytes; compared chunk by chunk, without a copy of the whole file.
bool fileHolds(const std::string& hostPath, std::string_view bytes);

// Replaces a host file's content through a temporary file in the same folder
// and a rename, so a crash leaves the old or the new file. Fails, changing
// nothing, when the file is read-only, another opener denies writing, or the
// folder does not exist.
bool replaceFileAtomically(const std::string& hostPath, std::string_view bytes);

// Replaces a file of the system's own, such as the registry, as Windows writes
// it: whatever its read-only, hidden and system attributes, which the new
// file keeps. A link is followed and the file it leads to is replaced, the
// link staying a link. Returns ERROR_SUCCESS, or ERROR_ACCESS_DENIED, with the
// file unchanged, when it is no regular file, the host user may not write it
// or its folder, another opener denies writing, or the write fails.
DWORD replaceSystemFile(const std::string& hostPath, std::string_view bytes);

// CopyFileA on host paths: the copy takes the source's attributes and
// replaces the target atomically. Returns ERROR_SUCCESS or a Win32 error code.
DWORD copyHostFile(const std::string& from, const std::string& to, bool failIfExists);

// DeleteFileA on a host path: refused for folders, read-only files and files
// that any opener holds. Returns ERROR_SUCCESS or a Win32 error code.
DWORD deleteHostFile(const std::string& hostPath);

// The Win32 error code for a host path that does not exist:
// ERROR_PATH_NOT_FOUND when its folder is missing too, else
// ERROR_FILE_NOT_FOUND.
DWORD absenceError(const std::string& hostPath);

// The handles and views of the running machine.
FileTable& fileTable();

} // namespace emu::kernel
