#include "platform/emu/kernel/CodePage.h"
#include "platform/win32.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using corvane_test::TestMachine;
using emu::kernel::CodePage;

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

// A machine whose registry records the code pages given (nullptr: no value),
// booted with the --codepage value given.
void bootWith(TestMachine& machine, const char* acp, const char* oemcp, std::optional<UINT> option,
              const std::string& moreKeys = "") {
    std::string reg = "REGEDIT4\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n";
    if (acp != nullptr) {
        reg += std::string("\"ACP\"=\"") + acp + "\"\r\n";
    }
    if (oemcp != nullptr) {
        reg += std::string("\"OEMCP\"=\"") + oemcp + "\"\r\n";
    }
    machine.writeC("WINDOWS/SYSTEM.REG", reg + moreKeys);
    machine.config().codePage = option;
    machine.boot();
}

struct CompareRow {
    const char* a;
    const char* b;
    int caseless; // sign of lstrcmpiA
    int exact;    // sign of lstrcmpA
};

} // namespace

TEST(CodePage, ComparesWithCodePage1252Folding) {
    const CompareRow rows[] = {
        {"MSHDC.INF", "mshdc.inf", 0, -1},
        {"USB.INF", "usb.INF", 0, -1},
        {"abc", "abd", -1, -1},
        {"abc", "ab", 1, 1},
        {"", "", 0, 0},
        {"", "a", -1, -1},
        {"\xC9T\xC9", "\xE9t\xE9", 0, -1},               // E acute
        {"\xC0\xDE", "\xE0\xFE", 0, -1},                 // A grave, thorn
        {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", 0, -1}, // S/OE/Z caron, Y diaeresis
        {"\xF7", "\xD7", 1, 1},  // division and multiplication signs stay apart
        {"\xDF", "\xFF", 1, -1}, // sharp s has no capital; y diaeresis folds to 0x9F
        {"_", "a", 1, -1},       // letters fold to upper case before comparing
        {"\xB5", "\x9C", 1, 1},  // micro sign is no letter to fold
        {"a\xE9z", "A\xC9Y", 1, 1},
    };
    for (const CompareRow& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " | " + row.b);
        EXPECT_EQ(sign(lstrcmpiA(row.a, row.b)), row.caseless);
        EXPECT_EQ(sign(lstrcmpiA(row.b, row.a)), -row.caseless);
        EXPECT_EQ(sign(lstrcmpA(row.a, row.b)), row.exact);
    }
}

TEST(CodePage, NullStringsSortFirstAndHaveNoLength) {
    EXPECT_EQ(lstrcmpiA(nullptr, nullptr), 0);
    EXPECT_LT(lstrcmpiA(nullptr, ""), 0);
    EXPECT_GT(lstrcmpA("", nullptr), 0);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("layout.ini"), 10);
}

// The registry's code pages decide, then --codepage, then 1252 and 437; a
// value the machine does not know is passed over.
TEST(CodePage, MachineTakesRegistryThenOptionThenDefault) {
    struct Row {
        const char* acp;
        const char* oemcp;
        std::optional<UINT> option;
        UINT ansi, oem;
        std::string moreKeys = ""; // REGEDIT4 text after the code page's key
    };
    // A key name ending in 0x5C as a trail byte: the text reads only in a
    // code page where 0x83 0x5C is one character (932, 936, 950).
    const std::string trailKey = "\r\n[HKEY_LOCAL_MACHINE\\Software\\\x83\\]\r\n";
    const Row rows[] = {
        {nullptr, nullptr, std::nullopt, 1252, 437},
        {nullptr, nullptr, 932u, 932, 932},
        {nullptr, nullptr, 1252u, 1252, 437},
        {"950", "950", std::nullopt, 950, 950},
        {"936", "936", 1252u, 936, 936},  // the installation's own wins
        {"1252", "437", 949u, 1252, 437}, // so does its 1252
        {" 949 ", nullptr, std::nullopt, 949, 949},
        {"1251", "866", 932u, 932, 932}, // unknown code pages: the option
        {"1251", "866", std::nullopt, 1252, 437},
        {nullptr, "932", std::nullopt, 1252, 932},
        {"93x", "437", std::nullopt, 1252, 437},
        {"950", "950", std::nullopt, 950, 950, trailKey},
        {"936", "936", 949u, 936, 936, trailKey},
        {"932", "932", 932u, 932, 932, trailKey},
        {"949", "949", std::nullopt, 1252, 437, trailKey}, // reads in no code page it names
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.acp ? row.acp : "-") + " " + (row.oemcp ? row.oemcp : "-") +
                     " option " + std::to_string(row.option.value_or(0)));
        TestMachine machine;
        bootWith(machine, row.acp, row.oemcp, row.option, row.moreKeys);
        EXPECT_EQ(GetACP(), row.ansi);
        EXPECT_EQ(GetOEMCP(), row.oem);
    }
}

