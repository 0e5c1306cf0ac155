#include "platform/win32.h"
#include "tests/emu/kernel/ProfileMachine.h"

#include <climits>
#include <cstring>
#include <string>

using namespace std::string_literals;
using corvane_test::GuardedBuffer;
using corvane_test::writeHostFile;

namespace {

constexpr const char* kFile = "C:\\T.INI";

class ProfileRead : public corvane_test::ProfileMachine {
protected:
    void put(const std::string& text) { writeHostFile(host("T.INI"), text); }
};

struct StringRow {
    const char* behaviour;
    std::string file;
    const char* section;
    const char* key;
    const char* fallback;
    DWORD size;
    std::string expected;
    DWORD result;
    UINT codePage = 1252; // the machine's
};

TEST_F(ProfileRead, StringReadsFollowTheWin32Rules) {
    const std::string longValue(300, 'v');
    const StringRow rows[] = {
        {"CRLF, LF and no final line end read alike", "[S]\r\na=1\nb=2\r\nc=3", "S", "c", "d", 260,
         "3", 1},
        {"blanks around key, = and value are trimmed", "[S]\n  key \t=  a  b \t\n", "S", "key", "d",
         260, "a  b", 4},
        {"key ends at the first =", "[S]\ne==x\n", "S", "e", "d", 260, "=x", 2},
        {"comment line is not a key", "[S]\n;a=1\n", "S", ";a", "d", 260, "d", 1},
        {"# is not a comment", "[S]\n#a=1\n", "S", "#a", "d", 260, "1", 1},
        {"; later in a line is data", "[S]\na=1 ; two\n", "S", "a", "d", 260, "1 ; two", 7},
        {"line without = is not found", "[S]\nbare\n", "S", "bare", "d", 260, "d", 1},
        {"keys before the first header cannot be read", "a=1\n[S]\n", "", "a", "d", 260, "d", 1},
        {"section and key names ignore case", "[Menu]\nKey=1\n", "MENU", "kEY", "d", 260, "1", 1},
        {"blanks inside brackets and text after ] are ignored", "[ Menu ] tail\nk=1\n", "menu", "k",
         "d", 260, "1", 1},
        {"first section of a name wins", "[S]\na=1\n[s]\nb=2\n", "S", "b", "d", 260, "d", 1},
        {"first of two equal keys wins", "[S]\na=1\nA=2\n", "S", "a", "d", 260, "1", 1},
        {"empty value is empty, not the default", "[S]\nk=\n", "S", "k", "d", 260, "", 0},
        {"missing key gives the default without trailing blanks", "[S]\n", "S", "k", "  dft \t",
         260, "  dft", 5},
        {"missing section gives the default", "[T]\nk=1\n", "S", "k", "dft", 260, "dft", 3},
        {"null default reads as empty", "[S]\n", "S", "k", nullptr, 260, "", 0},
        {"double quotes are removed", "[S]\nk=\"a b\"\n", "S", "k", "d", 260, "a b", 3},
        {"single quotes are removed", "[S]\nk='a'\n", "S", "k", "d", 260, "a", 1},
        {"only one pair of quotes is removed", "[S]\nk=\"\"a\"\"\n", "S", "k", "d", 260, "\"a\"",
         3},
        {"mismatched quotes stay", "[S]\nk=\"a'\n", "S", "k", "d", 260, "\"a'", 3},
        {"a lone quote stays", "[S]\nk=\"\n", "S", "k", "d", 260, "\"", 1},
        {"value longer than the buffer is cut", "[S]\nk=abcdef\n", "S", "k", "d", 4, "abc", 3},
        {"value that fits exactly also returns size - 1", "[S]\nk=abcdef\n", "S", "k", "d", 7,
         "abcdef", 6},
        {"a 260-byte buffer holds 259 bytes", "[S]\nk=" + longValue + "\n", "S", "k", "d", 260,
         longValue.substr(0, 259), 259},
        {"default is cut like a value", "", "S", "k", "defaults", 4, "def", 3},
        {"a 1-byte buffer gets only the NUL", "[S]\nk=abc\n", "S", "k", "d", 1, "", 0},
        {"a NUL byte in the file ends the line", "[S]\nk=ab\0cd\nm=2\n"s, "S", "k", "d", 260, "ab",
         2},
        {"a header without ] opens no section", "[S]\n[T\nk=1\n", "S", "k", "d", 260, "1", 1},
        // Double-byte code pages: a trail byte ']', '[' or '\\' is part of
        // its character, and only single-byte letters fold.
        {"a trail byte ] does not end a section name", "[\x81]x]\nk=1\n", "\x81]X", "k", "d", 260,
         "1", 1, 932},
        {"in 949 ] is no trail byte", "[\x81]x]\nk=1\n", "\x81", "k", "d", 260, "1", 1, 949},
        {"in 1252 the first ] ends the name", "[\x81]x]\nk=1\n", "\x81]x", "k", "d", 260, "d", 1},
        {"a trail byte [ in a section name", "[\xA4[]\nk=1\n", "\xA4[", "k", "d", 260, "1", 1, 950},
        {"a header whose only ] trails a lead byte opens no section", "[S]\n[\x81]\nk=1\n", "S",
         "k", "d", 260, "1", 1, 936},
        {"a trail byte 0x5C in a key and a value", "[S]\n\x83\\=\x83\\\n", "S", "\x83\\", "d", 260,
         "\x83\\", 2, 932},
        {"trail bytes in a-z do not fold: keys", "[S]\n\x83\x41=1\n\x83\x61=2\n", "S", "\x83\x61",
         "d", 260, "2", 1, 932},
        {"in 1252 the same keys are equal", "[S]\n\x83\x41=1\n\x83\x61=2\n", "S", "\x83\x61", "d",
         260, "1", 1},
        {"trail bytes in a-z do not fold: sections", "[\xA4\x61]\nk=1\n[\xA4\x41]\nk=2\n",
         "\xA4\x41", "k", "d", 260, "2", 1, 950},
        {"single-byte letters still fold", "[\xB0\xA1x]\nK\x81\x61=1\n", "\xB0\xA1X", "k\x81\x61",
         "d", 260, "1", 1, 936},
        {"a lead byte last in the file is a character alone", "[S]\nk=ab\x83", "S", "k", "d", 260,
         "ab\x83", 3, 932},
        {"a value cut inside a character keeps its lead byte last", "[S]\nk=\x83\\\x83\\\n", "S",
         "k", "d", 4, "\x83\\\x83", 3, 932},
        {"quotes around double-byte text are removed", "[S]\nk=\"\x83\\\"\n", "S", "k", "d", 260,
         "\x83\\", 2, 932},
    };
    for (const StringRow& row : rows) {
        SCOPED_TRACE(row.behaviour);
        useCodePage(row.codePage);
        put(row.file);
        GuardedBuffer buffer(row.size);
        DWORD result = GetPrivateProfileStringA(row.section, row.key, row.fallback, buffer.data(),
                                                row.size, kFile);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(buffer.first(row.expected.size() + 1), row.expected + '\0');
        EXPECT_TRUE(buffer.guardIntact());
    }
}

struct ListRow {
    const char* behaviour;
    std::string file;
    const char* section; // nullptr: the section names
    DWORD size;
    std::string expected; // the buffer's first bytes
    DWORD result;
    UINT codePage = 1252; // the machine's
};

DWORD readList(const ListRow& row, char* buffer) {
    if (row.section == nullptr) {
        return GetPrivateProfileSectionNamesA(buffer, row.size, kFile);
    }
    return GetPrivateProfileSectionA(row.section, buffer, row.size, kFile);
}

TEST_F(ProfileRead, SectionAndNameListsFollowTheWin32Rules) {
    const ListRow rows[] = {
        {"CRLF, LF, mixed and no final line end", "[S]\r\na=1\nb=2\r\nc=3", "S", 100,
         "a=1\0b=2\0c=3\0\0"s, 12},
        {"blanks around lines and = are trimmed", "[S]\n  a = 1  \n\tb\t=\tx  y\t\n", "S", 100,
         "a=1\0b=x  y\0\0"s, 11},
        {"key ends at the first =; an empty key stays", "[S]\ne==x\n = v\n", "S", 100,
         "e==x\0=v\0\0"s, 8},
        {"comments are skipped, # and later ; are data", "[S]\n;c=1\n  ; d\n#h=1\nk=v;x\n", "S",
         100, "#h=1\0k=v;x\0\0"s, 11},
        {"blank lines are skipped", "[S]\n\n  \n\t\r\na=1\n\n", "S", 100, "a=1\0\0"s, 4},
        {"lines without = come back trimmed", "[S]\n  bare  text \na=1\n", "S", 100,
         "bare  text\0a=1\0\0"s, 15},
        {"quotes stay in a section read", "[S]\nk=\"v\"\n", "S", 100, "k=\"v\"\0\0"s, 6},
        {"lines before the first header belong to no section", "a=1\n[S]\nb=2\n", "S", 100,
         "b=2\0\0"s, 4},
        {"MENU finds [ Menu ] with text after ]", "[ Menu ] x\nk=1\n", "MENU", 100, "k=1\0\0"s, 4},
        {"only the first section of a name is read", "[S]\na=1\n[s]\nb=2\n", "S", 100, "a=1\0\0"s,
         4},
        {"a key twice in a section comes back twice", "[S]\na=1\nA=2\n", "S", 100, "a=1\0A=2\0\0"s,
         8},
        {"missing section: 0 and two NULs", "[T]\nk=1\n", "S", 100, "\0\0"s, 0},
        {"empty section: 0 and two NULs", "[S]\n; only a comment\n[T]\n", "S", 100, "\0\0"s, 0},
        {"a list that needs exactly the buffer is reported as cut", "[S]\nabc=1\ndef=2\n", "S", 13,
         "abc=1\0def=2\0\0"s, 11},
        {"one byte to spare returns the length", "[S]\nabc=1\ndef=2\n", "S", 14,
         "abc=1\0def=2\0\0"s, 12},
        {"one byte short: cut inside the last entry", "[S]\nabc=1\ndef=2\n", "S", 12,
         "abc=1\0def=\0\0"s, 10},
        {"cut inside an entry still ends with two NULs", "[S]\nabc=1\ndef=2\n", "S", 9,
         "abc=1\0d\0\0"s, 7},
        {"a 2-byte buffer holds two NULs", "[S]\nabc=1\n", "S", 2, "\0\0"s, 0},
        {"a 1-byte buffer holds one NUL", "[S]\nabc=1\n", "S", 1, "\0"s, 0},
        {"a 0-byte buffer is left alone", "[S]\nabc=1\n", "S", 0, "", 0},
        {"a NUL byte in the file ends its line", "[S]\na=1\0junk\nb=2"s, "S", 100, "a=1\0b=2\0\0"s,
         8},
        {"a header without ] is a line of the section", "[S]\na=1\n[broken\nb=2\n", "S", 100,
         "a=1\0[broken\0b=2\0\0"s, 16},
        {"names in file order, own spelling, twice", "[A]\n[ b ]x\nk=1\n[a]\n", nullptr, 100,
         "A\0b\0a\0\0"s, 6},
        {"names list cut inside a name", "[Alpha]\n[Beta]\n", nullptr, 9, "Alpha\0B\0\0"s, 7},
        {"names list needing exactly the buffer is reported as cut", "[Alpha]\n[Beta]\n", nullptr,
         12, "Alpha\0Beta\0\0"s, 10},
        {"^Z at the start of a line ends the text", "[S]\na=1\n\x1A\n[T]\nb=2\n", "S", 100,
         "a=1\0\0"s, 4},
        {"sections after ^Z are not there", "[S]\na=1\n  \x1A junk\n[T]\nb=2\n", "T", 100, "\0\0"s,
         0},
        {"names stop at ^Z", "[S]\r\n\x1A\r\n[T]\r\n", nullptr, 100, "S\0\0"s, 2},
        {"^Z inside a line is data", "[S]\na=\x1A\nb\x1A\n", "S", 100, "a=\x1A\0b\x1A\0\0"s, 7},
        {"names of a file without sections", "k=1\n", nullptr, 100, "\0\0"s, 0},
        {"names of an empty file", "", nullptr, 100, "\0\0"s, 0},
        {"names with trail bytes ] and [", "[\x81]x]\n[\x81[]\n[\x81]\n", nullptr, 100,
         "\x81]x\0\x81[\0\0"s, 7, 932},
        {"a section with trail bytes 0x5C, comments kept out",
         "[\xA4\\]\n;\xA4\\\n\xA4\\=\xA4]\n\xA4\\\xA4\\\n", "\xA4\\", 100,
         "\xA4\\=\xA4]\0\xA4\\\xA4\\\0\0"s, 11, 950},
    };
    for (const ListRow& row : rows) {
        SCOPED_TRACE(row.behaviour);
        useCodePage(row.codePage);
        put(row.file);
        GuardedBuffer buffer(row.size);
        EXPECT_EQ(readList(row, buffer.data()), row.result);
        EXPECT_EQ(buffer.first(row.expected.size()), row.expected);
        EXPECT_TRUE(buffer.guardIntact());
    }
}

TEST_F(ProfileRead, AFullSizedMergeBufferIsCutWithTwoNuls) {
    std::string file = "[Big]\r\n";
    std::string line = "Key" + std::string(26, 'k') + "=" + std::string(69, 'v'); // 99 bytes
    for (int i = 0; i < 400; ++i) {
        file += line + "\r\n";
    }
    put(file);
    const DWORD size = 30720;
    GuardedBuffer buffer(size);
    EXPECT_EQ(GetPrivateProfileSectionA("big", buffer.data(), size, kFile), size - 2);
    // 307 whole lines of 100 bytes, then 18 bytes of the line that overflows.
    std::string expected;
    for (int i = 0; i < 307; ++i) {
        expected += line + '\0';
    }
    expected += line.substr(0, 18) + "\0\0"s;
    EXPECT_EQ(buffer.first(size), expected);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST_F(ProfileRead, NullNamesListTheSectionsOrTheKeysOfASection) {
    put("[A]\nk1=1\nbare\nK2 = 2\n[B]\n");
    GuardedBuffer names(100);
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, "k", "d", names.data(), 100, kFile), 4u);
    EXPECT_EQ(names.first(5), "A\0B\0\0"s);
    GuardedBuffer keys(6);
    EXPECT_EQ(GetPrivateProfileStringA("a", nullptr, "d", keys.data(), 6, kFile), 4u);
    EXPECT_EQ(keys.first(6), "k1\0K\0\0"s);
    EXPECT_TRUE(keys.guardIntact());
}

