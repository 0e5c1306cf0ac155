#pragma once

#include "platform/emu/Machine.h"

namespace emu::gdi {

void bootScreen(const MachineConfig& config);
void shutdownScreen();

} // namespace emu::gdi
