// kernel32's ANSI string functions and code pages of the emulated machine.
#include "platform/emu/kernel/CodePage.h"
#include "platform/win32.h"

#include <cstring>
#include <optional>
#include <string>

using emu::kernel::ansiCodePage;
using emu::kernel::CodePage;

namespace {

// A null string sorts before every other string, as kernel32 orders it.
template <typename Compare> int compareOrNull(LPCSTR a, LPCSTR b, Compare compare) {
    if (a == nullptr || b == nullptr) {
        return (a != nullptr) - (b != nullptr);
    }
    return compare(a, b);
}

// The code page a conversion names: the machine's ANSI or OEM code page, or
// one by its number; nullptr for one the machine does not know.
const CodePage* namedCodePage(UINT number) {
    switch (number) {
    case CP_ACP:
        return &ansiCodePage();
    case CP_OEMCP:
        return &emu::kernel::oemCodePage();
    default:
        return CodePage::find(number);
    }
}

int failWith(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
    return compareOrNull(lpString1, lpString2,
                         [](LPCSTR a, LPCSTR b) { return ansiCodePage().compareNoCase(a, b); });
}

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
    return compareOrNull(lpString1, lpString2, CodePage::compare);
}

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}

UINT WINAPI GetACP(void) {
    return ansiCodePage().number();
}

UINT WINAPI GetOEMCP(void) {
    return emu::kernel::oemCodePage().number();
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
    return ansiCodePage().isLeadByte(TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
    const emu::kernel::CodePage* page = namedCodePage(CodePage);
    if (page == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return page->isLeadByte(TestChar) ? TRUE : FALSE;
}

// A length of -1 takes the text with its terminator, whose conversion ends
// the result too; without MB_ERR_INVALID_CHARS an unmapped character is
// dropped. A cchWideChar of 0 asks only for the length.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    const emu::kernel::CodePage* page = namedCodePage(CodePage);
    if (page == nullptr || lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
        cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr) ||
        (lpWideCharStr != nullptr &&
         static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr))) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    constexpr DWORD kKnownFlags =
        MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~kKnownFlags) != 0 ||
        (dwFlags & (MB_PRECOMPOSED | MB_COMPOSITE)) == (MB_PRECOMPOSED | MB_COMPOSITE)) {
        return failWith(ERROR_INVALID_FLAGS);
    }
    size_t size =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    std::optional<std::u16string> wide = page->toUtf16(std::string_view(lpMultiByteStr, size),
                                                       (dwFlags & MB_ERR_INVALID_CHARS) != 0);
    if (!wide) {
        return failWith(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (cchWideChar == 0) {
        return static_cast<int>(wide->size());
    }
    if (wide->size() > static_cast<size_t>(cchWideChar)) {
        return failWith(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpWideCharStr, wide->data(), wide->size() * sizeof(WCHAR));
    return static_cast<int>(wide->size());
}
