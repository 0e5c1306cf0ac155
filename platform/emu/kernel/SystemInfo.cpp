#include "platform/emu/kernel/SystemInfo.h"

namespace emu::kernel {

void bootSystemInfo(const MachineConfig&) {}

} // namespace emu::kernel
