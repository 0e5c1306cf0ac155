// Deletes device keys below HKEY_LOCAL_MACHINE.
#pragma once

#include "platform/win32.h"

class CMyRegistry {
public:
    CMyRegistry() = default;
    virtual ~CMyRegistry() = default;

    // Removes the key at path below HKEY_LOCAL_MACHINE with all its subkeys;
    // 1 when the platform reports success, else 0.
    int DeleteKey(LPCSTR path);
};
