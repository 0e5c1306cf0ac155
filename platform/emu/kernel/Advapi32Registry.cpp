// The advapi32 registry function that corvane calls.
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"

namespace {

bool isOtherPredefinedRoot(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_USERS;
}

LONG deleteKey(HKEY hKey, LPCSTR lpSubKey) {
    if (hKey != HKEY_LOCAL_MACHINE) {
        // The machine keeps only HKEY_LOCAL_MACHINE; the other roots are empty
        // and no key handle is ever handed out.
        return isOtherPredefinedRoot(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    }
    if (lpSubKey == nullptr || *lpSubKey == '\0') {
        return ERROR_BADKEY; // never the root itself
    }
    return emu::kernel::deleteLocalMachineKey(lpSubKey);
}

} // namespace

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    LONG result = deleteKey(hKey, lpSubKey);
    emu::TraceCall("RegDeleteKeyA").hkey(hKey).str(lpSubKey).result(result);
    return result;
}