// Walking text by characters: a trail byte that is '\\', '[', ']', '|' or a
// letter belongs to its lead byte; a lead byte that nothing may trail (the
// terminator, a blank) is a character alone.
TEST(CodePage, WalksDoubleByteTextByCharacters) {
    struct Row {
        UINT codePage;
        std::string text;
        std::vector<size_t> starts; // where CharNextA stops, the terminator last
    };
    const Row rows[] = {
        {1252, "a\x83\\b", {1, 2, 3, 4}},
        {932, "a\x83\\b", {1, 3, 4}},       // 0x835C is one character
        {932, "\x81]\x81[", {2, 4}},        // ']' and '[' as trail bytes
        {932, "x\x81", {1, 2}},             // a lead byte last
        {932, "\x81 =", {1, 2, 3}},         // a blank trails nothing
        {932, "\xb1\\", {1, 2}},            // a half-width kana is one byte
        {936, "\x81\\\x81|a", {2, 4, 5}},   // trail bytes 0x5C, 0x7C
        {949, "\x81\\\x81\x61", {1, 2, 4}}, // 949 has no trail byte 0x5C
        {950, "\xa4\\\xa4]\xff", {2, 4, 5}},
        {950, "\xa4\x80", {1, 2}}, // 0x80 trails nothing in 950
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
        TestMachine machine;
        machine.config().codePage = row.codePage;
        machine.boot();
        const char* text = row.text.c_str();
        std::vector<size_t> starts;
        for (const char* at = text; *at != '\0';) {
            at = CharNextA(at);
            starts.push_back(static_cast<size_t>(at - text));
        }
        EXPECT_EQ(starts, row.starts);
        EXPECT_EQ(CharNextA(text + row.text.size()), text + row.text.size());
        // CharPrevA walks the same characters back, and stops at the start.
        std::vector<size_t> back;
        for (const char* at = text + row.text.size(); at != text;) {
            at = CharPrevA(text, at);
            back.insert(back.begin(), static_cast<size_t>(at - text));
        }
        std::vector<size_t> expected{0};
        expected.insert(expected.end(), row.starts.begin(), row.starts.end() - 1);
        EXPECT_EQ(back, expected);
        EXPECT_EQ(CharPrevA(text, text), text);
        EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(0x81)), row.codePage != 1252);
        EXPECT_EQ(IsDBCSLeadByteEx(CP_ACP, 0x81), row.codePage != 1252);
    }
    EXPECT_TRUE(IsDBCSLeadByteEx(932, 0x9F));
    EXPECT_FALSE(IsDBCSLeadByteEx(932, 0xA0));
    EXPECT_TRUE(IsDBCSLeadByteEx(950, 0xFE));
    EXPECT_FALSE(IsDBCSLeadByteEx(950, 0x80));
    EXPECT_FALSE(IsDBCSLeadByteEx(437, 0x81));
    SetLastError(0);
    EXPECT_FALSE(IsDBCSLeadByteEx(12345, 0x81));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Case folds single-byte letters only: trail bytes in a-z stay, so two
