// The binary registry backend: files written by CregBuilder in Windows 95's
// layout are read the same by our reader and by libcreg; deletions through
// RegDeleteKeyA leave files that both read as the expected tree; malformed
// files are refused and left as they were.
#include "platform/emu/hostsupport/UndoJournal.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/RegistryFile.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"
#include "tests/emu/kernel/RegistryMachine.h"
#include "tests/support/CregBuilder.h"
#include "tests/support/CregOracle.h"
#include "tests/support/CregSamples.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <thread>

using corvane_test::CregBuilder;
using corvane_test::CregOracle;
using corvane_test::readHostFile;
using corvane_test::RegistryMachine;
using corvane_test::TempDir;
using corvane_test::writeHostFile;
using emu::kernel::CregFile;
using emu::kernel::CregHabit;

namespace {

std::vector<std::string> ourListing(const std::string& bytes) {
    CregFile file(bytes);
    EXPECT_FALSE(file.error().has_value()) << *file.error();
    return corvane_test::cregListing(file);
}

std::string describe(const std::vector<emu::kernel::CregFinding>& findings) {
    std::string text;
    for (const auto& finding : findings) {
        text += std::to_string(finding.offset) + ": " + finding.what + "\n";
    }
    return text;
}

// Both readers (or only ours, where libcreg's slow reading of a large file
// is spared) find exactly the expected keys and values in the file, and its
// structure is sound.
void expectTree(const std::string& path, const std::vector<std::string>& expected,
                bool libcregToo = true) {
    if (libcregToo) {
        auto theirs = CregOracle::listing(path);
        ASSERT_TRUE(theirs.has_value()) << "libcreg cannot read " << path;
        EXPECT_EQ(*theirs, expected);
    }
    std::string bytes = readHostFile(path);
    EXPECT_EQ(ourListing(bytes), expected);
    auto findings = emu::kernel::checkCregFile(bytes);
    EXPECT_TRUE(findings.empty()) << describe(findings);
}

// Where each key of the file lives: its key entry and its data entry's
// number and block, by path.
std::map<std::string, std::pair<size_t, uint32_t>> placesOf(const CregFile& file) {
    std::map<std::string, std::pair<size_t, uint32_t>> places;
    std::vector<std::pair<size_t, std::string>> pending = {{0, ""}};
    while (!pending.empty()) {
        auto [key, path] = pending.back();
        pending.pop_back();
        const CregFile::Key& k = file.keys()[key];
        places[path] = {k.treeEntry, CregFile::read32(file.bytes(), k.treeEntry + 24)};
        for (size_t sub : k.subkeys) {
            pending.emplace_back(sub, path + "\\" + file.keys()[sub].name);
        }
    }
    return places;
}

} // namespace

TEST(CregFile, ReadsGeneratedFilesAsLibcregDoes) {
    CregBuilder large;
    for (int i = 0; i < 300; ++i) {
        large.addKey("Enum\\ROOT\\QTR" + std::to_string(i) + "\\0000",
                     {CregBuilder::string("Class", "System"), CregBuilder::dword("N", i)});
        if (i % 97 == 0) {
            large.addGap(200);
        }
    }
    CregBuilder empty;
    CregBuilder oneBigValue;
    oneBigValue.addKey("Enum\\Big", {CregBuilder::binary("Blob", std::string(5000, '\x5a'))});
    CregBuilder noChecksums = corvane_test::cregSampleHive();
    noChecksums.setChecksums(false);
    CregBuilder grown = corvane_test::cregGrownHive(12000);
    CregBuilder sample98 = corvane_test::cregSampleHive(CregHabit::Windows98);
    CregBuilder grown98 = corvane_test::cregGrownHive(12000, CregHabit::Windows98);
    const CregBuilder* cases[] = {nullptr,      &large, &empty,    &oneBigValue,
                                  &noChecksums, &grown, &sample98, &grown98};
    CregBuilder sample = corvane_test::cregSampleHive();
    cases[0] = &sample;
    for (const CregBuilder* hive : cases) {
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, hive->build());
        EXPECT_TRUE(CregFile::hasSignature(readHostFile(path)));
        expectTree(path, hive->listing());
    }
    // The grown hive has what a used machine's has: over 10,000 keys, over 40
    // blocks, a tree in chunks with entries off any one grid, free entries in
    // the middle and at the end of blocks.
    {
        CregFile file(grown.build());
        ASSERT_FALSE(file.error().has_value());
        EXPECT_GT(file.keys().size(), 10000u);
        EXPECT_GT(file.blocks().size(), 40u);
        EXPECT_GT(file.treeSize(), 0x2000u + 0x1000u * 60);
        size_t offGrid = 0;
        for (const auto& key : file.keys()) {
            offGrid += (key.treeEntry - file.keys()[0].treeEntry) % CregFile::kKeyEntrySize != 0;
        }
        EXPECT_GT(offGrid, 1000u);
        size_t middleGaps = 0;
        size_t endGaps = 0;
        for (const auto& block : file.blocks()) {
            for (size_t at = block.offset + CregFile::kBlockHeaderSize;
                 at < block.offset + block.size; at += CregFile::read32(file.bytes(), at)) {
                bool isFree = CregFile::read16(file.bytes(), at + 4) == CregFile::kFreeEntry;
                bool last = at + CregFile::read32(file.bytes(), at) == block.offset + block.size;
                middleGaps += isFree && !last;
                endGaps += isFree && last;
            }
        }
        EXPECT_GT(middleGaps, 100u);
        EXPECT_GT(endGaps, 30u);
        // A deleted key's name is still in the file, but no reader sees it.
        EXPECT_NE(file.bytes().find("Deleted"), std::string::npos);
        for (const std::string& line : grown.listing()) {
            ASSERT_EQ(line.find("Deleted"), std::string::npos);
        }
    }
    // The sample holds what it claims to: every value type, several blocks.
    std::string bytes = sample.build();
    EXPECT_GE(CregFile::read16(bytes, 16), 3);
    for (const char* type : {" type 1 ", " type 3 ", " type 4 "}) {
        auto lines = sample.listing();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(type) != std::string::npos;
        })) << type;
    }
}

