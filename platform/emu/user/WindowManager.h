#pragma once

#include "platform/emu/Machine.h"

namespace emu::user {

void bootWindows(const MachineConfig& config);
void shutdownWindows();

} // namespace emu::user
