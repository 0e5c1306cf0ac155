// kernel32's ANSI string functions of the emulated machine.
#include "platform/emu/kernel/AnsiText.h"
#include "platform/win32.h"

#include <cstring>

namespace {

// A null string sorts before every other string, as kernel32 orders it.
template <typename Compare> int compareOrNull(LPCSTR a, LPCSTR b, Compare compare) {
    if (a == nullptr || b == nullptr) {
        return (a != nullptr) - (b != nullptr);
    }
    return compare(a, b);
}

} // namespace

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    return compareOrNull(lpString1, lpString2, emu::kernel::AnsiText::compareNoCase);
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    return compareOrNull(lpString1, lpString2, emu::kernel::AnsiText::compare);
}

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}