TEST(CregFile, FindsKeysWithoutRegardToCase) {
    CregFile file(corvane_test::cregSampleHive().build());
    ASSERT_FALSE(file.error().has_value()) << *file.error();
    struct Case {
        const char* path;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"Enum\\PCI\\VEN_7E57&DEV_2301", {"VEN_7E57&DEV_2301"}},
        {"enum\\pci\\ven_7e57&dev_2301", {"VEN_7E57&DEV_2301"}},
        {"ENUM\\PCI\\VEN_7E57&DEV_2303", {"ven_7e57&dev_2303"}},
        {"Enum\\ROOT\\printer", {"PRINTER", "Printer"}},
        {"Enum\\ROOT\\PRINTER\\0001", {"0001"}},
        {"Enum\\PCI\\VEN_7E57&DEV_230", {}},
        {"Enum\\PCI\\VEN_7E57&DEV_2301\\Nothing", {}},
        {"Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00\\CHILD\\grandchild", {"Grandchild"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<std::string> names;
        for (size_t key : file.findKeys(*emu::kernel::splitRegistryKeyPath(c.path))) {
            names.push_back(file.keys()[key].name);
        }
        EXPECT_EQ(names, c.names);
    }
}

TEST(CregRegistry, RegDeleteKeyARemovesTheKeyWithItsSubkeysAndNothingElse) {
    struct Case {
        const char* path;
        LONG result;
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {"Enum\\PCI\\VEN_7E57&DEV_2301", ERROR_SUCCESS, {"Enum\\PCI\\VEN_7E57&DEV_2301"}},
        {"enum\\pci\\VEN_7E57&DEV_2302", ERROR_SUCCESS, {"Enum\\PCI\\VEN_7E57&DEV_2302"}},
        {"Enum\\PCI\\VEN_7E57&DEV_2303", ERROR_SUCCESS, {"Enum\\PCI\\ven_7e57&dev_2303"}},
        {"Enum\\PCI\\VEN_7E57&DEV_2310\\BUS_00&DEV_0A&FUNC_00",
         ERROR_SUCCESS,
         {"Enum\\PCI\\VEN_7E57&DEV_2310\\BUS_00&DEV_0A&FUNC_00"}},
        {"Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00\\Child",
         ERROR_SUCCESS,
         {"Enum\\PCI\\VEN_7E57&DEV_2302\\BUS_00&DEV_00&FUNC_00\\Child"}},
        // Siblings whose names differ only in case are one key to Windows.
        {"Enum\\ROOT\\printer", ERROR_SUCCESS, {"Enum\\ROOT\\PRINTER", "Enum\\ROOT\\Printer"}},
        {"Enum\\PCI", ERROR_SUCCESS, {"Enum\\PCI"}},
        {"Enum", ERROR_SUCCESS, {"Enum"}},
        {"Enum\\PCI\\VEN_7E57&DEV_23FF", ERROR_FILE_NOT_FOUND, {}},
        {"Enum\\PCI\\VEN_7E57&DEV_230", ERROR_FILE_NOT_FOUND, {}},
        {"Enum\\PCI\\VEN_7E57&DEV_2301 ", ERROR_FILE_NOT_FOUND, {}},
        {"Enum\\\\PCI", ERROR_BADKEY, {}},
        {"", ERROR_BADKEY, {}},
    };
    const CregBuilder hive = corvane_test::cregSampleHive();
    const std::string original = hive.build();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, original);
        RegistryMachine machine(path);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.path), c.result);
        std::string after = readHostFile(path);
        if (c.result != ERROR_SUCCESS) {
            EXPECT_EQ(after, original);
            continue;
        }
        expectTree(path, hive.listing(c.deleted));
        // Freed space stays in place: the file keeps its size, header and
        // version fields, and the key is gone for good.
        EXPECT_EQ(after.size(), original.size());
        EXPECT_EQ(after.substr(0, CregFile::kHeaderSize),
                  original.substr(0, CregFile::kHeaderSize));
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, c.path), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(readHostFile(path), after);

        // A second deletion from the changed file works as the first did.
        std::vector<std::string> deleted = c.deleted;
        const char* second = "System\\CurrentControlSet\\Services\\Class\\hdc";
        deleted.push_back(second);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, second), ERROR_SUCCESS);
        expectTree(path, hive.listing(deleted));
    }
}

TEST(CregRegistry, DeletesEveryKeyOfALargeFileOneByOne) {
    CregBuilder hive;
    std::vector<std::string> keys;
    for (int i = 0; i < 40; ++i) {
        std::string key = "Enum\\ROOT\\QTR" + std::to_string(i);
        hive.addKey(key + "\\0000\\Sub", {CregBuilder::string("Class", std::string(i * 7, 'x'))});
        keys.push_back(key);
    }
    TempDir dir;
    std::string path = dir / "SYSTEM.DAT";
    writeHostFile(path, hive.build());
    RegistryMachine machine(path);
    std::vector<std::string> deleted;
    // From the middle outwards, so that first, middle and last subkeys of a
    // chain are all taken out.
    for (size_t step = 0; step < keys.size(); ++step) {
        size_t index =
            (step % 2 == 0) ? keys.size() / 2 + step / 2 : keys.size() / 2 - 1 - step / 2;
        ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, keys[index].c_str()), ERROR_SUCCESS);
        deleted.push_back(keys[index]);
        if (step % 8 == 0 || step + 1 == keys.size()) {
            expectTree(path, hive.listing(deleted));
        }
    }
    EXPECT_EQ(hive.listing(deleted), (std::vector<std::string>{"key Enum", "key Enum\\ROOT"}));
}

