#include "platform/emu/kernel/FileSystem.h"

namespace emu::kernel {

void bootFiles(const MachineConfig&) {}
void shutdownFiles() {}

} // namespace emu::kernel
