// Text in the Windows ANSI code page (1252): its characters in Unicode, for
// the font engine, and the case folding that lstrcmpiA
// and FAT name matching use. Letters fold to upper case: a-z to A-Z, the
// accented small letters 0xE0-0xFE (but the division sign 0xF7) to 0xC0-0xDE,
// and the four small letters that live elsewhere (s, oe, z with caron and y
// with diaeresis) to their capitals.
#pragma once

#include <string_view>

namespace emu::kernel {

class AnsiText {
public:
    // The Unicode code point of a byte; the five unassigned bytes of
    // 0x80-0x9F stand for the C1 controls of the same number.
    static char32_t toUnicode(unsigned char c);
    static unsigned char upper(unsigned char c);
    // Ordinal comparison after folding: negative, zero or positive.
    static int compareNoCase(std::string_view a, std::string_view b);
    static int compare(std::string_view a, std::string_view b);
    static bool equalNoCase(std::string_view a, std::string_view b);
};

} // namespace emu::kernel
