#include "update/CUpdateInf.h"

#include "tests/support/SectionText.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using corvane_test::sectionText;
using corvane_test::TestMachine;

namespace {

const char kInfDir[] = "WINDOWS/INF/";

class UpdateInfTest : public ::testing::Test {
protected:
    void SetUp() override { machine.boot(); }
    TestMachine machine;
};

} // namespace

TEST(UpdateInfDirectories, FollowTheWindowsAndCurrentDirectories) {
    struct Row {
        const char* windowsDir;
        const char* currentDir;
        const char* infDir;
        const char* sourceDir;
    };
    const Row rows[] = {
        {"C:\\", "A:\\", "C:\\inf\\", "A:\\"},
        {"C:\\WINDOWS", "D:\\DRIVERS", "C:\\WINDOWS\\inf\\", "D:\\DRIVERS\\"},
        {"C:\\WINDOWS\\", "D:\\", "C:\\WINDOWS\\inf\\", "D:\\"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        machine.config().drives['A'] = machine.disk();
        machine.config().windowsDir = row.windowsDir;
        machine.config().currentDir = row.currentDir;
        machine.writeDisk("DRIVERS/README.TXT", "");
        machine.boot();
        CUpdateInf update;
        EXPECT_STREQ(update.GetInfDir(), row.infDir) << row.windowsDir;
        EXPECT_STREQ(update.GetSourceDir(), row.sourceDir) << row.currentDir;
    }
}

TEST_F(UpdateInfTest, MergeAppendsMissingLinesInFragmentOrderAndKeepsTheRest) {
    machine.writeC(std::string(kInfDir) + "T.INF",
                   "; target\r\n[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[S]\r\na=1\r\nb=2\r\n"
                   "\r\n[Other]\r\nx=1\r\n");
    machine.writeDisk("S.QTR", "[S]\r\nB=2\r\nc=3\r\nc=3\r\na=9\r\n[New]\r\nn=1\r\nm=2\r\n");
    CUpdateInf update;
    EXPECT_EQ(update.UpdateFile("T.INF", "S.QTR", "T.OLD"), 1);

    // Case-only differences match, a changed value is a new line, a line
    // twice in the fragment arrives once.
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "S"), "a=1|b=2|c=3|a=9|");
    // A section the target lacked arrives whole, in the fragment's order.
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "New"), "n=1|m=2|");
    std::string merged = machine.readC(std::string(kInfDir) + "T.INF");
    EXPECT_EQ(merged.rfind("; target\r\n[Version]\r\nSignature=\"$CHICAGO$\"\r\n", 0), 0u);
    EXPECT_NE(merged.find("[Other]\r\nx=1\r\n"), std::string::npos);
    // The backup holds the file as it was.
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"),
              "; target\r\n[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[S]\r\na=1\r\nb=2\r\n"
              "\r\n[Other]\r\nx=1\r\n");
    // No work file is left behind.
    EXPECT_EQ(corvane_test::folderEntries(machine.onC(kInfDir)),
              (std::vector<std::string>{"T.INF", "T.OLD"}));
}

TEST_F(UpdateInfTest, InstallingTwiceKeepsTheFirstBackupAndAppendsNothing) {
    const std::string original = "[S]\r\na=1\r\n";
    machine.writeC(std::string(kInfDir) + "T.INF", original);
    machine.writeDisk("S.QTR", "[S]\r\nb=2\r\n");
    machine.writeDisk("S2.QTR", "[S]\r\nc=3\r\n");
    CUpdateInf update;
    update.UpdateFile("T.INF", "S.QTR", "T.OLD");
    std::string afterFirst = machine.readC(std::string(kInfDir) + "T.INF");
    update.UpdateFile("T.INF", "S.QTR", "T.OLD");
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"), afterFirst);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"), original);

    // A second fragment for the same target and backup name: the backup
    // still holds the file as it was before the first.
    update.UpdateFile("T.INF", "S2.QTR", "T.OLD");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "S"), "a=1|b=2|c=3|");
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"), original);
}

