#include "platform/emu/kernel/FileSystem.h"
#include "tests/emu/kernel/FileMachine.h"

#include <cstring>
#include <filesystem>
#include <optional>

using corvane_test::hostFileExists;
using corvane_test::writeHostFile;

namespace {

struct ResolveRow {
    const char* windowsPath;
    const char* hostPath; // below the drive folder; nullptr: not resolvable
};

} // namespace

class Paths : public FileMachine {};

TEST_F(Paths, ResolveWithinTheDriveAndMatchCaseOfExistingNames) {
    writeHostFile(onC("Disk/Layout.INI"), "");
    writeHostFile(onC("\xC9T\xC9.TXT"), "");
    boot("C:\\WINDOWS");
    const std::string root = emu::kernel::resolveWindowsPath("C:\\").value();
    const ResolveRow rows[] = {
        {"C:\\..\\..\\x", "/x"},
        {"c:\\windows\\inf\\MSHDC.INF", "/WINDOWS/INF/Mshdc.inf"},
        {"C:/Windows/Inf/new.inf", "/WINDOWS/INF/new.inf"},
        {"inf\\NewFile.Txt", "/WINDOWS/INF/NewFile.Txt"},
        {"..\\DISK\\layout.ini", "/Disk/Layout.INI"},
        {"\\disk\\.\\..\\..\\Disk", "/Disk"},
        {"C:inf", "/WINDOWS/INF"},
        {"C:\\windows\\inf\\..\\..\\..\\..\\windows\\", "/WINDOWS"},
        {"\\\xE9t\xE9.txt", "/\xC9T\xC9.TXT"},
        {"C:\\Disk. \\Layout.INI. ", "/Disk/Layout.INI"},
        {"Z:\\x", nullptr},
        {"C:\\a|b", nullptr},
        {"C:\\a\\b:c", nullptr},
        {"\\\\server\\share\\x", nullptr},
        {"", nullptr},
    };
    for (const ResolveRow& row : rows) {
        SCOPED_TRACE(row.windowsPath);
        std::optional<std::string> host = emu::kernel::resolveWindowsPath(row.windowsPath);
        if (row.hostPath == nullptr) {
            EXPECT_FALSE(host.has_value());
        } else {
            EXPECT_EQ(host.value_or("(none)"), root + row.hostPath);
        }
    }
}

