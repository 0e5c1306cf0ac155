// The kernel32 functions that report on the machine: version, ticks, module.
#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/win32.h"

#include <cctype>
#include <string_view>

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return emu::kernel::ansiCodePage().equalNoCase(a, b);
}

} // namespace

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    if (lpVersionInformation == nullptr || !emu::kernel::fillVersionRecord(*lpVersionInformation)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI GetTickCount(void) {
    return emu::kernel::tickCount();
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    emu::kernel::sleepTicks(dwMilliseconds);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    // The program is the only module loaded: it answers to its own name.
    if (lpModuleName == nullptr || sameName(lpModuleName, "setup") ||
        sameName(lpModuleName, "setup.exe")) {
        return emu::kernel::moduleInstance();
    }
    return nullptr;
}
