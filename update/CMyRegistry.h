// Deletes device keys below HKEY_LOCAL_MACHINE.
#pragma once

#include "platform/win32.h"

class CMyRegistry {
public:
    CMyRegistry() = default;
    virtual ~CMyRegistry() = default;

    // Removes the key at path below HKEY_LOCAL_MACHINE with all its subkeys;
    // the platform's Win32 result: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when
    // there is no such key, anything else when the registry was not changed.
    LONG DeleteKey(LPCSTR path);
};