TEST_F(UpdateInfTest, MissingTargetOrFragment) {
    CUpdateInf update;
    // No target: no backup, and the fragment's sections make a new file.
    machine.writeDisk("S.QTR", "[S]\r\nb=2\r\n");
    EXPECT_EQ(update.UpdateFile("NEW.INF", "S.QTR", "NEW.OLD"), 1);
    EXPECT_FALSE(machine.existsOnC(std::string(kInfDir) + "NEW.OLD"));
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\NEW.INF", "S"), "b=2|");

    // No fragment: the target stays as it was (a backup may be made).
    const std::string text = "[S]\r\na=1\r\n";
    machine.writeC(std::string(kInfDir) + "T.INF", text);
    EXPECT_EQ(update.UpdateFile("T.INF", "MISSING.QTR", "T.OLD"), 1);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"), text);
}

TEST_F(UpdateInfTest, EmptyFragmentSectionStillWritesTheSectionBack) {
    machine.writeC(std::string(kInfDir) + "T.INF", "[S]\r\na = 1\r\n");
    machine.writeDisk("S.QTR", "[S]\r\n[E]\r\n");
    CUpdateInf update;
    update.UpdateFile("T.INF", "S.QTR", "T.OLD");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "S"), "a=1|");
    // The header of the empty fragment section arrives with no lines.
    EXPECT_NE(machine.readC(std::string(kInfDir) + "T.INF").find("[E]"), std::string::npos);
}

TEST_F(UpdateInfTest, SectionsPastEveryReadSizeArriveWhole) {
    // A target section over 30,720 bytes, a fragment section over 4,096 bytes
    // and fragment section names over 256 bytes.
    std::string target = "[Big]\r\n";
    std::string expected;
    for (int i = 0; i < 1500; ++i) {
        std::string line = "OldDevice" + std::to_string(i) + "=install_section_with_a_long_name";
        target += line + "\r\n";
        expected += line + "|";
    }
    std::string fragment = "[Big]\r\n";
    for (int i = 0; i < 300; ++i) {
        std::string line = "NewDevice" + std::to_string(i) + "=maker_section";
        fragment += line + "\r\n";
        expected += line + "|";
    }
    for (int s = 0; s < 40; ++s) {
        fragment += "[Section_With_A_Long_Name_" + std::to_string(s) +
                    "]\r\nk=" + std::to_string(s) + "\r\n";
    }
    ASSERT_GT(target.size(), 30720u);
    machine.writeC(std::string(kInfDir) + "T.INF", target);
    machine.writeDisk("S.QTR", fragment);
    CUpdateInf update;
    update.UpdateFile("T.INF", "S.QTR", "T.OLD");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "Big"), expected);
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\T.INF", "Section_With_A_Long_Name_39"), "k=39|");
}

TEST_F(UpdateInfTest, RestorePutsTheBackupBackOnlyWhenItCan) {
    CUpdateInf update;
    machine.writeC(std::string(kInfDir) + "T.INF", "merged");
    machine.writeC(std::string(kInfDir) + "T.OLD", "original");
    EXPECT_EQ(update.RestoreFile("T.INF", "T.OLD"), CUpdateInf::restoreDone);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"), "original");
    EXPECT_FALSE(machine.existsOnC(std::string(kInfDir) + "T.OLD"));
    // The target is there without its backup now: not put back.
    EXPECT_EQ(update.RestoreFile("T.INF", "T.OLD"), CUpdateInf::restoreMissing);
    EXPECT_EQ(update.RestoreFile("GONE.INF", "GONE.OLD"), CUpdateInf::restoreNone);

    machine.writeC(std::string(kInfDir) + "S.INF", "live");
    // A target that cannot be replaced keeps the backup, and fails.
    machine.writeC(std::string(kInfDir) + "R.INF", "merged");
    machine.writeC(std::string(kInfDir) + "R.OLD", "original");
    ASSERT_EQ(chmod(machine.onC(std::string(kInfDir) + "R.INF").c_str(), 0444), 0);
    EXPECT_EQ(update.RestoreFile("R.INF", "R.OLD"), CUpdateInf::restoreFailed);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "R.OLD"), "original");
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "R.INF"), "merged");

    // A backup named as the target itself is the live file, not a backup.
    EXPECT_EQ(update.RestoreFile("S.INF", "s.inf"), CUpdateInf::restoreFailed);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "S.INF"), "live");
}