TEST(CregRegistry, RefusesMalformedFilesAndLeavesThemUntouched) {
    const std::string good = corvane_test::cregSampleHive().build();
    const size_t rootEntry = CregFile::kTreeOffset + CregFile::kTreeHeaderSize;
    const size_t firstBlock = CregFile::read32(good, 8);
    const size_t firstData = firstBlock + CregFile::kBlockHeaderSize;
    auto with32 = [&](size_t offset, uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<char>(value >> (8 * i));
        }
        return bytes;
    };
    auto with16 = [&](size_t offset, uint16_t value) {
        std::string bytes = good;
        bytes[offset] = static_cast<char>(value & 0xFF);
        bytes[offset + 1] = static_cast<char>(value >> 8);
        return bytes;
    };
    // A change under a kept checksum, with the checksum made right again.
    auto resummed = [&](std::string bytes) {
        CregFile file(bytes);
        emu::kernel::CregWriter::resum(bytes, CregFile::kTreeOffset, file.treeSize(),
                                       CregFile::kTreeOffset + 20,
                                       CregFile::read32(bytes, CregFile::kTreeOffset + 16));
        return bytes;
    };
    uint32_t rootChild = CregFile::read32(good, rootEntry + 16);
    uint32_t secondKey = rootChild;
    uint32_t secondKeyNext = CregFile::read32(good, CregFile::kTreeOffset + secondKey + 20);
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason; // part of the stderr line
    };
    const Case cases[] = {
        {"truncated in the header", good.substr(0, 40), "ends inside its header"},
        {"truncated in the key tree", good.substr(0, rootEntry + 10), "key tree"},
        {"truncated in the data", good.substr(0, good.size() - 100), "past the end"},
        {"not this format", "CREX" + good.substr(4), "REGEDIT4"},
        {"another version", with16(6, 2), "version"},
        {"no key tree", with32(CregFile::kTreeOffset, 0x4E4B4758), "RGKN"},
        {"key tree past the end", with32(CregFile::kTreeOffset + 4, 0x7FFFFFF0), "key tree"},
        {"root entry past the tree", with32(CregFile::kTreeOffset + 8, 0x00FFFFF0), "root key"},
        {"data blocks past the end", with32(8, static_cast<uint32_t>(good.size())), "past the end"},
        {"data blocks inside the key tree", with32(8, 0x40), "overlap"},
        {"too many data blocks", with16(16, 200), "past the end"},
        {"block size past the end", with32(firstBlock + 4, 0x00FFFFFF), "past the end"},
        {"no data block", with32(firstBlock, 0x42444758), "RGDB"},
        {"entry size past the block", with32(firstData, 0x00FFFFFF), "does not fit"},
        {"entry size too small", with32(firstData, 4), "does not fit"},
        {"used bytes past the entry", with32(firstData + 8, 0x00FFFFFF), "uses"},
        {"name past the entry", with16(firstData + 12, 0xFFFF), "key name"},
        {"values past the entry", with16(firstData + 14, 0x0200), "value"},
        {"subkey link past the tree", with32(rootEntry + 16, 0x00FFFFF0), "no key entry"},
        {"subkey link into the root's entry", with32(rootEntry + 16, CregFile::kTreeHeaderSize + 2),
         "overlaps"},
        {"subkey links to the root", with32(rootEntry + 16, CregFile::kTreeHeaderSize), "loops"},
        {"subkey marked free", with32(CregFile::kTreeOffset + rootChild, CregFile::kFreeKeyMark),
         "marked free"},
        {"sibling links to itself", with32(CregFile::kTreeOffset + secondKey + 20, secondKey),
         "loops"},
        {"subkey links back to its parent",
         with32(CregFile::kTreeOffset + secondKey + 16, secondKey), "loops"},
        {"missing data entry", with16(rootEntry + 24, 0x0777), "does not exist"},
        {"shared data entry",
         with32(CregFile::kTreeOffset + secondKeyNext + 24,
                CregFile::read32(good, CregFile::kTreeOffset + secondKey + 24)),
         "share"},
        {"two entries with one number",
         with16(firstData + 4,
                CregFile::read16(good, firstData + CregFile::read32(good, firstData) + 4)),
         "numbered"},
        {"empty", "", "REGEDIT4"},
        // Damage in the file of any release, which a change would hide.
        {"a block checksum that does not match",
         with32(firstBlock + 28, CregFile::read32(good, firstBlock + 28) + 1),
         "data block 0's checksum"},
        {"the key tree's checksum does not match", with32(CregFile::kTreeOffset + 20, 0),
         "key tree's checksum"},
        {"data after its end", good + std::string(1 << 20, '\0'), "follow the last data block"},
        {"a free list link past the end of the file",
         resummed(with32(CregFile::kTreeOffset + 12, 0x7FFFFF00)), "past the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.bytes != good);
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, c.bytes);
        RegistryMachine machine(path);
        testing::internal::CaptureStderr();
        LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_7E57&DEV_2301");
        std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, ERROR_BADDB);
        EXPECT_EQ(readHostFile(path), c.bytes);
        EXPECT_EQ(std::filesystem::directory_iterator(dir.path())->path().filename(), "SYSTEM.DAT");
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
    // A counter that is off by this reader's own rules is no damage in every
    // release: the change is made.
    TempDir dir;
    std::string path = dir / "SYSTEM.DAT";
    std::string counted = with32(firstBlock + 8, CregFile::read32(good, firstBlock + 8) + 4);
    emu::kernel::CregWriter::resum(counted, firstBlock, CregFile::read32(good, firstBlock + 4),
                                   firstBlock + 28, CregFile::read16(good, firstBlock + 12));
    ASSERT_FALSE(emu::kernel::checkCregFile(counted).empty());
    writeHostFile(path, counted);
    RegistryMachine machine(path);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_7E57&DEV_2301"), ERROR_SUCCESS);
}

