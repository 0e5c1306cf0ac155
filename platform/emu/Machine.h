// One emulated Windows 95 machine per process. The host's main, the tests and
// the benchmarks describe the machine with a MachineConfig and boot it; every
// emulated Win32 function then works on that machine. Booting prepares the
// kernel, gdi and user alike, so only the code that starts a machine includes
// this.
#pragma once

#include "platform/emu/MachineConfig.h"

namespace emu {

// Prepares the machine described by config, replacing any machine booted
// before. Throws std::runtime_error with a one-line reason when the
// configuration cannot work (a drive folder that does not exist, say).
void boot(const MachineConfig& config);

// Tears the machine down: windows, open files, threads. Safe to call twice.
void shutdown();

} // namespace emu