struct IntRow {
    const char* value; // nullptr: the key is missing
    INT fallback;
    INT expected;
};

TEST_F(ProfileRead, IntReadsTakeTheLeadingDecimalNumber) {
    const IntRow rows[] = {
        {"42", 5, 42},
        {"42abc", 5, 42},
        {"-7", 5, -7},
        {"abc", 5, 0},
        {"0x10", 5, 0},
        {"+3", 5, 3},
        {"  12  ", 5, 12},
        {"\"8\"", 5, 8},
        {"", 5, 5},
        {nullptr, -9, -9},
        {"-", 5, 0},
        {"99999999999", 5, INT_MAX},
        {"-99999999999", 5, INT_MIN},
    };
    for (const IntRow& row : rows) {
        SCOPED_TRACE(row.value == nullptr ? "(missing)" : row.value);
        put(row.value == nullptr ? "[S]\n" : "[S]\nk=" + std::string(row.value) + "\n");
        EXPECT_EQ(GetPrivateProfileIntA("s", "K", row.fallback, kFile),
                  static_cast<UINT>(row.expected));
    }
}

TEST_F(ProfileRead, AMissingFileReadsAsAFileWithoutSections) {
    const char* paths[] = {"C:\\NONE.INI", "C:\\NO\\SUCH\\DIR.INI", "Q:\\UNMAPPED.INI"};
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        GuardedBuffer text(16);
        EXPECT_EQ(GetPrivateProfileStringA("S", "k", "dft ", text.data(), 16, path), 3u);
        EXPECT_EQ(text.first(4), "dft\0"s);
        EXPECT_EQ(GetPrivateProfileIntA("S", "k", 77, path), 77u);
        GuardedBuffer list(16);
        EXPECT_EQ(GetPrivateProfileSectionA("S", list.data(), 16, path), 0u);
        EXPECT_EQ(list.first(2), "\0\0"s);
        GuardedBuffer names(16);
        EXPECT_EQ(GetPrivateProfileSectionNamesA(names.data(), 16, path), 0u);
        EXPECT_EQ(names.first(2), "\0\0"s);
    }
}

TEST_F(ProfileRead, FilesAreFoundWithoutRegardToCaseAndBareNamesInTheWindowsFolder) {
    writeHostFile(host("layout.ini"), "[Menu]\nTitle=Drivers\n");
    writeHostFile(host("Windows/corvane.ini"), "[Menu]\nTitle=System\n");
    const char* paths[] = {"c:\\LAYOUT.INI", "\\Layout.Ini", "CORVANE.INI"};
    const char* titles[] = {"Drivers", "Drivers", "System"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(paths[i]);
        GuardedBuffer text(260);
        EXPECT_EQ(GetPrivateProfileStringA("MENU", "TITLE", "", text.data(), 260, paths[i]),
                  std::strlen(titles[i]));
        EXPECT_STREQ(text.data(), titles[i]);
    }
}

} // namespace
