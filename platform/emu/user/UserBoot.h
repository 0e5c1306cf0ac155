// Boot and shutdown of the machine's window manager, with the window classes
// the emulated system provides before any program runs.
#pragma once

#include "platform/emu/MachineConfig.h"

namespace emu::user {

void bootWindows(const MachineConfig& config);
void shutdownWindows();

} // namespace emu::user