TEST(CregRegistry, PicksTheFileAndItsFormat) {
    const std::string binary = corvane_test::cregSampleHive().build();
    const std::string text =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_2301]\r\n";
    const char* key = "Enum\\PCI\\VEN_7E57&DEV_2301";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files; // in the Windows directory
        std::string changed;                                    // the file the deletion went to
        LONG result = ERROR_SUCCESS;
    };
    const Case cases[] = {
        {"SYSTEM.DAT beside SYSTEM.REG",
         {{"SYSTEM.DAT", binary}, {"SYSTEM.REG", text}},
         "SYSTEM.DAT"},
        {"system.dat in another case", {{"system.dat", binary}}, "system.dat"},
        {"only SYSTEM.REG", {{"SYSTEM.REG", text}}, "SYSTEM.REG"},
        {"a binary file named SYSTEM.REG", {{"SYSTEM.REG", binary}}, "SYSTEM.REG"},
        // The registry file is what carries the name, and a folder is none.
        {"a folder named SYSTEM.DAT", {{"SYSTEM.REG", text}}, "", ERROR_BADDB},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryMachine machine("");
        if (std::string(c.what).find("folder") != std::string::npos) {
            std::filesystem::create_directories(machine.windows() + "/SYSTEM.DAT");
        }
        for (const auto& [name, bytes] : c.files) {
            writeHostFile(machine.windows() + "/" + name, bytes);
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), c.result);
        for (const auto& [name, bytes] : c.files) {
            std::string now = readHostFile(machine.windows() + "/" + name);
            EXPECT_EQ(now != bytes, name == c.changed) << name;
        }
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key),
                  c.result == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : c.result);
        std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(message.empty(), c.result == ERROR_SUCCESS) << message;
    }
    // --registry names the file; its content says which format it is.
    TempDir dir;
    std::string hostFile = dir / "hive.reg";
    writeHostFile(hostFile, binary);
    RegistryMachine machine(hostFile);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    expectTree(hostFile, corvane_test::cregSampleHive().listing({key}));
}

// The registry is the system's own file: read-only, it is written all the
// same, in place, and stays read-only, its hard links kept; a write that
// fails (the disk is full, for the journal or for the file) leaves the old
// file and nothing beside it, and is reported.
TEST(CregRegistry, AReadOnlyHiveIsWrittenAndAFailedWriteLeavesTheOldFile) {
    const std::string original = corvane_test::cregSampleHive().build();
    const char* key = "Enum\\PCI\\VEN_7E57&DEV_2301";
    auto namesIn = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    for (int failingWrite : {1, 2}) {
        SCOPED_TRACE(failingWrite == 1 ? "the journal's write fails" : "the file's write fails");
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, original);
        RegistryMachine full(path, failingWrite);
        testing::internal::CaptureStderr();
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_ACCESS_DENIED);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path + ": not changed: "), std::string::npos) << said;
        EXPECT_EQ(readHostFile(path), original);
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
    }
    RegistryMachine machine("");
    std::string path = machine.windows() + "/SYSTEM.DAT";
    writeHostFile(path, original);
    ASSERT_EQ(chmod(path.c_str(), 0440), 0);
    ASSERT_EQ(link(path.c_str(), (machine.windows() + "/LINKED.DAT").c_str()), 0);
    // A program opening the file for writing is refused, as on Windows.
    EXPECT_EQ(CreateFileA("C:\\Windows\\SYSTEM.DAT", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    expectTree(path, corvane_test::cregSampleHive().listing({key}));
    struct stat info {};
    struct stat linked {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    ASSERT_EQ(stat((machine.windows() + "/LINKED.DAT").c_str(), &linked), 0);
    EXPECT_EQ(info.st_mode & 07777, 0440u);
    EXPECT_EQ(info.st_ino, linked.st_ino);
    EXPECT_EQ(info.st_nlink, 2u);
    EXPECT_EQ(namesIn(machine.windows()), std::vector<std::string>({"LINKED.DAT", "SYSTEM.DAT"}));
}

// A change cut short leaves a journal beside the hive: the next start puts
// the old bytes back and says so; a journal that is not whole stops the
// start and is applied never. A journal is never read as a registry file
// nor listed among the folder's files.
TEST(CregRegistry, AChangeCutShortIsRolledBackAtTheNextStartOrStopsIt) {
    const std::string original = corvane_test::cregSampleHive().build();
    const char* key = "Enum\\PCI\\VEN_7E57&DEV_2301";
    // The hive as a writer killed after its first page leaves it.
    auto cutShort = [&](const std::string& path) {
        writeHostFile(path, original);
        emu::hostsupport::UndoJournal journal(path);
        journal.keep(0, 4096);
        ASSERT_TRUE(journal.seal().ok());
        writeHostFile(path, std::string(4096, 'T') + original.substr(4096));
    };
    {
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        cutShort(path);
        testing::internal::CaptureStderr();
        RegistryMachine machine(path);
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, "setup: registry file " + path +
                            ": a change cut short was undone from its journal\n");
        EXPECT_EQ(readHostFile(path), original);
        EXPECT_EQ(corvane_test::folderEntries(dir.path()), std::vector<std::string>{"SYSTEM.DAT"});
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    }
    TempDir dir;
    std::string path = dir / "SYSTEM.DAT";
    cutShort(path);
    const std::string journalPath = emu::hostsupport::UndoJournal::pathFor(path);
    std::string journal = readHostFile(journalPath);
    journal.back() ^= 1;
    writeHostFile(journalPath, journal);
    const std::string torn = readHostFile(path);
    try {
        RegistryMachine machine(path);
        ADD_FAILURE() << "the machine started";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("is not whole; it was not applied"),
                  std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("the machine does not start"), std::string::npos);
    }
    EXPECT_EQ(readHostFile(path), torn);
    EXPECT_EQ(readHostFile(journalPath), journal);

    // The same journal turning up beside a running machine's hive.
    RegistryMachine machine("");
    const std::string hive = machine.windows() + "/SYSTEM.DAT";
    writeHostFile(hive, original);
    writeHostFile(emu::hostsupport::UndoJournal::pathFor(hive), journal);
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA("C:\\Windows\\*", &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> listed;
    do {
        listed.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(listed, std::vector<std::string>({".", "..", "SYSTEM.DAT"}));
    testing::internal::CaptureStderr();
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_ACCESS_DENIED);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("not whole"), std::string::npos) << said;
    EXPECT_EQ(readHostFile(hive), original);
}

