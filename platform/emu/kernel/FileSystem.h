#pragma once

#include "platform/emu/Machine.h"

namespace emu::kernel {

void bootFiles(const MachineConfig& config);
void shutdownFiles();

} // namespace emu::kernel
