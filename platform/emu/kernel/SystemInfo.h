#pragma once

#include "platform/emu/Machine.h"

namespace emu::kernel {

void bootSystemInfo(const MachineConfig& config);

} // namespace emu::kernel
