// user32: system metrics and the work area, string resources, and the end
// of the session.
#include "platform/emu/MachineConfig.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/Look95.h"
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

BOOL WINAPI SystemParametersInfoA(UINT uiAction, UINT, LPVOID pvParam, UINT) {
    if (uiAction != SPI_GETWORKAREA || pvParam == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // No taskbar: the work area is the whole screen.
    *static_cast<RECT*>(pvParam) =
        RECT{0, 0, emu::config().screenWidth, emu::config().screenHeight};
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex) {
    switch (nIndex) {
    case SM_CXSCREEN:
        return emu::config().screenWidth;
    case SM_CYSCREEN:
        return emu::config().screenHeight;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return emu::user::Look95::kFixedFrame;
    case SM_CXICON:
    case SM_CYICON:
        return emu::user::Look95::kIconSize;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 15;
    default:
        return 0;
    }
}
