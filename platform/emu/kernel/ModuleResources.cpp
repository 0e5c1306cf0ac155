#include "platform/emu/kernel/ModuleResources.h"

#include <mutex>

namespace emu::kernel {

namespace {
std::mutex g_resourcesMutex;
ModuleResources g_resources;
} // namespace

void setModuleResources(ModuleResources resources) {
    std::lock_guard<std::mutex> lock(g_resourcesMutex);
    g_resources = std::move(resources);
}

const ModuleResources& moduleResources() {
    return g_resources;
}

std::optional<std::string> moduleString(UINT id) {
    std::lock_guard<std::mutex> lock(g_resourcesMutex);
    auto found = g_resources.strings.find(id);
    if (found == g_resources.strings.end()) {
        return std::nullopt;
    }
    return found->second;
}

HINSTANCE moduleInstance() {
    // The image base that Win32 linkers give an executable by default.
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));
}

} // namespace emu::kernel
