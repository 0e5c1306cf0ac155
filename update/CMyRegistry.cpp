#include "update/CMyRegistry.h"

LONG CMyRegistry::DeleteKey(LPCSTR path) {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}
