// A Windows code page of the emulated machine: 1252 (Western, the ANSI code
// page of the Western editions), 437 (their OEM code page) and the double-byte
// code pages of the Japanese (932), Simplified Chinese (936), Korean (949) and
// Traditional Chinese (950) editions, which are ANSI and OEM code page alike.
//
// In a double-byte code page a character is one byte, or a lead byte and a
// trail byte; a trail byte may be '\\', '[', ']' or '|', so text is walked by
// characters, never by bytes. A lead byte followed by a byte that cannot
// trail it (the end of the text, a NUL, a line end) is a character of one
// byte, so no walk reads past a buffer or swallows a terminator.
//
// Case folding touches single-byte letters only: code page 1252 folds its
// accented letters as Windows does, the double-byte code pages only a-z, 437
// the letters of its Unicode mapping that have a capital (or small letter) in
// it. A double-byte character never changes.
//
// The running machine holds an ANSI and an OEM code page (ansiCodePage(),
// oemCodePage()), chosen at boot (SystemInfo's bootCodePages) from the
// registry, else the --codepage option, else 1252 and 437; README.md says why
// in that order.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace emu::kernel {

class CodePage {
public:
    // A character no table maps, from conversions that do not fail on one.
    static constexpr char32_t kInvalid = 0xFFFFFFFF;

    // The code page of that number; nullptr for one the machine does not know
    // (only the six above). The tables are built on first use and kept.
    static const CodePage* find(UINT number);
    // Code page 1252, always there.
    static const CodePage& windows1252();
    // The ANSI code pages a machine may run with (--codepage): 1252, 932, 936,
    // 949, 950.
    static bool isAnsiChoice(UINT number);
    // The OEM code page that goes with an ANSI code page: 437 with 1252, the
    // same double-byte code page with the others.
    static UINT oemPartner(UINT ansiNumber);

    UINT number() const { return m_number; }
    bool isDoubleByte() const { return m_doubleByte; }
    bool isLeadByte(unsigned char c) const;
    // Whether c may follow a lead byte as its trail byte.
    bool isTrailByte(unsigned char c) const;

    // The length in bytes of the character at pos: 0 at or past the end, 2 for
    // a lead byte followed by a trail byte inside the text, else 1.
    size_t charLength(std::string_view text, size_t pos) const;
    // The start of the character before the one at pos (0 when pos is 0),
    // found by walking from the start of the text.
    size_t previousChar(std::string_view text, size_t pos) const;
    // The position of the single-byte character c at or after from (or last
    // before end), never a trail byte; npos when there is none.
    size_t find(std::string_view text, char c, size_t from = 0) const;
    size_t findLast(std::string_view text, char c, size_t end = std::string_view::npos) const;

    // Whether the last character of the text is the single-byte character c
    // (a trail byte c does not count).
    bool endsWith(std::string_view text, char c) const;

    // The character at pos in Unicode, and its length in length (at least 1
    // inside the text); kInvalid for a byte or pair the code page leaves
    // unmapped.
    char32_t decode(std::string_view text, size_t pos, size_t& length) const;
    // A single byte in Unicode; kInvalid for a lead byte or an unmapped byte.
    // In code page 1252 the five unassigned bytes of 0x80-0x9F stand for the
    // C1 controls of the same number.
    char32_t toUnicode(unsigned char c) const;
    // Text to UTF-32 or UTF-16; nullopt when strict and a character is
    // unmapped, else an unmapped character is dropped, as MultiByteToWideChar
    // of Windows XP and before drops it.
    std::optional<std::u32string> toUtf32(std::string_view text, bool strict) const;
    std::optional<std::u16string> toUtf16(std::string_view text, bool strict) const;
    // Unicode text in the code page; nullopt when a character has no place in
    // it (or the UTF-16 is not well formed).
    std::optional<std::string> fromUtf32(std::u32string_view text) const;
    std::optional<std::string> fromUtf16(std::u16string_view text) const;

    // Case of a single-byte character (a lead byte is returned unchanged).
    unsigned char upper(unsigned char c) const;
    unsigned char lower(unsigned char c) const;
    // The text with its single-byte characters folded, double-byte characters
    // kept.
    std::string upper(std::string_view text) const;
    std::string lower(std::string_view text) const;
    // Ordinal comparison after folding to upper case: negative, zero or
    // positive.
    int compareNoCase(std::string_view a, std::string_view b) const;
    bool equalNoCase(std::string_view a, std::string_view b) const;
    // Ordinal comparison of the bytes.
    static int compare(std::string_view a, std::string_view b);

    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;
    ~CodePage();

private:
    struct Tables;
    explicit CodePage(UINT number);
    const Tables& conversions() const;
    void readConversions() const;

    UINT m_number;
    bool m_doubleByte;
    Tables* m_tables;
};

// The running machine's code pages (1252 and 437 before the first boot and
// after a shutdown).
const CodePage& ansiCodePage();
const CodePage& oemCodePage();

// Makes them the running machine's (bootCodePages in SystemInfo chooses them).
void useCodePages(const CodePage& ansi, const CodePage& oem);

} // namespace emu::kernel
