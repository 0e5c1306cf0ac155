#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/RegistryFile.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"
#include "tests/emu/kernel/RegistryMachine.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <vector>

using corvane_test::readHostFile;
using corvane_test::RegistryMachine;
using corvane_test::TempDir;
using corvane_test::writeHostFile;
using emu::kernel::RegistryFile;

namespace {

// A hive in blocks, so that an expected file is the blocks that remain.
const std::vector<std::string> kHive = {
    "REGEDIT4\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\ROOT]\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR0001]\r\n\"Class\"=\"System\"\r\n"
    "@=\"Quentor bridge\"\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR0001\\0000]\r\n\"ConfigFlags\"=hex:00,00,\\\r\n"
    "  00,00\r\n\"Count\"=dword:0000001a\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR00010]\r\n\"Class\"=\"Sibling, longer name\"\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR0002]\r\n\"Path\"=\"C:\\\\WINDOWS\\\\SYSTEM\\\\\"\r\n\r\n",
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1A2B&DEV_0042\\BUS_00]\r\n"
    "\"HardwareID\"=hex(7):50,43,49,00,\\\r\n  00\r\n",
};

std::string hiveWithout(const std::set<size_t>& removed) {
    std::string text;
    for (size_t i = 0; i < kHive.size(); ++i) {
        if (removed.count(i) == 0) {
            text += kHive[i];
        }
    }
    return text;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

} // namespace

TEST(RegistryFile, ReadsWellFormedFilesAndGivesBackEveryByte) {
    const std::string cases[] = {
        hiveWithout({}),
        "REGEDIT4\n",
        "REGEDIT4",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n@=\"\"\n",
        "REGEDIT4\n; a comment\n[hkey_local_machine\\Enum\\ROOT\\X]\n\"a\\\"b\"=\"c\\\\\"\n"
        "\"e\"=hex:\n\"t\"=hex(2):41,00\n\"n\"=DWORD:1A",
    };
    for (const std::string& text : cases) {
        RegistryFile file(text);
        EXPECT_FALSE(file.error().has_value()) << text << ": " << file.error()->reason;
        EXPECT_EQ(file.text(), text);
    }
}

TEST(RegistryFile, ReportsTheFirstMalformedLine) {
    struct Case {
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"", 1},
        {"REGEDIT5\n[HKEY_LOCAL_MACHINE\\A]\n", 1},
        {"\nREGEDIT4\n", 1},
        {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n", 2},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINEX\\A]\n", 2},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nname=\"b\"\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"b\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"b\" x\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\" = \"b\"\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,zz\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=text\n", 3},
        // A continuation line is never taken for a key header.
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\\\n[HKEY_LOCAL_MACHINE\\B]\n", 4},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\\\n  02,\\\n", 4},
    };
    for (const Case& c : cases) {
        RegistryFile file(c.text);
        ASSERT_TRUE(file.error().has_value()) << c.text;
        EXPECT_EQ(file.error()->line, c.line) << c.text;
        EXPECT_FALSE(file.error()->reason.empty());
        EXPECT_EQ(file.text(), "");
    }
}

// The keys the dry run compares, from a registry text: each once, parents first.
TEST(RegistryFile, ListsEveryKeyOnceParentsFirst) {
    struct Row {
        const char* text;
        std::vector<std::string> keys; // joined with "\"
    };
    const Row rows[] = {
        {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Enum\\PCI\\X\\0]\n\"a\"=\"b\"\n\n"
         "[HKEY_LOCAL_MACHINE\\enum\\pci\\Y]\n\n[HKEY_LOCAL_MACHINE\\Software]\n",
         {"Enum", "Enum\\PCI", "Enum\\PCI\\X", "Enum\\PCI\\X\\0", "enum\\pci\\Y", "Software"}},
        {"REGEDIT4\n\n", {}},
    };
    for (const Row& row : rows) {
        RegistryFile file(row.text);
        ASSERT_FALSE(file.error().has_value()) << file.error()->reason;
        std::vector<std::string> keys;
        for (const auto& path : file.keyPaths()) {
            std::string joined;
            for (const std::string& name : path) {
                joined += (joined.empty() ? "" : "\\") + name;
            }
            keys.push_back(joined);
        }
        EXPECT_EQ(keys, row.keys);
    }
}

TEST(Registry, RegDeleteKeyARemovesTheKeyWithItsSubkeysAndNothingElse) {
    struct Case {
        const char* path;
        LONG result;
        std::set<size_t> removed;
    };
    const Case cases[] = {
        {"Enum\\ROOT\\QTR0001", ERROR_SUCCESS, {3, 4}},
        {"enum\\root\\qtr0002", ERROR_SUCCESS, {6}},
        {"ENUM\\ROOT\\QTR0001\\0000", ERROR_SUCCESS, {4}},
        {"Enum\\PCI", ERROR_SUCCESS, {7}}, // named only by its subkey's header
        {"Enum\\ROOT", ERROR_SUCCESS, {2, 3, 4, 5, 6}},
        {"Enum\\ROOT\\QTR0003", ERROR_FILE_NOT_FOUND, {}},
        {"Enum\\ROOT\\QTR000", ERROR_FILE_NOT_FOUND, {}},
        {"Enum\\ROOT\\QTR0001 ", ERROR_FILE_NOT_FOUND, {}},
        {"", ERROR_BADKEY, {}},
        {nullptr, ERROR_BADKEY, {}},
        {"Enum\\", ERROR_BADKEY, {}},
        {"\\Enum", ERROR_BADKEY, {}},
        {"Enum\\\\ROOT", ERROR_BADKEY, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path == nullptr ? "NULL" : c.path);
        TempDir hiveDir;
        std::string hive = hiveDir / "hive.reg";
        writeHostFile(hive, hiveWithout({}));
        RegistryMachine machine(hive);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.path), c.result);
        std::string after = readHostFile(hive);
        EXPECT_EQ(after, hiveWithout(c.removed));
        RegistryFile reread(after);
        EXPECT_FALSE(reread.error().has_value());
        EXPECT_EQ(reread.text(), after);
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.path), ERROR_FILE_NOT_FOUND);
        }
    }
}