TEST_F(Paths, NewFilesKeepTheirCaseAndExistingOnesAreFoundInAnyCase) {
    HANDLE created = open("c:\\windows\\NewFile.Txt", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(created));
    EXPECT_TRUE(hostFileExists(onC("WINDOWS/NewFile.Txt")));
    EXPECT_FALSE(hostFileExists(onC("windows")));

    HANDLE again = open("C:\\WINDOWS\\NEWFILE.TXT", GENERIC_READ, 0, CREATE_NEW);
    EXPECT_EQ(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(GetFileAttributesA("c:\\Windows\\newfile.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("C:\\windows\\INF"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA("C:\\windows\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA("C:\\none\\none.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Paths, DirectoryQueriesFollowTheBufferRules) {
    boot("C:\\Windows\\Inf");
    const std::string current = "C:\\Windows\\Inf";
    const DWORD length = static_cast<DWORD>(current.size());
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    EXPECT_EQ(GetCurrentDirectoryA(length, buffer), length + 1);
    EXPECT_EQ(buffer[0], 'x') << "nothing is copied into a buffer that is too small";
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer), length);
    EXPECT_EQ(std::string(buffer), current);

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
    EXPECT_EQ(std::string(buffer), "C:\\WINDOWS");
}

TEST_F(Paths, SetCurrentDirectoryAcceptsOnlyExistingFolders) {
    EXPECT_TRUE(SetCurrentDirectoryA("windows\\inf"));
    EXPECT_EQ(emu::kernel::currentDirectory(), "C:\\windows\\inf");
    EXPECT_TRUE(SetCurrentDirectoryA(".."));
    EXPECT_EQ(emu::kernel::currentDirectory(), "C:\\windows");
    EXPECT_TRUE(SetCurrentDirectoryA("..\\..\\.."));
    EXPECT_EQ(emu::kernel::currentDirectory(), "C:\\");

    EXPECT_FALSE(SetCurrentDirectoryA("C:\\missing"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(SetCurrentDirectoryA("C:\\WINDOWS\\INF\\MSHDC.INF"));
    EXPECT_FALSE(SetCurrentDirectoryA("Q:\\"));
    EXPECT_EQ(emu::kernel::currentDirectory(), "C:\\");
}

TEST_F(Paths, HostFolderOutsideEveryDriveBecomesDriveD) {
    boot("");
    EXPECT_EQ(emu::kernel::currentDirectory(), "D:\\");
    EXPECT_EQ(emu::kernel::resolveWindowsPath("D:\\").value_or(""),
              std::filesystem::canonical(std::filesystem::current_path()).string());

    EXPECT_THROW(boot("C:\\nowhere"), std::runtime_error);
}

TEST_F(Paths, WithoutAGivenWindowsDirectoryMsdosSysNamesIt) {
    struct Row {
        const char* msdosSys; // nullptr: no MSDOS.SYS on C:
        const char* windowsDir;
        const char* registryFolder; // where SYSTEM.REG is looked for, below C:
    };
    const Row rows[] = {
        {"[Paths]\r\nWinDir=C:\\WIN95\r\nWinBootDir=C:\\WIN95\r\n", "C:\\WIN95", "WIN95"},
        {"[Options]\r\nBootGUI=1\r\n[paths]\r\n  windir = c:\\Win \r\n", "C:\\Win", "Win"},
        {nullptr, "C:\\WINDOWS", "WINDOWS"},
        {"[Paths]\r\nWinBootDir=C:\\WIN95\r\n", "C:\\WINDOWS", "WINDOWS"},
        {"[Paths]\r\nWinDir=WIN95\r\n", "C:\\WINDOWS", "WINDOWS"},
        {"", "C:\\WINDOWS", "WINDOWS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.msdosSys ? row.msdosSys : "no MSDOS.SYS");
        machine.shutdown();
        std::filesystem::remove(onC("MSDOS.SYS"));
        if (row.msdosSys != nullptr) {
            writeHostFile(onC("MSDOS.SYS"), row.msdosSys);
        }
        machine.config().windowsDir.clear();
        boot("C:\\");
        EXPECT_EQ(emu::kernel::windowsDirectory(), row.windowsDir);
        std::string registry = std::string(row.registryFolder) + "/SYSTEM.REG";
        writeHostFile(onC(registry), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\X]\r\n");
        machine.shutdown();
        machine.config().windowsDir.clear();
        boot("C:\\");
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\X"), ERROR_SUCCESS)
            << "the registry is looked for in the Windows directory MSDOS.SYS names";
        std::filesystem::remove(onC(registry));
    }
    // A given Windows directory wins over MSDOS.SYS.
    machine.shutdown();
    writeHostFile(onC("MSDOS.SYS"), "[Paths]\r\nWinDir=C:\\WIN95\r\n");
    machine.config().windowsDir = "C:\\OTHER";
    boot("C:\\");
    EXPECT_EQ(emu::kernel::windowsDirectory(), "C:\\OTHER");
}

TEST_F(Paths, ShortNamesOfAnImageDriveFindTheirLongNamedEntries) {
    writeHostFile(onC("Program Files/Quentor Tools/Read Me.txt"), "hello");
    machine.shutdown();
    std::string root = std::filesystem::canonical(onC("")).string();
    machine.config().shortNames[root]["PROGRA~1"] = "Program Files";
    machine.config().shortNames[root + "/Program Files"]["QUENTO~1"] = "Quentor Tools";
    boot("C:\\");
    const std::string expected = root + "/Program Files/Quentor Tools/Read Me.txt";
    EXPECT_EQ(emu::kernel::resolveWindowsPath("C:\\progra~1\\QUENTO~1\\Read Me.txt"), expected);
    EXPECT_EQ(emu::kernel::resolveWindowsPath("C:\\Program Files\\quento~1\\READ ME.TXT"),
              expected);
    // An alias of another folder finds nothing here.
    EXPECT_EQ(emu::kernel::resolveWindowsPath("C:\\Program Files\\PROGRA~1"),
              root + "/Program Files/PROGRA~1");
}

// In a double-byte code page a '\\' or '|' that trails a lead byte is part of
// a name, and only single-byte letters match without regard to case: paths,
// searches and temporary names walk by characters. In 1252 the same bytes
// are separators and marks as before.
TEST_F(Paths, DoubleByteNamesKeepTrailBytesInTheirCharacters) {
    // 0x835C and 0x8361 (932), 0xA45C and 0xA461 (950), 0x815C (936).
    const std::string root = std::filesystem::canonical(onC("")).string();
    for (const char* name : {"\x83\\", "\xA4\\", "\x81\\"}) {
        std::filesystem::create_directories(root + "/" + name);
        writeHostFile(root + "/" + name + "/\x83\x61.TXT", "x");
    }
    struct Row {
        UINT codePage;
        const char* windowsPath;
        const char* hostPath; // below the drive folder; nullptr: not resolvable
    };
    const Row rows[] = {
        {932, "C:\\\x83\\\\\x83\x61.txt", "/\x83\\/\x83\x61.TXT"},
        {932, "C:\\\x83\\\\\x83\x41.TXT", "/\x83\\/\x83\x41.TXT"}, // another character
        {932, "C:\\\x83\\", "/\x83\\"},
        {932, "C:\\\x83|", "/\x83|"},
        {932, "C:\\\x83\\\\..\\x", "/x"},
        {936, "C:\\\x81\\\\\x83\x61.TXT", "/\x81\\/\x83\x61.TXT"},
        {950, "C:\\\xA4\\\\\x83\x61.TXT", "/\xA4\\/\x83\x61.TXT"},
        {949, "C:\\\x81\\\\x", "/\x81/x"}, // 949 has no trail byte 0x5C
        {1252, "C:\\\x83\\\\\x83\x61.txt", "/\x83/\x83\x61.txt"},
        {1252, "C:\\\x83|", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.windowsPath);
        machine.config().codePage = row.codePage;
        boot("C:\\");
        std::optional<std::string> host = emu::kernel::resolveWindowsPath(row.windowsPath);
        if (row.hostPath == nullptr) {
            EXPECT_FALSE(host.has_value());
        } else {
            EXPECT_EQ(host.value_or("(none)"), root + row.hostPath);
        }
    }

    struct SearchRow {
        UINT codePage;
        const char* pattern;
        const char* found; // nullptr: none
    };
    const SearchRow searches[] = {
        {932, "C:\\\x83\\\\?.TXT", "\x83\x61.TXT"}, // '?' is one character
        {932, "C:\\\x83\\\\\x83\x41.TXT", nullptr}, // a trail byte does not fold
        {932, "C:\\\x83\\\\*.txt", "\x83\x61.TXT"}, {1252, "C:\\\x83\\\\?.TXT", nullptr},
        {1252, "C:\\\x83\\\\??.TXT", nullptr}, // the folder \x83 is not there
    };
    for (const SearchRow& row : searches) {
        SCOPED_TRACE(std::to_string(row.codePage) + " " + row.pattern);
        machine.config().codePage = row.codePage;
        boot("C:\\");
        WIN32_FIND_DATAA data{};
        HANDLE search = FindFirstFileA(row.pattern, &data);
        if (row.found == nullptr) {
            EXPECT_EQ(search, INVALID_HANDLE_VALUE);
            continue;
        }
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        EXPECT_STREQ(data.cFileName, row.found);
        FindClose(search);
    }

    // A folder whose last byte is a trail 0x5C still gets its separator.
    machine.config().codePage = 932;
    boot("C:\\");
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempFileNameA("C:\\\x83\\", "qt", 0, temp), 0u);
    EXPECT_EQ(std::string(temp).rfind("C:\\\x83\\\\qt", 0), 0u) << temp;
    EXPECT_TRUE(hostFileExists(root + "/\x83\\/" + std::string(temp).substr(6)));
}
