#include "platform/emu/user/UserBoot.h"

#include "platform/emu/user/BuiltinClasses.h"
#include "platform/emu/user/WindowManager.h"

namespace emu::user {

void bootWindows(const MachineConfig& config) {
    WindowManager& manager =
        WindowManager::boot(RECT{0, 0, config.screenWidth, config.screenHeight});
    manager.registerClasses(&registerBuiltinClasses);
}

void shutdownWindows() {
    WindowManager::shutdown();
}

} // namespace emu::user
