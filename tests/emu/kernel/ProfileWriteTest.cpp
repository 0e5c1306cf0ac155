#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"
#include "tests/emu/kernel/ProfileMachine.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

using namespace std::string_literals;
using corvane_test::hostFileExists;
using corvane_test::readHostFile;
using corvane_test::writeHostFile;

namespace {

constexpr const char* kFile = "C:\\T.INI";

class ProfileWrite : public corvane_test::ProfileMachine {};

struct WriteRow {
    const char* behaviour;
    std::optional<std::string> before; // nullopt: no file
    const char* section;
    std::string lines; // the list as passed: NUL-ended lines and one more NUL
    std::string after;
    UINT codePage = 1252; // the machine's
};

TEST_F(ProfileWrite, SectionWritesReplaceOnlyThatSectionsLines) {
    const WriteRow rows[] = {
        {"lines replaced exactly, bare lines kept, other sections untouched",
         "[A]\r\nx=1\r\n[S]\r\na=1\r\nb=2\r\n[C]\r\ny=2\r\n", "S", "c=3\0 bare \0k = v\0\0"s,
         "[A]\r\nx=1\r\n[S]\r\nc=3\r\n bare \r\nk = v\r\n[C]\r\ny=2\r\n"},
        {"header keeps its spelling", "[ sEc ] note\nold=1\n", "SEC", "n=1\0\0"s,
         "[ sEc ] note\nn=1\n"},
        {"comments and blank lines around the lines stay",
         "; top\n\n[S]\n; about S\na=1\n\n; T\n[T]\nz=1", "S", "a=2\0\0"s,
         "; top\n\n[S]\n; about S\na=2\n\n; T\n[T]\nz=1"},
        {"a second section of the name is left alone", "[S]\na=1\n[s]\nb=2\n", "s", "c=3\0\0"s,
         "[S]\nc=3\n[s]\nb=2\n"},
        {"lines as a read returns them keep the file's own text and comments",
         "[S]\r\n  a = 1 \r\n; c\r\n\tb=2\r\n\r\n[T]\r\nq", "S", "a=1\0b=2\0c=3\0\0"s,
         "[S]\r\n  a = 1 \r\n; c\r\n\tb=2\r\nc=3\r\n\r\n[T]\r\nq"},
        {"lines are written as given from the first that differs",
         "[S]\r\n  a = 1 \r\n; c\r\nb=2\r\n\r\n[T]\r\nq", "S", "a=1\0B = 2\0\0"s,
         "[S]\r\n  a = 1 \r\n; c\r\nB = 2\r\n\r\n[T]\r\nq"},
        {"^Z and what follows stay last when a section is replaced",
         "[S]\r\na=1\r\n\x1A\r\n[S]\r\nz=9\r\n", "S", "a=1\0b=2\0\0"s,
         "[S]\r\na=1\r\nb=2\r\n\x1A\r\n[S]\r\nz=9\r\n"},
        {"a section appended to a file with ^Z goes before the mark", "[A]\r\nx=1\r\n\x1A", "T",
         "k=v\0\0"s, "[A]\r\nx=1\r\n[T]\r\nk=v\r\n\x1A"},
        {"a section behind ^Z is appended anew, before the mark", "[A]\nx=1\n  \x1A\n[T]\nold=1\n",
         "t", "k=v\0\0"s, "[A]\nx=1\n[t]\nk=v\n  \x1A\n[T]\nold=1\n"},
        {"writing back lines that stand as given changes no byte",
         "[S]\r\na=1\r\n; c\r\nb=2\r\n\r\n[T]\r\nq", "S", "a=1\0b=2\0\0"s,
         "[S]\r\na=1\r\n; c\r\nb=2\r\n\r\n[T]\r\nq"},
        {"appended lines follow the existing ones with the file's line ends",
         "[S]\r\na=1\r\n; c\r\nb=2\r\n\r\n[T]\r\n", "S", "a=1\0b=2\0c=3\0a=9\0\0"s,
         "[S]\r\na=1\r\n; c\r\nb=2\r\nc=3\r\na=9\r\n\r\n[T]\r\n"},
        {"a changed line rewrites from there on", "[S]\na=1\nb=2\nc=3\n", "S", "a=1\0B=2\0\0"s,
         "[S]\na=1\nB=2\n"},
        {"lines go under a header that has none", "[S]\n\n[T]\n", "S", "a=1\0\0"s,
         "[S]\na=1\n\n[T]\n"},
        {"last line without line end gets one before new lines", "[S]\na=1", "S", "a=1\0b=2\0\0"s,
         "[S]\na=1\nb=2\n"},
        {"a last line ending in CR but no LF gets just the LF", "[S]\na=1\r", "S", "a=1\0b=2\0\0"s,
         "[S]\na=1\r\nb=2\n"},
        {"a line that ends in CR is written with CR LF to read back whole", "[S]\n", "S",
         "k=v\r\0\0"s, "[S]\nk=v\r\r\n"},
        {"missing section appended without a blank line", "[A]\nx=1\n\n", "S", "k=v\0\0"s,
         "[A]\nx=1\n\n[S]\nk=v\n"},
        {"missing section after a last line without line end", "[A]\nx=1", "S", "k=v\0\0"s,
         "[A]\nx=1\n[S]\nk=v\n"},
        {"missing file created with CRLF", std::nullopt, "Strings", "a=1\0b\0\0"s,
         "[Strings]\r\na=1\r\nb\r\n"},
        {"empty file gets the section", ""s, "S", "a=1\0\0"s, "[S]\r\na=1\r\n"},
        {"empty list leaves the bare header", "[S]\na=1\n; c\nb=2\n[T]\n", "S", "\0"s,
         "[S]\n[T]\n"},
        {"empty list for a missing section adds the header", "[A]\n", "S", "\0"s, "[A]\n[S]\n"},
        {"bytes after a NUL survive outside the section", "[A]\nx=1\0z\n[S]\na=1\n"s, "S",
         "b=2\0\0"s, "[A]\nx=1\0z\n[S]\nb=2\n"s},
        {"a section named with a trail byte ] is found and replaced",
         "[\x81]x]\r\nold=1\r\n[T]\r\nz=1\r\n", "\x81]X", "\x83\\=\x83\\\0\0"s,
         "[\x81]x]\r\n\x83\\=\x83\\\r\n[T]\r\nz=1\r\n", 932},
        {"a trail byte [ in a new section's name", "[A]\n", "\xA4[", "k=\xA4]\0\0"s,
         "[A]\n[\xA4[]\nk=\xA4]\n", 950},
        {"lines with trail bytes in a-z are kept as the file has them",
         "[S]\n\x83\x61=1\n; \x83\\\n", "S", "\x83\x61=1\0\x83\x41=2\0\0"s,
         "[S]\n\x83\x61=1\n\x83\x41=2\n; \x83\\\n", 932},
    };
    for (const WriteRow& row : rows) {
        SCOPED_TRACE(row.behaviour);
        useCodePage(row.codePage);
        std::filesystem::remove(host("T.INI"));
        if (row.before) {
            writeHostFile(host("T.INI"), *row.before);
        }
        EXPECT_EQ(WritePrivateProfileSectionA(row.section, row.lines.data(), kFile), TRUE);
        EXPECT_EQ(readHostFile(host("T.INI")), row.after);
    }
}

TEST_F(ProfileWrite, ReadThenWriteBackKeepsTheFileAndAppendsInPlace) {
    const std::string before = "; maker file\r\n[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
                               "[Strings]\r\nDev=\"Board Bridge\" ; keep\r\nMfg=Corvane Labs\r\n"
                               "\r\n[Other]\r\nz=1\r\n";
    writeHostFile(host("T.INI"), before);
    std::string buffer(30720, '\0');
    DWORD used = GetPrivateProfileSectionA("STRINGS", buffer.data(), 30720, kFile);
    ASSERT_EQ(used, 43u);
    EXPECT_EQ(WritePrivateProfileSectionA("STRINGS", buffer.data(), kFile), TRUE);
    EXPECT_EQ(readHostFile(host("T.INI")), before);

    const std::string added = "Usb=Hub\0"s;
    buffer.replace(used, added.size(), added);
    EXPECT_EQ(WritePrivateProfileSectionA("STRINGS", buffer.data(), kFile), TRUE);
    std::string expected = before;
    expected.insert(expected.find("\r\n\r\n[Other]") + 2, "Usb=Hub\r\n");
    EXPECT_EQ(readHostFile(host("T.INI")), expected);
}

TEST_F(ProfileWrite, AFailedWriteReturnsZeroAndChangesNothing) {
    writeHostFile(host("RO.INI"), "[S]\na=1\n");
    chmod(host("RO.INI").c_str(), 0444);
    EXPECT_EQ(WritePrivateProfileSectionA("S", "b=2\0"s.data(), "C:\\RO.INI"), FALSE);
    EXPECT_EQ(readHostFile(host("RO.INI")), "[S]\na=1\n");

    EXPECT_EQ(WritePrivateProfileSectionA("S", "b=2\0"s.data(), "C:\\NO\\X.INI"), FALSE);
    EXPECT_FALSE(hostFileExists(host("NO")));

    EXPECT_EQ(WritePrivateProfileSectionA("S", "b=2\0"s.data(), "Q:\\X.INI"), FALSE);
    EXPECT_EQ(WritePrivateProfileSectionA(nullptr, "b=2\0"s.data(), kFile), FALSE);
    EXPECT_EQ(WritePrivateProfileSectionA("S", nullptr, kFile), FALSE);
    EXPECT_FALSE(hostFileExists(host("T.INI")));
}

TEST_F(ProfileWrite, AFileHeldWithoutSharingIsNotWritten) {
    writeHostFile(host("T.INI"), "[S]\na=1\n");
    HANDLE held = CreateFileA(kFile, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WritePrivateProfileSectionA("S", "b=2\0"s.data(), kFile), FALSE);
    CloseHandle(held);
    EXPECT_EQ(readHostFile(host("T.INI")), "[S]\na=1\n");
    EXPECT_EQ(WritePrivateProfileSectionA("S", "b=2\0"s.data(), kFile), TRUE);
}

TEST_F(ProfileWrite, TheWriteLeavesNoTemporaryFileAndIsTraced) {
    emu::Trace::open(host("trace.txt"));
    writeHostFile(host("T.INI"), "[S]\na=1\n");
    EXPECT_EQ(WritePrivateProfileSectionA("Strings", "a=1\0b=2\0c\0"s.data(), kFile), TRUE);
    EXPECT_EQ(WritePrivateProfileSectionA("S", "x\0"s.data(), "C:\\NO\\X.INI"), FALSE);
    emu::Trace::close();
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_machine.cDrive())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2); // T.INI and the trace
    EXPECT_EQ(readHostFile(host("trace.txt")),
              "WritePrivateProfileSectionA(\"Strings\", 3, \"C:\\\\T.INI\") = 1\n"
              "WritePrivateProfileSectionA(\"S\", 1, \"C:\\\\NO\\\\X.INI\") = 0\n");
}

} // namespace