TEST(UpdateInfNames, ANameMayBeginWithSubfoldersButNeverLeavesItsFolder) {
    const std::pair<const char*, CUpdateInf::NameFault> rows[] = {
        {"MSHDC.INF", CUpdateInf::nameInFolder},
        {"T.OLD,X", CUpdateInf::nameInFolder},
        {"1.QTR,U.OLD", CUpdateInf::nameInFolder},
        {"A=B", CUpdateInf::nameInFolder},
        {"CONFIG.QBK", CUpdateInf::nameInFolder},
        {"COM10", CUpdateInf::nameInFolder},
        {"LPT", CUpdateInf::nameInFolder},
        {"NULL.INF", CUpdateInf::nameInFolder},
        {"WIN95\\MSHDC.QTR", CUpdateInf::nameInFolder},
        {"OTHER\\OEM1.INF", CUpdateInf::nameInFolder},
        {"INF/A.INF", CUpdateInf::nameInFolder},
        {"A\\B C\\D.INF", CUpdateInf::nameInFolder},
        {"", CUpdateInf::nameEmpty},
        {"A\\\\B.INF", CUpdateInf::nameEmpty},
        {"OTHER\\", CUpdateInf::nameEmpty},
        {"C:A.INF", CUpdateInf::nameDrive},
        {"C:\\A.INF", CUpdateInf::nameDrive},
        {"C:\\X", CUpdateInf::nameDrive},
        {"\\A.INF", CUpdateInf::nameRooted},
        {"/A.INF", CUpdateInf::nameRooted},
        {"..", CUpdateInf::nameParent},
        {"..\\SYSTEM.REG", CUpdateInf::nameParent},
        {"A\\..\\..\\X", CUpdateInf::nameParent},
        {"OTHER/../../X", CUpdateInf::nameParent},
        {"...\\X", CUpdateInf::nameParent},
        {"CON", CUpdateInf::nameDevice},
        {"nul", CUpdateInf::nameDevice},
        {"NUL", CUpdateInf::nameDevice},
        {"Aux.QBK", CUpdateInf::nameDevice},
        {"PRN .TXT", CUpdateInf::nameDevice},
        {"COM1", CUpdateInf::nameDevice},
        {"lpt9.old", CUpdateInf::nameDevice},
        {"CON\\A.INF", CUpdateInf::nameDevice},
        {"OTHER\\NUL", CUpdateInf::nameDevice},
        {"A*.INF", CUpdateInf::nameWildcard},
        {"A?.INF", CUpdateInf::nameWildcard},
        {"A\tB", CUpdateInf::nameCharacter},
        {"A|B", CUpdateInf::nameCharacter},
        {".", CUpdateInf::nameBlurred},
        {".\\A.INF", CUpdateInf::nameBlurred},
        {"A.INF.", CUpdateInf::nameBlurred},
        {"A.INF ", CUpdateInf::nameBlurred},
        {" A.INF", CUpdateInf::nameBlurred},
        {"OTHER.\\A.INF", CUpdateInf::nameBlurred},
    };
    for (const auto& [name, fault] : rows) {
        EXPECT_EQ(CUpdateInf::JudgeName(name), fault) << '"' << name << '"';
        EXPECT_EQ(CUpdateInf::IsNameInFolder(name),
                  fault == CUpdateInf::nameInFolder ? TRUE : FALSE);
    }
    // One file, two spellings.
    EXPECT_TRUE(CUpdateInf::SameName("other/oem1.inf", "OTHER\\OEM1.INF"));
    EXPECT_FALSE(CUpdateInf::SameName("OTHER\\OEM1.INF", "OEM1.INF"));

    // In code page 932 a trail byte '\\' or '|' is part of its character.
    const std::pair<const char*, CUpdateInf::NameFault> doubleByte[] = {
        {"\x83\\", CUpdateInf::nameInFolder},          {"\x83\\\\A.INF", CUpdateInf::nameInFolder},
        {"\x83|.INF", CUpdateInf::nameInFolder},       {"\x83\\\\", CUpdateInf::nameEmpty},
        {"\x83\\\\..\\..\\X", CUpdateInf::nameParent}, {"\x83\\.\\A.INF", CUpdateInf::nameBlurred},
        {"\x83\\|", CUpdateInf::nameCharacter},
    };
    corvane_test::TestMachine machine;
    machine.config().codePage = 932;
    machine.boot();
    for (const auto& [name, fault] : doubleByte) {
        EXPECT_EQ(CUpdateInf::JudgeName(name), fault) << '"' << name << '"';
    }
    // Names differing in a trail byte in a-z are two names.
    EXPECT_FALSE(CUpdateInf::SameName("\x83\x61.INF", "\x83\x41.INF"));
    EXPECT_TRUE(CUpdateInf::SameName("\x83\x61.inf", "\x83\x61.INF"));
}

