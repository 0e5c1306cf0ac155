#pragma once

#include "platform/emu/Machine.h"

namespace emu::kernel {

void bootRegistry(const MachineConfig& config);
void shutdownRegistry();

} // namespace emu::kernel
