#include "platform/emu/kernel/Registry.h"

namespace emu::kernel {

void bootRegistry(const MachineConfig&) {}
void shutdownRegistry() {}

} // namespace emu::kernel