// What sits at the backup name decides whether the install may change the
// target: only a file that opens and holds text (or stands for an empty
// target) is a backup.
TEST_F(UpdateInfTest, AnInstallTrustsOnlyASoundBackupAndAnsiTargets) {
    struct Row {
        const char* what;
        std::string target; // "" for none
        std::string backup; // "<none>", "<folder>" or the backup's bytes
        int result;
        bool merged;
    };
    const std::string ansi = "[S]\r\na=1\r\n";
    const std::string utf16 = std::string("\xFF\xFE[\0S\0]\0", 8);
    const Row rows[] = {
        {"no backup yet", ansi, "<none>", 1, true},
        {"a backup from before", ansi, "[S]\r\nold=1\r\n", 1, true},
        {"a stale empty backup", ansi, "", 0, false},
        {"an empty backup of an empty target", "", "", 1, true},
        {"a folder at the backup name", ansi, "<folder>", 0, false},
        {"a UTF-16 target", utf16, "<none>", 0, false},
        {"a big-endian UTF-16 target", std::string("\xFE\xFF\0[", 4), "<none>", 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestMachine drive;
        drive.writeC(std::string(kInfDir) + "T.INF", row.target);
        if (row.backup == "<folder>") {
            drive.writeC(std::string(kInfDir) + "T.OLD/KEEP", "x");
        } else if (row.backup != "<none>") {
            drive.writeC(std::string(kInfDir) + "T.OLD", row.backup);
        }
        drive.writeDisk("S.QTR", "[S]\r\nnew=1\r\n");
        drive.boot();
        std::map<std::string, std::string> before = corvane_test::treeContents(drive.onC(""));
        EXPECT_EQ(CUpdateInf().UpdateFile("T.INF", "S.QTR", "T.OLD"), row.result);
        std::string merged = drive.readC(std::string(kInfDir) + "T.INF");
        EXPECT_EQ(merged.find("new=1") != std::string::npos, row.merged);
        if (!row.merged) {
            EXPECT_EQ(corvane_test::treeContents(drive.onC("")), before);
        }
    }
}

TEST_F(UpdateInfTest, CheckFilePairCountsPassingSides) {
    machine.writeC(std::string(kInfDir) + "OK.INF", "[S]\r\n");
    machine.writeC(std::string(kInfDir) + "RO.INF", "[S]\r\n");
    ASSERT_EQ(chmod(machine.onC(std::string(kInfDir) + "RO.INF").c_str(), 0444), 0);
    machine.writeC(std::string(kInfDir) + "HELD.INF", "[S]\r\n");
    machine.writeDisk("X.QTR", "[S]\r\n");
    machine.writeDisk("B=C", "[S]\r\n");
    HANDLE held = CreateFileA("C:\\WINDOWS\\INF\\HELD.INF", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    CUpdateInf update;
    struct Row {
        const char* inf;
        const char* source;
        int passed;
    };
    const Row rows[] = {
        {"NULL", "NULL", 2},         {"null", "X.QTR", 2},  {"Null", "MISSING.QTR", 1},
        {"OK.INF", "x.qtr", 2},      {"RO.INF", "NULL", 1}, {"HELD.INF", "NULL", 1},
        {"MISSING.INF", "X.QTR", 1}, {"A.INF", "B=C", 1},   {"MISSING.INF", "MISSING", 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(update.CheckFilePair(row.inf, row.source), row.passed)
            << row.inf << " / " << row.source;
    }
    EXPECT_EQ(update.InfFileExists("OK.INF"), 1);
    EXPECT_EQ(update.InfFileExists("RO.INF"), 0);
    EXPECT_EQ(update.InfFileExists("HELD.INF"), 0);
    EXPECT_EQ(update.InfFileExists("MISSING.INF"), 0);
    CloseHandle(held);
    EXPECT_EQ(update.InfFileExists("HELD.INF"), 1);
}

TEST_F(UpdateInfTest, AppendsKeepTheTargetsOwnTextAndEndOfFileMarks) {
    // Indented lines, comments between them and a ^Z mark at the end of the
    // target; a fragment that ends with a ^Z of its own.
    const std::string target = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
                               "[Std]\r\n    %A%=a_install, PCI\\VEN_1A2B&DEV_0001\r\n"
                               "; the second controller\r\n\t%B%=b_install\r\n\r\n"
                               "[Strings]\r\nA = \"First\"\r\n\x1A";
    machine.writeC(std::string(kInfDir) + "T.INF", target);
    machine.writeDisk("S.QTR", "[Std]\r\n%C%=c_install\r\n[Corvel]\r\nn=1\r\n\x1A\r\n");
    CUpdateInf update;
    ASSERT_EQ(update.UpdateFile("T.INF", "S.QTR", "T.OLD"), 1);
    // Only the new lines were put in: the new line after the last one of
    // [Std], the new section before the mark, which stays last.
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"),
              "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
              "[Std]\r\n    %A%=a_install, PCI\\VEN_1A2B&DEV_0001\r\n"
              "; the second controller\r\n\t%B%=b_install\r\n%C%=c_install\r\n\r\n"
              "[Strings]\r\nA = \"First\"\r\n[Corvel]\r\nn=1\r\n\x1A");
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"), target);
}

TEST_F(UpdateInfTest, ADiskFullAtAnyWriteLeavesTheTargetAsItWasOrWhollyMerged) {
    std::string target = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n[Std]\r\n";
    std::string fragment = "[Std]\r\n";
    for (int i = 0; i < 40; ++i) {
        target += "%Old" + std::to_string(i) + "%=old_install,PCI\\VEN_1A2B&DEV_" +
                  std::to_string(1000 + i) + "\r\n";
        fragment += "%New" + std::to_string(i) + "%=new_install\r\n";
    }
    target += "[Strings]\r\nOld=\"Old devices\"\r\n";
    fragment += "[Strings]\r\nNew=\"New devices\"\r\n[Corvel]\r\nk=1\r\n";
    machine.writeC(std::string(kInfDir) + "T.INF", target);
    machine.writeDisk("S.QTR", fragment);
    machine.boot();
    ASSERT_EQ(CUpdateInf().UpdateFile("T.INF", "S.QTR", "T.OLD"), 1);
    const std::string merged = machine.readC(std::string(kInfDir) + "T.INF");

    // The disk is full at each write in turn: the backup's, the work copy's,
    // each section write's and the final copy's.
    int failures = 0;
    for (int write = 1;; ++write) {
        SCOPED_TRACE("disk full at write " + std::to_string(write));
        machine.writeC(std::string(kInfDir) + "T.INF", target);
        std::remove(machine.onC(std::string(kInfDir) + "T.OLD").c_str());
        machine.config().failingWrite = write;
        machine.boot();
        int result = CUpdateInf().UpdateFile("T.INF", "S.QTR", "T.OLD");
        machine.shutdown();
        std::string now = machine.readC(std::string(kInfDir) + "T.INF");
        EXPECT_EQ(now, result == 1 ? merged : target);
        EXPECT_TRUE(!machine.existsOnC(std::string(kInfDir) + "T.OLD") ||
                    machine.readC(std::string(kInfDir) + "T.OLD") == target);
        for (const std::string& name : corvane_test::folderEntries(machine.onC(kInfDir))) {
            EXPECT_TRUE(name == "T.INF" || name == "T.OLD") << "left behind: " << name;
        }
        if (result == 1 || HasFailure()) {
            break;
        }
        ++failures;
    }
    // Backup, work copy, three sections and the final copy.
    EXPECT_EQ(failures, 6);
}

TEST_F(UpdateInfTest, ASectionReadThatStopsAtThePlatformLimitIsNotWrittenBack) {
    std::string big = "[Big]\r\n";
    for (int i = 0; big.size() < 40000; ++i) {
        big += "Device" + std::to_string(i) + "=install_section,PCI\\VEN_1A2B&DEV_" +
               std::to_string(i) + "\r\n";
    }
    machine.writeC(std::string(kInfDir) + "BIG.INF", big);
    machine.writeC(std::string(kInfDir) + "SMALL.INF", "[Big]\r\nold=1\r\n");
    machine.writeDisk("S.QTR", "[Big]\r\nnew=1\r\n");
    machine.config().profileListLimit = 32767;
    machine.boot();
    CUpdateInf update;
    EXPECT_EQ(update.UpdateFile("BIG.INF", "S.QTR", "BIG.OLD"), 0);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "BIG.INF"), big);
    // Under the limit the same machine merges as ever.
    EXPECT_EQ(update.UpdateFile("SMALL.INF", "S.QTR", "SMALL.OLD"), 1);
    EXPECT_EQ(sectionText("C:\\WINDOWS\\inf\\SMALL.INF", "Big"), "old=1|new=1|");
}