// In code page 932 a key name may end in a trail byte 0x5C, and names that
// differ in a trail byte in a-z are two keys.
TEST(Registry, DoubleByteKeyNamesKeepTheirTrailBytes) {
    const std::string hive = "REGEDIT4\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\\x83\\]\r\n\"A\"=\"1\"\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\\x83\\\\\x83\x61]\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\Enum\\\x83\x41]\r\n\r\n";
    TempDir hiveDir;
    std::string file = hiveDir / "hive.reg";
    writeHostFile(file, hive);
    corvane_test::TestMachine machine;
    machine.config().registryFile = file;
    machine.config().codePage = 932;
    machine.boot();
    EXPECT_EQ(emu::kernel::localMachineString("Enum\\\x83\\", "a"), "1");
    EXPECT_TRUE(emu::kernel::localMachineKeyExists("ENUM\\\x83\\\\\x83\x61"));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\\x83\\\\\x83\x41"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\\x83\\"), ERROR_SUCCESS);
    EXPECT_EQ(readHostFile(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\\x83\x41]\r\n\r\n");
}

TEST(Registry, RegDeleteKeyAWritesATraceLineAndRefusesOtherRoots) {
    TempDir hiveDir;
    std::string hive = hiveDir / "hive.reg";
    writeHostFile(hive, hiveWithout({}));
    RegistryMachine machine(hive);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0002"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(HKEY_CURRENT_USER, "Enum\\ROOT\\QTR0001"), ERROR_SUCCESS);
    EXPECT_NE(RegDeleteKeyA(reinterpret_cast<HKEY>(0x1234), "Enum\\ROOT\\QTR0001"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_BADKEY);
    EXPECT_EQ(readHostFile(hive), hiveWithout({6}));
    std::istringstream trace(machine.trace());
    std::vector<std::string> lines;
    for (std::string line; std::getline(trace, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "RegDeleteKeyA(HKEY_LOCAL_MACHINE, \"Enum\\\\ROOT\\\\QTR0002\") = 0");
    // The other roots are handles like any other, written in hex.
    EXPECT_EQ(lines[1].rfind("RegDeleteKeyA(0x", 0), 0u);
    EXPECT_NE(lines[1].find("80000001, \"Enum\\\\ROOT\\\\QTR0001\") = 2"), std::string::npos);
    EXPECT_EQ(lines[2], "RegDeleteKeyA(0x1234, \"Enum\\\\ROOT\\\\QTR0001\") = 6");
    EXPECT_EQ(lines[3], "RegDeleteKeyA(HKEY_LOCAL_MACHINE, NULL) = 1010");
}

TEST(Registry, FindsSystemRegInTheWindowsDirectoryAndTreatsAMissingOneAsEmpty) {
    RegistryMachine machine("");
    std::string windows = machine.windows();
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0001"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(folderEntries(windows), std::vector<std::string>{});

    writeHostFile(windows + "/system.reg", hiveWithout({}));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0001"), ERROR_SUCCESS);
    EXPECT_EQ(readHostFile(windows + "/system.reg"), hiveWithout({3, 4}));
    EXPECT_EQ(folderEntries(windows), std::vector<std::string>{"system.reg"});
}

TEST(Registry, AMalformedFileIsReportedAndNeverOverwritten) {
    const std::string bad = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR0001]\r\n"
                            "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR0002\r\n";
    TempDir hiveDir;
    std::string hive = hiveDir / "broken.reg";
    writeHostFile(hive, bad);
    RegistryMachine machine(hive);
    testing::internal::CaptureStderr();
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0001");
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, ERROR_BADDB);
    EXPECT_EQ(readHostFile(hive), bad);
    EXPECT_NE(message.find(hive), std::string::npos) << message;
    EXPECT_NE(message.find("line 4"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

TEST(Registry, SavesByReplacingTheWholeFileOrNotAtAll) {
    TempDir hiveDir;
    std::string hive = hiveDir / "hive.reg";
    writeHostFile(hive, hiveWithout({}));
    RegistryMachine machine(hive);

    // A reader that opened the old file keeps the whole old file: the new one
    // was renamed into place, not written over it.
    std::ifstream oldReader(hive, std::ios::binary);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0001"), ERROR_SUCCESS);
    std::string seenByOldReader((std::istreambuf_iterator<char>(oldReader)),
                                std::istreambuf_iterator<char>());
    EXPECT_EQ(seenByOldReader, hiveWithout({}));
    EXPECT_EQ(readHostFile(hive), hiveWithout({3, 4}));
    EXPECT_EQ(folderEntries(hiveDir.path()), std::vector<std::string>{"hive.reg"});

    // A hive whose new content cannot be written (the disk is full) keeps
    // its key.
    RegistryMachine full(hive, 1);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\QTR0002"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(readHostFile(hive), hiveWithout({3, 4}));
    EXPECT_EQ(folderEntries(hiveDir.path()), std::vector<std::string>{"hive.reg"});
}
