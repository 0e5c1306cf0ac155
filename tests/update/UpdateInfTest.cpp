#include "update/CUpdateInf.h"

#include "tests/support/SectionText.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
    EXPECT_FALSE(machine.existsOnC(std::string(kInfDir) + "~QMERGE.TMP"));
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
        fragment += "[Section_With_A_Long_Name_" + std::to_string(s) + "]\r\nk=" +
                    std::to_string(s) + "\r\n";
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
    EXPECT_EQ(update.RestoreFile("T.INF", "T.OLD"), 1);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "T.INF"), "original");
    EXPECT_FALSE(machine.existsOnC(std::string(kInfDir) + "T.OLD"));
    EXPECT_EQ(update.RestoreFile("T.INF", "T.OLD"), 0);

    // A target that cannot be replaced keeps the backup, uncounted.
    machine.writeC(std::string(kInfDir) + "R.INF", "merged");
    machine.writeC(std::string(kInfDir) + "R.OLD", "original");
    ASSERT_EQ(chmod(machine.onC(std::string(kInfDir) + "R.INF").c_str(), 0444), 0);
    EXPECT_EQ(update.RestoreFile("R.INF", "R.OLD"), 0);
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "R.OLD"), "original");
    EXPECT_EQ(machine.readC(std::string(kInfDir) + "R.INF"), "merged");
}

TEST_F(UpdateInfTest, CheckFilePairCountsPassingSides) {
    machine.writeC(std::string(kInfDir) + "OK.INF", "[S]\r\n");
    machine.writeC(std::string(kInfDir) + "RO.INF", "[S]\r\n");
    ASSERT_EQ(chmod(machine.onC(std::string(kInfDir) + "RO.INF").c_str(), 0444), 0);
    machine.writeC(std::string(kInfDir) + "HELD.INF", "[S]\r\n");
    machine.writeDisk("X.QTR", "[S]\r\n");
    machine.writeDisk("B=C", "[S]\r\n");
    HANDLE held = CreateFileA("C:\\WINDOWS\\INF\\HELD.INF", GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    CUpdateInf update;
    struct Row {
        const char* inf;
        const char* source;
        int passed;
    };
    const Row rows[] = {
        {"NULL", "NULL", 2},      {"null", "X.QTR", 2},    {"Null", "MISSING.QTR", 1},
        {"OK.INF", "x.qtr", 2},   {"RO.INF", "NULL", 1},   {"HELD.INF", "NULL", 1},
        {"MISSING.INF", "X.QTR", 1}, {"A.INF", "B=C", 1},  {"MISSING.INF", "MISSING", 0},
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