namespace {

// A Windows INF file of exactly size bytes whose last section ends it, and
// the same file as the merge of kLargeFragment makes it: a line added in the
// middle, one at the end of the last section and a new section after it.
struct LargeInf {
    std::string original;
    std::string merged;
};

const char kLargeFragment[] = "[Devices]\r\n%Board%=board_install,PCI\\VEN_5A17&DEV_7110\r\n"
                              "[Strings]\r\nBoard=\"Quentor QX-20 bridge\"\r\n"
                              "[Corvel]\r\nk=1\r\n";

LargeInf largeInf(size_t size) {
    const std::string head = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[Devices]\r\n";
    const std::string strings = "[Strings]\r\nOld=\"Old devices\"\r\n";
    std::string devices;
    for (int i = 0; head.size() + devices.size() + strings.size() + 100 < size; ++i) {
        devices += "%Old" + std::to_string(i) + "%=old_install,PCI\\VEN_1A2B&DEV_" +
                   std::to_string(1000 + i) + "\r\n";
    }
    devices +=
        "Filler=" + std::string(size - head.size() - devices.size() - strings.size() - 9, 'x') +
        "\r\n";
    LargeInf inf;
    inf.original = head + devices + strings;
    inf.merged = head + devices + "%Board%=board_install,PCI\\VEN_5A17&DEV_7110\r\n" + strings +
                 "Board=\"Quentor QX-20 bridge\"\r\n[Corvel]\r\nk=1\r\n";
    return inf;
}

} // namespace

