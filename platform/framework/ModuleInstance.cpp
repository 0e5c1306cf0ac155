#include "platform/framework/ModuleInstance.h"

namespace {
HINSTANCE g_hInstance = nullptr;
} // namespace

HINSTANCE AfxGetInstanceHandle() {
    return g_hInstance != nullptr ? g_hInstance : ::GetModuleHandleA(nullptr);
}

void AfxSetInstanceHandle(HINSTANCE hInstance) {
    g_hInstance = hInstance;
}
