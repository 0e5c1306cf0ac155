// The user32 functions that reach the module's resources and the session.
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"

#include <algorithm>
#include <cstring>

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    // A zero-sized buffer has no room even for the terminator.
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        return 0;
    }
    lpBuffer[0] = '\0';
    if (hInstance != nullptr && hInstance != emu::kernel::moduleInstance()) {
        return 0;
    }
    auto text = emu::kernel::moduleString(uID);
    if (!text) {
        return 0;
    }
    size_t count = std::min(text->size(), static_cast<size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, text->data(), count);
    lpBuffer[count] = '\0';
    return static_cast<int>(count);
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    BOOL result = emu::kernel::requestRestart(uFlags) ? TRUE : FALSE;
    emu::TraceCall("ExitWindowsEx").num(uFlags).num(dwReason).result(result);
    return result;
}