// Another process writes the hive between this call's read and its write
// (here: as the journal is written): the call sees it once its journal is
// sealed, reads the file again and makes its deletion on that.
TEST(CregRegistry, AWriteOfAnotherProcessBeforeTheSealIsReadAgain) {
    const CregBuilder sample = corvane_test::cregSampleHive();
    const std::string original = sample.build();
    const std::string mine = "Enum\\PCI\\VEN_7E57&DEV_2301";
    const std::string theirs = "Enum\\PCI\\VEN_7E57&DEV_2302";
    CregFile parsed(original);
    emu::kernel::CregWriter writer(parsed, emu::kernel::cregHabitsOf(parsed).habit);
    ASSERT_GT(writer.deleteKeys(parsed.findKeys(*emu::kernel::splitRegistryKeyPath(theirs))), 0u);
    const std::string theirFile = writer.bytes();

    TempDir dir;
    const std::string path = dir / "SYSTEM.DAT";
    writeHostFile(path, original);
    RegistryMachine machine(path);
    ASSERT_TRUE(emu::kernel::localMachineKeyExists(mine)); // read and kept
    int journalWrites = 0;
    emu::hostsupport::UndoJournal::setStepHook([&](const char* step, bool made) {
        if (!made && std::string(step) == "write journal" && ++journalWrites == 1) {
            writeHostFile(path, theirFile);
        }
        return 0;
    });
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, mine.c_str());
    emu::hostsupport::UndoJournal::setStepHook(nullptr);
    EXPECT_EQ(result, ERROR_SUCCESS);
    EXPECT_EQ(journalWrites, 2) << "the deletion was not made again";
    expectTree(path, sample.listing({mine, theirs}));
}

TEST(CregWriter, FreesTheDataOfDeletedKeysInPlace) {
    CregBuilder hive = corvane_test::cregSampleHive();
    CregFile file(hive.build());
    ASSERT_FALSE(file.error().has_value());
    auto keys = file.findKeys({"Enum", "PCI", "VEN_7E57&DEV_2302"});
    ASSERT_EQ(keys.size(), 1u);
    const CregFile::Key& key = file.keys()[keys[0]];
    ASSERT_TRUE(key.data.has_value());
    size_t entry = *key.data;
    uint32_t entrySize = CregFile::read32(file.bytes(), entry);
    uint32_t unusedBefore = CregFile::read32(file.bytes(), key.block + 8);

    emu::kernel::CregWriter writer(file, emu::kernel::cregHabitsOf(file).habit);
    EXPECT_EQ(writer.deleteKeys(keys), 4u); // the key, its device, Child, Grandchild
    const std::string& after = writer.bytes();
    // The data entry is free as the format marks it, in place.
    EXPECT_EQ(CregFile::read32(after, entry), entrySize);
    EXPECT_EQ(CregFile::read16(after, entry + 4), CregFile::kFreeEntry);
    EXPECT_EQ(CregFile::read16(after, entry + 6), CregFile::kFreeEntry);
    EXPECT_EQ(CregFile::read32(after, entry + 8), CregFile::kNone);
    EXPECT_EQ(after.find("VEN_7E57&DEV_2302\\"), std::string::npos);
    EXPECT_EQ(after.find("Grandchild"), std::string::npos);
    EXPECT_EQ(CregFile::read32(after, key.block + 8), unusedBefore + entrySize);
    // The key entry heads the tree's free list, which goes on to the old head.
    uint32_t head = CregFile::read32(after, CregFile::kTreeOffset + 12);
    size_t freed = CregFile::kTreeOffset + head;
    EXPECT_EQ(CregFile::read32(after, freed), CregFile::kFreeKeyMark);
    EXPECT_EQ(CregFile::read32(after, freed + 4), CregFile::kKeyEntrySize);
    std::vector<size_t> freedEntries;
    for (uint32_t at = head; at != CregFile::read32(file.bytes(), CregFile::kTreeOffset + 12);
         at = CregFile::read32(after, CregFile::kTreeOffset + at + 8)) {
        freedEntries.push_back(at);
        ASSERT_LE(freedEntries.size(), 4u);
    }
    EXPECT_EQ(freedEntries.size(), 4u);
    auto findings = emu::kernel::checkCregFile(after);
    EXPECT_TRUE(findings.empty()) << describe(findings);
    // Nothing outside the freed entries and the changed links differs.
    size_t differing = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        differing += after[i] != file.bytes()[i];
    }
    EXPECT_LT(differing, 400u);
    CregFile reread(after);
    ASSERT_FALSE(reread.error().has_value()) << *reread.error();
    EXPECT_EQ(corvane_test::cregListing(reread), hive.listing({"Enum\\PCI\\VEN_7E57&DEV_2302"}));
}

// The binary files checked in as test data are what the generator makes;
// with CORVANE_WRITE_TEST_DATA set the test writes them instead.
TEST(CregFile, CheckedInFilesAreTheGeneratorsFiles) {
    const std::string top = std::string(CORVANE_TEST_DATA) + "/..";
    auto files = corvane_test::cregFuzzSeeds();
    for (auto& [name, bytes] : files) {
        name = "fuzz/corpus/fuzz_creg/" + name;
    }
    files.emplace_back("tests/e2e/acceptance/scenarios/install-system-dat/c/WINDOWS/SYSTEM.DAT",
                       corvane_test::cregInstallDriveHive().build());
    files.emplace_back("demo/SYSTEM.DAT", corvane_test::cregDemoHive().build());
    // The scenario's file after the install: the four device keys deleted one
    // by one, as RegDeleteKeyA does.
    std::string installed = corvane_test::cregInstallDriveHive().build();
    for (const char* key : {"Enum\\PCI\\VEN_7E57&DEV_2301", "Enum\\PCI\\VEN_7E57&DEV_2302",
                            "Enum\\PCI\\VEN_7E57&DEV_23FF", "Enum\\PCI\\VEN_7E57&DEV_2303"}) {
        CregFile file(installed);
        emu::kernel::CregWriter writer(file, emu::kernel::cregHabitsOf(file).habit);
        ASSERT_EQ(writer.deleteKeys(file.findKeys(*emu::kernel::splitRegistryKeyPath(key))), 2u);
        installed = writer.bytes();
    }
    files.emplace_back(
        "tests/e2e/acceptance/scenarios/install-system-dat/expected/c/WINDOWS/SYSTEM.DAT",
        installed);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        if (std::getenv("CORVANE_WRITE_TEST_DATA") != nullptr) {
            writeHostFile(top + "/" + name, bytes);
        }
        EXPECT_TRUE(readHostFile(top + "/" + name) == bytes);
        CregFile file(bytes);
        EXPECT_FALSE(file.error().has_value());
    }
}