// different double-byte characters never compare equal.
TEST(CodePage, FoldsOnlySingleByteLetters) {
    struct Row {
        UINT codePage;
        std::string text, upper, lower;
    };
    const Row rows[] = {
        {1252, "a\x83\x61\xe9", "A\x83\x41\xc9", "a\x83\x61\xe9"},
        {932, "a\x83\x61z\x81", "A\x83\x61Z\x81", "a\x83\x61z\x81"},
        {932,
         "\x83\x41"
         "B",
         "\x83\x41\x42", "\x83\x41\x62"},
        {936,
         "\xb0\x61\xe9\xa1"
         "x",
         "\xb0\x61\xe9\xa1"
         "X",
         "\xb0\x61\xe9\xa1"
         "x"},
        {949, "\x81\x61q", "\x81\x61Q", "\x81\x61q"},
        {950, "\xa4\x61\xa4\x7a", "\xa4\x61\xa4\x7a", "\xa4\x61\xa4\x7a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
        TestMachine machine;
        machine.config().codePage = row.codePage;
        machine.boot();
        std::string text = row.text;
        EXPECT_EQ(CharUpperA(text.data()), text.data());
        EXPECT_EQ(text, row.upper);
        CharLowerA(text.data());
        EXPECT_EQ(text, row.lower);
        // The double-byte character with a trail byte in a-z and the one with
        // that letter's capital are different characters.
        std::string other = row.text;
        for (char& c : other) {
            c = c == 'a' ? 'A' : c;
        }
        bool sameCharacters = row.codePage == 1252 || other == row.text;
        EXPECT_EQ(lstrcmpiA(row.text.c_str(), other.c_str()) == 0, sameCharacters);
        EXPECT_EQ(lstrcmpiA(row.upper.c_str(), row.lower.c_str()), 0);
        auto single = reinterpret_cast<ULONG_PTR>(CharUpperA(reinterpret_cast<LPSTR>('q')));
        EXPECT_EQ(single, static_cast<ULONG_PTR>('Q'));
    }
}

// MultiByteToWideChar through each code page's table: lengths, the
// terminator, a short buffer and characters no table maps.
TEST(CodePage, MultiByteToWideCharFollowsTheCodePage) {
    struct Row {
        UINT codePage; // of the machine, converting with CP_ACP
        std::string text;
        DWORD flags;
        std::u16string wide; // empty: fails
        DWORD error;
    };
    const Row rows[] = {
        {1252, "\x80\x81\xff", 0, u"\u20ac\u0081\u00ff", 0},
        {932, "\x83\\a\xb1", 0,
         u"\u30bd"
         u"a\uff71",
         0},
        {932, "a\x83", MB_ERR_INVALID_CHARS, u"", ERROR_NO_UNICODE_TRANSLATION},
        {932, "a\x83", 0, u"a", 0}, // a lead byte last is dropped
        {932, "\xa0z", 0, u"z", 0}, // unmapped in 932
        {936, "\x81\\\xb0\xa1", 0, u"\u4e57\u554a", 0},
        {949, "\xb0\xa1\x81\x41", 0, u"\uac00\uac02", 0},
        {950, "\xa4\x40\xa4\\", MB_ERR_INVALID_CHARS, u"\u4e00\u4e48", 0},
        {950, "\xa4\x40", MB_PRECOMPOSED | MB_COMPOSITE, u"", ERROR_INVALID_FLAGS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
        TestMachine machine;
        machine.config().codePage = row.codePage;
        machine.boot();
        WCHAR buffer[16] = {};
        SetLastError(0);
        int size = static_cast<int>(row.text.size());
        int needed = MultiByteToWideChar(CP_ACP, row.flags, row.text.data(), size, nullptr, 0);
        int written = MultiByteToWideChar(CP_ACP, row.flags, row.text.data(), size, buffer, 16);
        EXPECT_EQ(std::u16string(buffer, static_cast<size_t>(written)), row.wide);
        EXPECT_EQ(needed, written);
        EXPECT_EQ(GetLastError(), row.error);
        if (!row.wide.empty()) {
            // With its terminator, and into a buffer one unit too short.
            EXPECT_EQ(
                MultiByteToWideChar(row.codePage, row.flags, row.text.c_str(), -1, buffer, 16),
                static_cast<int>(row.wide.size() + 1));
            EXPECT_EQ(buffer[row.wide.size()], u'\0');
            if (row.wide.size() > 1) {
                EXPECT_EQ(MultiByteToWideChar(CP_ACP, row.flags, row.text.data(), size, buffer,
                                              static_cast<int>(row.wide.size() - 1)),
                          0);
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            }
        }
    }
}

// Every double-byte character a table maps comes back from Unicode as itself
// or as another spelling of the same character, and the walk and the table
// agree on what a lead byte is.
TEST(CodePage, TablesGoBothWays) {
    for (UINT number : {932u, 936u, 949u, 950u, 437u}) {
        SCOPED_TRACE(number);
        const CodePage* page = CodePage::find(number);
        ASSERT_NE(page, nullptr);
        size_t mapped = 0;
        for (unsigned lead = 0; lead < 256; ++lead) {
            for (unsigned trail = 0; trail < 256; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                size_t length = 0;
                char32_t u = page->decode(std::string_view(pair, 2), 0, length);
                if (length != 2 || u == CodePage::kInvalid) {
                    continue;
                }
                ++mapped;
                std::optional<std::string> back = page->fromUtf32(std::u32string(1, u));
                ASSERT_TRUE(back.has_value());
                ASSERT_EQ(page->toUtf32(*back, true), std::u32string(1, u));
            }
        }
        EXPECT_EQ(mapped > 8000, page->isDoubleByte());
    }
    EXPECT_EQ(CodePage::find(1251), nullptr);
    EXPECT_EQ(CodePage::find(437)->toUnicode(0x82), U'\u00e9');
    EXPECT_EQ(CodePage::find(437)->upper(0x82), 0x90); // e acute to its capital
}
