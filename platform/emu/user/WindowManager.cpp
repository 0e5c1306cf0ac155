#include "platform/emu/user/WindowManager.h"

namespace emu::user {

void bootWindows(const MachineConfig&) {}
void shutdownWindows() {}

} // namespace emu::user
