#include "platform/emu/Machine.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/UserBoot.h"

namespace emu {

namespace {
bool g_booted = false;
} // namespace

void boot(const MachineConfig& config) {
    shutdown();
    setRunningConfig(config);
    Trace::open(config.traceFile);
    kernel::bootFiles(config);
    // The version record comes from the registry.
    kernel::bootRegistry(config);
    // So do the code pages, which every text walker after this follows.
    kernel::bootCodePages(config);
    kernel::bootSystemInfo(config);
    gdi::bootScreen(config);
    user::bootWindows(config);
    g_booted = true;
}

void shutdown() {
    if (!g_booted) {
        return;
    }
    g_booted = false;
    user::shutdownWindows();
    gdi::shutdownScreen();
    kernel::shutdownRegistry();
    kernel::shutdownFiles();
    kernel::useCodePages(kernel::CodePage::windows1252(), *kernel::CodePage::find(437));
    Trace::close();
}

} // namespace emu