TEST_F(UpdateInfTest, LargeTargetsEndAsTheyWereAndCountedOrWhollyMerged) {
    // Profile functions that take only the first limit bytes of a file, as
    // Windows 95's may: a target they do not see whole is not touched, and
    // one whose merged copy they cut is left as it was. A limit that cuts
    // only the last line's line end hides nothing from reads: that target is
    // merged on a copy, which the check then refuses.
    struct Row {
        DWORD limit; // 0: none
        size_t size;
        bool merged;
        bool touched; // a file copied or a section written
    };
    const size_t growth = largeInf(40000).merged.size() - 40000;
    const Row rows[] = {
        {32768, 30000, true, true},
        {32768, 32768 - growth, true, true},
        {32768, 32768 - growth + 1, false, true},
        {32768, 32767, false, true},
        {32768, 32768, false, true},
        {32768, 32769, false, true},
        {32768, 32770, false, true},
        {32768, 32771, false, false},
        {32768, 40000, false, false},
        {65536, 63000, true, true},
        {65536, 65536 - growth, true, true},
        {65536, 65536 - growth + 1, false, true},
        {65536, 65536, false, true},
        {65536, 65538, false, true},
        {65536, 65539, false, false},
        {65536, 70000, false, false},
        {0, 32768, true, true},
        {0, 32769, true, true},
        {0, 65536, true, true},
        {0, 65537, true, true},
        {0, 70000, true, true},
    };
    corvane_test::TempDir traceDir;
    const std::string trace = traceDir / "trace.txt";
    machine.writeDisk("S.QTR", kLargeFragment);
    for (const Row& row : rows) {
        SCOPED_TRACE("limit " + std::to_string(row.limit) + ", target of " +
                     std::to_string(row.size) + " bytes");
        const LargeInf inf = largeInf(row.size);
        ASSERT_EQ(inf.original.size(), row.size);
        machine.writeC(std::string(kInfDir) + "T.INF", inf.original);
        std::remove(machine.onC(std::string(kInfDir) + "T.OLD").c_str());
        machine.config().profileFileLimit = row.limit;
        std::remove(trace.c_str());
        machine.config().traceFile = trace;
        machine.boot();
        int result = CUpdateInf().UpdateFile("T.INF", "S.QTR", "T.OLD");
        machine.shutdown();
        EXPECT_EQ(result, row.merged ? 1 : 0);
        const std::string calls =
            corvane_test::hostFileExists(trace) ? corvane_test::readHostFile(trace) : "";
        EXPECT_EQ(calls.find("CopyFileA(") != std::string::npos ||
                      calls.find("WritePrivateProfileSectionA(") != std::string::npos,
                  row.touched)
            << calls;
        EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"),
                  row.merged ? inf.merged : inf.original);
        // A merged file has its backup; one left as it was has none, and no
        // work file stays.
        const std::vector<std::string> left = row.merged
                                                  ? std::vector<std::string>{"T.INF", "T.OLD"}
                                                  : std::vector<std::string>{"T.INF"};
        EXPECT_EQ(corvane_test::folderEntries(machine.onC(kInfDir)), left);
        if (row.merged) {
            EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"), inf.original);
        }
    }
}

