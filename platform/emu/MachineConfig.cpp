#include "platform/emu/MachineConfig.h"

namespace emu {

namespace {
MachineConfig g_running;
} // namespace

const MachineConfig& config() {
    return g_running;
}

void setRunningConfig(const MachineConfig& config) {
    g_running = config;
}

} // namespace emu