TEST_F(ProfileWrite, AFileLimitCutsWhatReadsSeeAndWhatWritesKeep) {
    // 20 bytes, of which the first 16 end just after the b of b=2.
    writeHostFile(host("T.INI"), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
    m_machine.config().profileFileLimit = 16;
    m_machine.boot();
    char buffer[64];
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer, sizeof buffer, kFile), 4u);
    EXPECT_EQ(std::string(buffer, 5), "A\0B\0\0"s);
    EXPECT_EQ(GetPrivateProfileSectionA("B", buffer, sizeof buffer, kFile), 2u);
    EXPECT_EQ(std::string(buffer, 3), "b\0\0"s);
    GetPrivateProfileStringA("B", "b", "none", buffer, sizeof buffer, kFile);
    EXPECT_STREQ(buffer, "none");
    // A write makes its file from the first 16 bytes and keeps 16 of it.
    EXPECT_EQ(WritePrivateProfileSectionA("A", "a=1\0c=3\0"s.data(), kFile), TRUE);
    EXPECT_EQ(readHostFile(host("T.INI")), "[A]\r\na=1\r\nc=3\r\n[");

    m_machine.config().profileFileLimit = 0;
    m_machine.boot();
    writeHostFile(host("T.INI"), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");
    EXPECT_EQ(WritePrivateProfileSectionA("A", "a=1\0c=3\0"s.data(), kFile), TRUE);
    EXPECT_EQ(readHostFile(host("T.INI")), "[A]\r\na=1\r\nc=3\r\n[B]\r\nb=2\r\n");
}