TEST_F(UpdateInfTest, AMergedCopyCutByTheSectionWriteIsRefusedAndAnOlderBackupStays) {
    // The target fits what the profile functions take, so they read it whole;
    // the section write then keeps only the first part of the merged copy.
    const LargeInf inf = largeInf(4000);
    machine.writeDisk("S.QTR", kLargeFragment);
    machine.config().profileFileLimit = 4000;
    for (bool backupBefore : {false, true}) {
        SCOPED_TRACE(backupBefore ? "backup from an earlier install" : "no backup before");
        machine.writeC(std::string(kInfDir) + "T.INF", inf.original);
        std::remove(machine.onC(std::string(kInfDir) + "T.OLD").c_str());
        if (backupBefore) {
            machine.writeC(std::string(kInfDir) + "T.OLD", "[Version]\r\nfirst=1\r\n");
        }
        machine.boot();
        EXPECT_EQ(CUpdateInf().UpdateFile("T.INF", "S.QTR", "T.OLD"), 0);
        EXPECT_EQ(CUpdateInf().MergeFile("C:\\WINDOWS\\INF\\T.INF", "D:\\S.QTR"), 0);
        machine.shutdown();
        EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"), inf.original);
        // A backup made by this install of a file it left as it was is gone:
        // uninstall would later put it over whatever the file holds then. One
        // from an earlier install still holds the file from before that.
        if (backupBefore) {
            EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.OLD"), "[Version]\r\nfirst=1\r\n");
        } else {
            EXPECT_FALSE(machine.existsOnC(std::string(kInfDir) + "T.OLD"));
        }
        EXPECT_EQ(corvane_test::folderEntries(machine.onC(kInfDir)).size(), backupBefore ? 2u : 1u);
    }
}

