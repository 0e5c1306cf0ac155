// user32's walking and case of ANSI text, in the machine's ANSI code page: a
// double-byte character is stepped over whole and keeps its case.
#include "platform/emu/kernel/CodePage.h"
#include "platform/win32.h"

#include <cstring>
#include <string_view>

using emu::kernel::ansiCodePage;

namespace {

// CharUpperA and CharLowerA take a single character in the low word of a
// pointer whose high word is zero, and answer with it the same way.
LPSTR changeCase(LPSTR text, bool toUpper) {
    const emu::kernel::CodePage& page = ansiCodePage();
    auto address = reinterpret_cast<ULONG_PTR>(text);
    if ((address >> 16) == 0) {
        auto c = static_cast<unsigned char>(address & 0xFF);
        return reinterpret_cast<LPSTR>(
            static_cast<ULONG_PTR>(toUpper ? page.upper(c) : page.lower(c)));
    }
    std::string_view view(text, std::strlen(text));
    std::string changed = toUpper ? page.upper(view) : page.lower(view);
    std::memcpy(text, changed.data(), changed.size());
    return text;
}

} // namespace

LPSTR WINAPI CharNextA(LPCSTR lpsz) {
    if (lpsz == nullptr) {
        return nullptr;
    }
    // The character and what may trail it: at most two bytes, never past the
    // terminator.
    std::string_view view(lpsz, lpsz[0] == '\0' ? 0 : lpsz[1] == '\0' ? 1 : 2);
    return const_cast<LPSTR>(lpsz + ansiCodePage().charLength(view, 0));
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent) {
    if (lpszStart == nullptr || lpszCurrent == nullptr || lpszCurrent <= lpszStart) {
        return const_cast<LPSTR>(lpszStart);
    }
    std::string_view view(lpszStart, static_cast<size_t>(lpszCurrent - lpszStart));
    return const_cast<LPSTR>(lpszStart + ansiCodePage().previousChar(view, view.size()));
}

LPSTR WINAPI CharUpperA(LPSTR lpsz) {
    return lpsz == nullptr ? nullptr : changeCase(lpsz, true);
}

LPSTR WINAPI CharLowerA(LPSTR lpsz) {
    return lpsz == nullptr ? nullptr : changeCase(lpsz, false);
}
