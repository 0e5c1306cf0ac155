#include "platform/emu/gdi/Screen.h"

namespace emu::gdi {

void bootScreen(const MachineConfig&) {}
void shutdownScreen() {}

} // namespace emu::gdi