// Deletions from a hive grown as Windows grows one: after each, both readers
// find exactly the expected tree, the structure is sound, and every key that
// stays keeps its key entry and its data entry's number and block.
TEST(CregRegistry, DeletesFromAGrownHiveAndKeepsEveryOtherKeyInPlace) {
    const CregBuilder hive = corvane_test::cregGrownHive(10500);
    const std::string original = hive.build();
    TempDir dir;
    std::string path = dir / "SYSTEM.DAT";
    writeHostFile(path, original);
    RegistryMachine machine(path);
    CregFile before(original);
    ASSERT_FALSE(before.error().has_value());
    auto places = placesOf(before);
    struct Step {
        const char* key;
        bool libcreg; // libcreg reads the file too (it takes seconds)
    };
    const Step steps[] = {
        {"Enum\\PCI\\VEN_7E57&DEV_2301", false}, // first of its chain, first in the file
        {"Enum\\PCI\\VEN_7E57&DEV_2303", false}, // last of the four
        {"Enum\\PCI\\VEN_7E57&DEV_23FF", false},
        {"Enum\\PCI\\VEN_7E57&DEV_2302", true},
        {"Software", false}, // thousands of keys over many blocks
        {"System\\CurrentControlSet\\Services\\Class\\Net", true},
    };
    std::vector<std::string> deleted;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, step.key), ERROR_SUCCESS);
        deleted.push_back(step.key);
        expectTree(path, hive.listing(deleted), step.libcreg);
        std::string after = readHostFile(path);
        EXPECT_EQ(after.size(), original.size());
        CregFile now(after);
        ASSERT_FALSE(now.error().has_value());
        for (const auto& [key, place] : placesOf(now)) {
            ASSERT_EQ(places.at(key), place) << key;
        }
    }
}

// The parsed hive is kept between calls only while the file is the one read
// or written: a file of the same size rewritten in place right after a call
// (its times may not change), later, or replaced by another file is read
// again.
TEST(CregRegistry, AChangeToTheFileBetweenCallsCounts) {
    auto hiveWith = [](const std::string& name) {
        CregBuilder hive;
        hive.setHabit(CregHabit::Windows98);
        hive.addKey("Enum\\ROOT\\" + name, {CregBuilder::string("Class", "System")});
        hive.addKey("Enum\\ROOT\\" + name + "2", {CregBuilder::string("Class", "System")});
        return hive.build();
    };
    const std::string first = hiveWith("AAAA");
    const std::string second = hiveWith("BBBB");
    ASSERT_EQ(first.size(), second.size());
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> change;
    };
    const Case cases[] = {
        {"rewritten in place at once",
         [&](const std::string& path) { writeHostFile(path, second); }},
        {"rewritten in place later",
         [&](const std::string& path) {
             std::this_thread::sleep_for(std::chrono::milliseconds(150));
             writeHostFile(path, second);
         }},
        {"replaced by another file",
         [&](const std::string& path) {
             writeHostFile(path + ".new", second);
             std::filesystem::rename(path + ".new", path);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, first);
        RegistryMachine machine(path);
        ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\AAAA"), ERROR_SUCCESS);
        c.change(path);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\AAAA2"), ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\BBBB"), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\ROOT\\BBBB"), ERROR_FILE_NOT_FOUND);
        CregFile now(readHostFile(path));
        ASSERT_FALSE(now.error().has_value());
        EXPECT_EQ(corvane_test::cregListing(now),
                  std::vector<std::string>(
                      {"key Enum", "key Enum\\ROOT", "key Enum\\ROOT\\BBBB2",
                       corvane_test::cregValueLine("Enum\\ROOT\\BBBB2", 1, "Class",
                                                   "System" + std::string(1, '\0'))}));
    }
}

namespace {

const char* const kDeviceKeys[] = {"Enum\\PCI\\VEN_7E57&DEV_2301", "Enum\\PCI\\VEN_7E57&DEV_2302",
                                   "Enum\\PCI\\VEN_7E57&DEV_23FF", "Enum\\PCI\\VEN_7E57&DEV_2303"};

// The demo disk's four device keys among others, with Windows 98's habits;
// depth puts a chain of subkeys below each, gapEvery leaves a deleted key's
// hole after every so many keys.
CregBuilder windows98Hive(size_t blockSize, int depth, int gapEvery) {
    CregBuilder hive;
    hive.setHabit(CregHabit::Windows98);
    hive.setBlockSize(blockSize);
    int added = 0;
    auto add = [&](const std::string& path, std::vector<CregBuilder::Value> values) {
        if (gapEvery > 0 && ++added % gapEvery == 0) {
            hive.addGap(24 + static_cast<size_t>(added % 5) * 16);
        }
        hive.addKey(path, std::move(values));
    };
    add("Config\\0001\\Display\\Settings", {CregBuilder::string("Resolution", "800,600")});
    for (const char* device : kDeviceKeys) {
        std::string key = std::string(device) + "\\BUS_00&DEV_07&FUNC_01";
        add(key, {CregBuilder::string("Class", "System"), CregBuilder::dword("Count", 3)});
        for (int level = 0; level < depth; ++level) {
            key += "\\Level" + std::to_string(level);
            add(key,
                {CregBuilder::binary("Bits", std::string(static_cast<size_t>(level % 7), 'b'))});
        }
        add("Enum\\ROOT\\Stays" + std::string(device).substr(13),
            {CregBuilder::string("Class", "Printer")});
    }
    for (int i = 0; i < 120; ++i) {
        add("Software\\Maker\\Product" + std::to_string(i),
            {CregBuilder::string("Path", "C:\\TOOL" + std::to_string(i))});
    }
    return hive;
}

// Blocks whose first-free field names a hole that is not their lowest free
// entry: only Windows 98 does that.
size_t blocksNamingALaterHole(const CregFile& file) {
    size_t count = 0;
    for (const CregFile::Block& block : file.blocks()) {
        auto counts = emu::kernel::countCregBlock(file.bytes(), block.offset, block.size);
        count += CregFile::read32(file.bytes(), block.offset + 16) != counts.lowestFree;
    }
    return count;
}

} // namespace

