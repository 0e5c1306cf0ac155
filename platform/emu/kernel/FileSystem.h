// Drives, paths and whole-file access of the emulated machine. Windows paths
// (C:\WINDOWS\INF\MSHDC.INF) map to host files below the folder of their drive
// letter; names match existing host files without regard to letter case, as
// on a FAT disk, and ".." never leaves the drive's folder.
#pragma once

#include "platform/emu/Machine.h"

#include <optional>
#include <string>
#include <string_view>

namespace emu::kernel {

void bootFiles(const MachineConfig& config);
void shutdownFiles();

// The host path of a Windows path: absolute (X:\...), rooted (\...) or
// relative to the current directory. Existing components are matched without
// regard to case; missing ones keep the case they were given. nullopt when the
// drive is not mapped or the path is malformed.
std::optional<std::string> resolveWindowsPath(std::string_view windowsPath);

// The current directory as a Windows path (no trailing backslash but on a
// drive root: "D:\", "C:\DISK").
std::string currentDirectory();

// The whole content of a host file, read as an opener that grants others
// reading and writing; nullopt when it is missing or another opener denies
// reading.
std::optional<std::string> readFileShared(const std::string& hostPath);

// Replaces a host file's content through a temporary file in the same folder
// and a rename, so a crash leaves the old or the new file. Fails, changing
// nothing, when the file is read-only, another opener denies writing, or the
// folder does not exist.
bool replaceFileAtomically(const std::string& hostPath, std::string_view bytes);

} // namespace emu::kernel