namespace {

// A fragment of exactly size bytes: one section of short lines, filled up
// with a comment.
std::string fragmentOfSize(size_t size) {
    std::string text = "[Devices]\r\n";
    for (int i = 0; text.size() + 100 < size; ++i) {
        text += "k" + std::to_string(i) + "=1\r\n";
    }
    return text + ";" + std::string(size - text.size() - 3, 'x') + "\r\n";
}

// What tells a file that was not rewritten: the same file, size and time.
std::string fileStamp(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + " " +
           std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

} // namespace

TEST_F(UpdateInfTest, FilesLargerThanTheMergeIsMadeForAreRefusedBeforeAnythingIsTouched) {
    std::string manySections;
    for (int i = 0; i < 50000; ++i) {
        manySections += "[S" + std::to_string(i) + "]\r\nk=1\r\n";
    }
    const unsigned long long threeGb = 3ull << 30;
    struct Row {
        const char* what;
        std::string fragment;
        unsigned long long fragmentSparseSize; // 0: as written
        unsigned long long targetSparseSize;   // 0: as written
        bool merged;
    };
    const Row rows[] = {
        {"a 32 KB fragment", fragmentOfSize(32 * 1024), 0, 0, true},
        {"a fragment of 32 KB and a byte", fragmentOfSize(32 * 1024 + 1), 0, 0, false},
        {"a fragment of 50,000 sections", manySections, 0, 0, false},
        {"a 3 GB fragment", "[Devices]\r\nk=1\r\n", threeGb, 0, false},
        {"a target of 16 MB and a byte", "[Devices]\r\nk=1\r\n", 0, (16ull << 20) + 1, false},
        {"a 3 GB target", "[Devices]\r\nk=1\r\n", 0, threeGb, false},
    };
    const std::string target = machine.onC(std::string(kInfDir) + "T.INF");
    const std::string source = machine.onDisk("S.QTR");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::remove(machine.onC(std::string(kInfDir) + "T.OLD").c_str());
        machine.writeC(std::string(kInfDir) + "T.INF", "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
        machine.writeDisk("S.QTR", row.fragment);
        // Sparse files: the size without the disk space, NULs after the text.
        if (row.targetSparseSize != 0) {
            ASSERT_EQ(truncate(target.c_str(), static_cast<off_t>(row.targetSparseSize)), 0);
        }
        if (row.fragmentSparseSize != 0) {
            ASSERT_EQ(truncate(source.c_str(), static_cast<off_t>(row.fragmentSparseSize)), 0);
        }
        const std::string targetBefore = fileStamp(target);
        const std::string sourceBefore = fileStamp(source);
        CUpdateInf update;
        // The file check before a command already fails on the file too large.
        EXPECT_EQ(update.CheckFilePair("T.INF", "S.QTR"), row.merged ? 2 : 1);
        EXPECT_EQ(update.UpdateFile("T.INF", "S.QTR", "T.OLD"), row.merged ? 1 : 0);
        EXPECT_EQ(fileStamp(source), sourceBefore);
        if (row.merged) {
            EXPECT_NE(fileStamp(target), targetBefore);
            continue;
        }
        // Refused: no backup, no work file, the target not rewritten.
        EXPECT_EQ(fileStamp(target), targetBefore);
        EXPECT_EQ(corvane_test::folderEntries(machine.onC(kInfDir)),
                  (std::vector<std::string>{"T.INF"}));
        // Uninstall cannot tell what such a fragment added: it counts as held.
        EXPECT_TRUE(update.HoldsFragment("T.INF", "S.QTR"));
    }
}