// Windows 98's hives as such installations keep them: the four device keys
// go, every other key and value stays in place and in order, libcreg agrees,
// the structure check finds nothing, and the file keeps Windows 98's habits
// (its holes, the counting of unused bytes, free offsets at holes).
TEST(CregRegistry, DeletesTheDeviceKeysFromWindows98Hives) {
    struct Case {
        const char* name;
        CregBuilder hive;
        size_t minimumBytes;
    };
    Case cases[] = {
        {"small", windows98Hive(0x1000, 0, 0), 0},
        {"deep", windows98Hive(0x800, 12, 0), 0},
        {"holes in mid-block", windows98Hive(0x400, 1, 3), 0},
        {"free offsets at holes", windows98Hive(0x1000, 2, 2), 0},
        {"grown to 8 MB", corvane_test::cregGrownHive(44000, CregHabit::Windows98),
         8 * 1000 * 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = c.hive.build();
        ASSERT_GE(original.size(), c.minimumBytes);
        CregFile before(original);
        ASSERT_FALSE(before.error().has_value()) << *before.error();
        auto habits = emu::kernel::cregHabitsOf(before);
        EXPECT_EQ(habits.habit, CregHabit::Windows98);
        EXPECT_TRUE(habits.certain);
        auto places = placesOf(before);
        TempDir dir;
        std::string path = dir / "SYSTEM.DAT";
        writeHostFile(path, original);
        expectTree(path, c.hive.listing());
        {
            RegistryMachine machine(path);
            for (const char* key : kDeviceKeys) {
                ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS) << key;
            }
        }
        std::vector<std::string> deleted(std::begin(kDeviceKeys), std::end(kDeviceKeys));
        expectTree(path, c.hive.listing(deleted));
        std::string after = readHostFile(path);
        EXPECT_EQ(after.size(), original.size());
        CregFile now(after);
        ASSERT_FALSE(now.error().has_value());
        for (const auto& [key, place] : placesOf(now)) {
            ASSERT_EQ(places.at(key), place) << key;
        }
        habits = emu::kernel::cregHabitsOf(now);
        EXPECT_EQ(habits.habit, CregHabit::Windows98);
        EXPECT_TRUE(habits.certain);
        // Every block freed into names the hole freed last.
        EXPECT_GE(blocksNamingALaterHole(now), blocksNamingALaterHole(before));
        EXPECT_GT(blocksNamingALaterHole(now), 0u);
    }
}

namespace {

// The structure check finds one problem per changed field, at that field;
// the sums are made right again where the row is not about a checksum, as a
// writer that got only that field wrong would leave them. Damage to a
// checksum or to a block counter of a file whose other blocks keep their
// habits stops a change; the rest is for the check's reader.
void expectEachWrongFieldFoundOnce(const std::string& good) {
    CregFile file(good);
    ASSERT_FALSE(file.error().has_value());
    ASSERT_TRUE(emu::kernel::checkCregFile(good).empty());
    const size_t tree = CregFile::kTreeOffset;
    const CregFile::Block block = file.blocks()[3];
    const CregFile::Key& key = file.keys()[file.keys()[0].subkeys[0]];
    const uint32_t freeHead = CregFile::read32(good, tree + 12);
    const uint32_t liveEntry = static_cast<uint32_t>(key.treeEntry - tree);
    auto set32 = [](std::string& bytes, size_t offset, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<char>(value >> (8 * i));
        }
    };
    auto resumAll = [&](std::string& bytes) {
        using emu::kernel::CregWriter;
        for (const auto& b : file.blocks()) {
            CregWriter::resum(bytes, b.offset, b.size, b.offset + 28,
                              CregFile::read16(bytes, b.offset + 12));
        }
        CregWriter::resum(bytes, tree, file.treeSize(), tree + 20,
                          CregFile::read32(bytes, tree + 16));
        CregWriter::resum(bytes, 0, CregFile::kHeaderSize, 12, CregFile::read16(bytes, 18));
    };
    struct Case {
        const char* what;
        size_t field;
        uint32_t value;
        bool resum;
        size_t offset; // of the finding
        const char* finding;
        bool stops = false;
    };
    const Case cases[] = {
        {"file header checksum", 12, CregFile::read32(good, 12) + 1, false, 12,
         "file header's checksum", true},
        {"key tree checksum", tree + 20, CregFile::read32(good, tree + 20) ^ 0x100, false,
         tree + 20, "key tree's checksum", true},
        {"block checksum", block.offset + 28, 0, false, block.offset + 28,
         "data block 3's checksum", true},
        {"a byte under the tree checksum", tree + 24, 1, false, tree + 20, "key tree's checksum",
         true},
        {"unused bytes", block.offset + 8, CregFile::read32(good, block.offset + 8) + 4, true,
         block.offset + 8, "unused bytes", true},
        // Inside the block's first entry: no entry starts there.
        {"first free entry", block.offset + 16, 0x22, true, block.offset + 16, "first free entry",
         true},
        {"highest number", block.offset + 20,
         (CregFile::read32(good, block.offset + 20) & 0xFFFF0000) | 7, true, block.offset + 20,
         "highest entry number", true},
        {"block number", block.offset + 12,
         (CregFile::read32(good, block.offset + 12) & 0xFFFF) | 9u << 16, true, block.offset + 14,
         "number", true},
        {"free list head to a key", tree + 12, liveEntry, true, tree + 12, "entry of a key"},
        {"free list head past the tree", tree + 12, static_cast<uint32_t>(file.treeSize()), true,
         tree + 12, "outside"},
        {"free list link to itself", tree + freeHead + 8, freeHead, true, tree + freeHead + 8,
         "loops"},
        {"free list head into an entry in use", tree + 12,
         static_cast<uint32_t>(file.keys()[1].treeEntry - tree + 2), true, tree + 12,
         "entry of a key"},
        {"key marked free", key.treeEntry, CregFile::kFreeKeyMark, true, key.treeEntry,
         "marked free"},
        {"key hash", key.treeEntry + 4, CregFile::read32(good, key.treeEntry + 4) + 1, true,
         key.treeEntry + 4, "hash"},
        {"key parent", key.treeEntry + 12, liveEntry, true, key.treeEntry + 12, "parent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        set32(bytes, c.field, c.value);
        if (c.resum) {
            resumAll(bytes);
        }
        ASSERT_NE(bytes, good);
        auto findings = emu::kernel::checkCregFile(bytes);
        ASSERT_EQ(findings.size(), 1u) << describe(findings);
        EXPECT_EQ(findings[0].offset, c.offset) << describe(findings);
        EXPECT_NE(findings[0].what.find(c.finding), std::string::npos) << describe(findings);
        EXPECT_EQ(findings[0].stopsChange(), c.stops) << describe(findings);
    }
}

} // namespace

