#include "update/CMyRegistry.h"

int CMyRegistry::DeleteKey(LPCSTR path) {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 1 : 0;
}