TEST(CregCheck, FindsEachWrongFieldOnceWhateverTheHabits) {
    for (CregHabit habit : {CregHabit::Windows95, CregHabit::Windows98}) {
        SCOPED_TRACE(habit == CregHabit::Windows95 ? "Windows 95" : "Windows 98");
        expectEachWrongFieldFoundOnce(corvane_test::cregGrownHive(3000, habit).build());
    }
    expectEachWrongFieldFoundOnce(windows98Hive(0x400, 1, 3).build());
}

// A file none of whose blocks keeps a habit we know: the check reports each
// counter, but none of them stops a change (the habits may be Windows' own).
TEST(CregCheck, CountersOfUnknownHabitsAreReportedWithoutStoppingAChange) {
    std::string bytes = corvane_test::cregGrownHive(3000).build();
    CregFile file(bytes);
    for (const CregFile::Block& block : file.blocks()) {
        bytes[block.offset + 8] = static_cast<char>(bytes[block.offset + 8] + 1);
        emu::kernel::CregWriter::resum(bytes, block.offset, block.size, block.offset + 28,
                                       CregFile::read16(bytes, block.offset + 12));
    }
    auto findings = emu::kernel::checkCregFile(bytes);
    ASSERT_EQ(findings.size(), file.blocks().size()) << describe(findings);
    for (const auto& finding : findings) {
        EXPECT_NE(finding.what.find("unused bytes"), std::string::npos) << finding.what;
        EXPECT_FALSE(finding.stopsChange()) << finding.what;
    }
}

// A file the reader refuses is one finding, at the field that made it refuse.
TEST(CregCheck, AFileThatDoesNotReadIsOneFinding) {
    std::string bytes = corvane_test::cregSampleHive().build();
    bytes[CregFile::kTreeOffset + 4] = '\x7F';
    bytes[CregFile::kTreeOffset + 7] = '\x7F';
    auto findings = emu::kernel::checkCregFile(bytes);
    ASSERT_EQ(findings.size(), 1u) << describe(findings);
    EXPECT_EQ(findings[0].offset, CregFile::kTreeOffset + 4);
    EXPECT_NE(findings[0].what.find("key tree's size"), std::string::npos);
}

// Windows 98 and Me files grow past what Windows 95 makes, and past the
// bound of a profile file: a file of 20 MB, here a grown hive with one more
// block of 18 MB of free space, reads and takes a deletion like any other.
TEST(CregRegistry, ReadsAndChangesAFileOf20MB) {
    std::string bytes = corvane_test::cregGrownHive(2000).build();
    const size_t total = 20 * 1024 * 1024;
    const uint32_t blockSize = static_cast<uint32_t>(total - bytes.size());
    auto put32 = [](std::string& out, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            out += static_cast<char>(value >> (8 * i));
        }
    };
    std::string block = "RGDB";
    put32(block, blockSize);
    put32(block, blockSize - 0x20);                            // all of it unused
    put32(block, 0x0009u | CregFile::read16(bytes, 16) << 16); // flags, number
    put32(block, 0x20);                                        // the free entry
    put32(block, 0);                                           // no entry in use
    put32(block, 0);
    put32(block, 0);
    put32(block, blockSize - 0x20);
    put32(block, 0xFFFFFFFF);
    put32(block, CregFile::kNone);
    block.resize(blockSize, '\0');
    bytes += block;
    bytes[16] = static_cast<char>(bytes[16] + 1); // one more block
    emu::kernel::CregWriter::resum(bytes, 0, CregFile::kHeaderSize, 12,
                                   CregFile::read16(bytes, 18));
    ASSERT_EQ(bytes.size(), total);

    TempDir dir;
    std::string path = dir / "SYSTEM.DAT";
    writeHostFile(path, bytes);
    RegistryMachine machine(path);
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_7E57&DEV_2302"), ERROR_SUCCESS);
    std::string after = readHostFile(path);
    EXPECT_EQ(after.size(), total);
    CregFile file(after);
    ASSERT_FALSE(file.error().has_value()) << *file.error();
    EXPECT_EQ(file.blocks().back().size, blockSize);
    EXPECT_TRUE(file.findKeys({"Enum", "PCI", "VEN_7E57&DEV_2302"}).empty());
    EXPECT_EQ(file.findKeys({"Enum", "PCI", "VEN_7E57&DEV_2303"}).size(), 1u);
    auto findings = emu::kernel::checkCregFile(after);
    EXPECT_TRUE(findings.empty()) << describe(findings);
}
