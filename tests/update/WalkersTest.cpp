#include "skin/CLayout.h"
#include "window/CSetupWnd.h"

#include "tests/support/SectionText.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using corvane_test::sectionText;
using corvane_test::TestMachine;

namespace {

const char kRegistry[] = "REGEDIT4\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\A]\r\n\"v\"=\"1\"\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\ROOT]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\X]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\X\\0000]\r\n\"Class\"=\"System\"\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\Y]\r\n\"Keep\"=\"yes\"\r\n";

// A launcher window object whose layout has been read, without its window:
// the walkers need nothing else of it.
class WalkersTest : public ::testing::Test {
protected:
    void start(const std::string& layout) {
        machine.writeDisk("layout.ini", layout);
        machine.writeC("WINDOWS/SYSTEM.REG", kRegistry);
        machine.boot();
        ASSERT_EQ(window.GetLayout()->Load(), 1);
    }
    std::string inf(const std::string& name) { return machine.readC("WINDOWS/INF/" + name); }

    TestMachine machine;
    CSetupWnd window;
};

} // namespace

TEST_F(WalkersTest, InstallLinesSplitAtTheFirstEqualsAndTheFirstCommaAfterIt) {
    machine.writeC("WINDOWS/INF/T.INF", "[S]\r\na=1\r\n");
    machine.writeC("WINDOWS/INF/U.INF", "[S]\r\na=1\r\n");
    machine.writeDisk("S.QTR", "[S]\r\nb=2\r\n");
    machine.writeDisk("S", "[S]\r\nc=3\r\n");
    start("[COMMON]\r\nT.INF=S.QTR,T.OLD,X\r\nU.INF=S,1.QTR,U.OLD\r\n"
          "NOEQUALS\r\nT.INF=NOCOMMA\r\n");
    window.InstallSection("COMMON");
    EXPECT_EQ(inf("T.OLD,X"), "[S]\r\na=1\r\n");
    EXPECT_EQ(inf("1.QTR,U.OLD"), "[S]\r\na=1\r\n");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\INF\\T.INF", "S"), "a=1|b=2|");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\INF\\U.INF", "S"), "a=1|c=3|");
}

TEST_F(WalkersTest, TwoSectionsNamingTheSameTargetMergeInOrderOverOneBackup) {
    machine.writeC("WINDOWS/INF/MACHINE.INF", "[Dev]\r\nold=1\r\n");
    machine.writeDisk("ONE.QTR", "[Dev]\r\nfirst=1\r\n");
    machine.writeDisk("TWO.QTR", "[Dev]\r\nsecond=2\r\nfirst=1\r\n");
    start("[COMMON]\r\nMACHINE.INF=ONE.QTR,MACHINE.OLD\r\n"
          "[950]\r\nMACHINE.INF=TWO.QTR,MACHINE.OLD\r\n");
    window.InstallSection("COMMON");
    window.InstallSection("950");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\INF\\MACHINE.INF", "Dev"), "old=1|first=1|second=2|");
    EXPECT_EQ(inf("MACHINE.OLD"), "[Dev]\r\nold=1\r\n");
}

TEST_F(WalkersTest, UninstallCountsRestoredEntriesAndASecondOneFindsNothing) {
    machine.writeC("WINDOWS/INF/A.INF", "merged a");
    machine.writeC("WINDOWS/INF/A.OLD", "original a");
    machine.writeC("WINDOWS/INF/B.INF", "merged b");
    start("[UNINSTALL]\r\nA.INF=A.OLD\r\nB.INF=B.OLD\r\nBROKEN LINE\r\n");
    EXPECT_EQ(window.UninstallSection("UNINSTALL"), 1);
    EXPECT_EQ(inf("A.INF"), "original a");
    EXPECT_EQ(inf("B.INF"), "merged b");
    EXPECT_EQ(window.UninstallSection("UNINSTALL"), 0);
    EXPECT_EQ(window.UninstallSection("ABSENT"), 0);
}

TEST_F(WalkersTest, CheckFilesTestsEveryLine) {
    machine.writeC("WINDOWS/INF/A.INF", "[S]\r\n");
    machine.writeDisk("X.QTR", "[S]\r\n");
    start("[CHECK FILES]\r\nA.INF=X.QTR\r\nNULL=NULL\r\n"
          "[CHECK BAD]\r\nA.INF=X.QTR\r\nA.INF=MISSING.QTR\r\nNULL=X.QTR\r\n"
          "[CHECK SKIP]\r\nNO EQUALS SIGN\r\nnull=x.qtr\r\n");
    EXPECT_EQ(window.CheckFiles(), 1);
    // No section at all passes too.
    machine.writeDisk("layout.ini", "[LAYOUT]\r\n");
    EXPECT_EQ(window.CheckFiles(), 1);
}

TEST_F(WalkersTest, CheckFilesFailsWhenAnyLineFails) {
    machine.writeC("WINDOWS/INF/A.INF", "[S]\r\n");
    machine.writeDisk("X.QTR", "[S]\r\n");
    start("[CHECK FILES]\r\nA.INF=X.QTR\r\nA.INF=MISSING.QTR\r\nNULL=X.QTR\r\n");
    EXPECT_EQ(window.CheckFiles(), 0);
}

TEST_F(WalkersTest, DeviceKeysGoWithTheirSubkeysAndNothingElse) {
    // Key paths the registry takes for no name (a trailing or doubled
    // backslash) are passed over as missing keys are.
    start("[ControlFlags]\r\nROOT\\Y\\=1\r\nROOT\\\\Y=1\r\nROOT\\X=1\r\nA=B=C\r\n"
          "ROOT\\MISSING=1\r\nNOEQUALS\r\n=1\r\n\\=1\r\n");
    EXPECT_TRUE(window.DeleteDeviceKeys("ControlFlags"));
    std::string registry = machine.readC("WINDOWS/SYSTEM.REG");
    EXPECT_EQ(registry.find("Enum\\ROOT\\X"), std::string::npos);
    EXPECT_EQ(registry.find("[HKEY_LOCAL_MACHINE\\Enum\\A]"), std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\Y]\r\n\"Keep\"=\"yes\""),
              std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\Enum]"), std::string::npos);
    EXPECT_NE(registry.find("[HKEY_LOCAL_MACHINE\\Enum\\ROOT]"), std::string::npos);
}

TEST_F(WalkersTest, LayoutSectionsPastTheirReadSizeAreWalkedWhole) {
    std::string layout = "[COMMON]\r\n";
    for (int i = 0; i < 60; ++i) {
        std::string n = std::to_string(i);
        machine.writeDisk("F" + n + ".QTR", "[S]\r\nline" + n + "=1\r\n");
        layout += "TARGET.INF=F" + n + ".QTR,TARGET.OLD\r\n";
    }
    ASSERT_GT(layout.size(), 1024u);
    machine.writeC("WINDOWS/INF/TARGET.INF", "[S]\r\n");
    start(layout);
    window.InstallSection("COMMON");
    std::string lines = sectionText("C:\\WINDOWS\\INF\\TARGET.INF", "S");
    for (int i = 0; i < 60; ++i) {
        EXPECT_NE(lines.find("line" + std::to_string(i) + "=1|"), std::string::npos) << i;
    }
}

TEST_F(WalkersTest, AnUnwritableTargetAnywhereIsLeftAloneAndTheOthersAreMerged) {
    // Read-only or held open without sharing, as the first, a middle or the
    // last existing target of the section, with a new target after them.
    const char* const names[] = {"A.INF", "B.INF", "C.INF"};
    for (const char* how : {"read-only", "held"}) {
        for (int blocked = 0; blocked < 3; ++blocked) {
            SCOPED_TRACE(std::string(how) + " " + names[blocked]);
            TestMachine drive;
            CSetupWnd launcher;
            std::string layout = "[COMMON]\r\n";
            for (const char* name : names) {
                drive.writeC(std::string("WINDOWS/INF/") + name, "[S]\r\nold=1\r\n");
                layout += std::string(name) + "=S.QTR," + name + ".OLD\r\n";
            }
            layout += "NEW.INF=S.QTR,NEW.OLD\r\n";
            drive.writeDisk("S.QTR", "[S]\r\nnew=1\r\n");
            drive.writeDisk("layout.ini", layout);
            std::string blockedPath = drive.onC(std::string("WINDOWS/INF/") + names[blocked]);
            if (std::string(how) == "read-only") {
                ASSERT_EQ(chmod(blockedPath.c_str(), 0444), 0);
            }
            drive.boot();
            ASSERT_EQ(launcher.GetLayout()->Load(), 1);
            HANDLE held = INVALID_HANDLE_VALUE;
            if (std::string(how) == "held") {
                held = CreateFileA((std::string("C:\\WINDOWS\\INF\\") + names[blocked]).c_str(),
                                   GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                ASSERT_NE(held, INVALID_HANDLE_VALUE);
            }

            EXPECT_EQ(launcher.InstallSection("COMMON"), 1);
            if (held != INVALID_HANDLE_VALUE) {
                CloseHandle(held);
            }
            for (int i = 0; i < 3; ++i) {
                std::string name = names[i];
                std::string text = drive.readC("WINDOWS/INF/" + name);
                EXPECT_EQ(text, i == blocked ? "[S]\r\nold=1\r\n" : "[S]\r\nold=1\r\nnew=1\r\n")
                    << name;
                EXPECT_EQ(drive.existsOnC("WINDOWS/INF/" + name + ".OLD"), i != blocked) << name;
            }
            // The new file holds the fragment's lines alone.
            EXPECT_EQ(drive.readC("WINDOWS/INF/NEW.INF"), "[S]\r\nnew=1\r\n");
            EXPECT_EQ(corvane_test::folderEntries(drive.onC("WINDOWS/INF")).size(), 6u)
                << "only the four files and two backups";
        }
    }
}

TEST_F(WalkersTest, ABackupNamedAsAFileTheInstallUpdatesIsRefused) {
    machine.writeC("WINDOWS/INF/A.INF", "[S]\r\na=1\r\n");
    machine.writeC("WINDOWS/INF/B.INF", "[S]\r\nb=1\r\n");
    machine.writeC("WINDOWS/INF/C.INF", "[S]\r\nc=1\r\n");
    machine.writeDisk("S.QTR", "[S]\r\nnew=1\r\n");
    start("[COMMON]\r\nA.INF=S.QTR,a.inf\r\nB.INF=S.QTR,C.INF\r\n"
          "[950]\r\nC.INF=S.QTR,C.OLD\r\n");
    // Its own name, and the name of a target of another section.
    EXPECT_EQ(window.InstallSection("COMMON"), 2);
    EXPECT_EQ(window.InstallSection("950"), 0);
    EXPECT_EQ(inf("A.INF"), "[S]\r\na=1\r\n");
    EXPECT_EQ(inf("B.INF"), "[S]\r\nb=1\r\n");
    EXPECT_EQ(inf("C.OLD"), "[S]\r\nc=1\r\n");
    EXPECT_EQ(sectionText("C:\\WINDOWS\\INF\\C.INF", "S"), "c=1|new=1|");
    EXPECT_EQ(corvane_test::folderEntries(machine.onC("WINDOWS/INF")),
              (std::vector<std::string>{"A.INF", "B.INF", "C.INF", "C.OLD"}));
}

// Each row: a layout's install and uninstall sections on a machine whose INF
// folder holds A.INF and B.INF (installed text), and the backup A.OLD; the
// install or uninstall refuses some lines and leaves every file as it was.
TEST_F(WalkersTest, LinesThatWouldDestroyALiveFileAreRefusedAndCounted) {
    struct Row {
        const char* what;
        const char* layout;
        int installFailed;
        int restored;
        int uninstallFailed;
        int missing;
        std::vector<std::string> changed; // files the row changes on purpose
    };
    const Row rows[] = {
        {"the uninstall backup names an install target",
         "[USB INF]\r\nB.INF=S.QTR,B.OLD\r\n[UNINSTALL]\r\nA.INF=B.INF\r\n",
         0,
         0,
         1,
         0,
         {}},
        {"the uninstall backup names a target of a release the machine is not",
         "[950B]\r\nB.INF=S.QTR,B.OLD\r\n[UNINSTALL]\r\nA.INF=B.INF\r\n",
         0,
         0,
         1,
         0,
         {}},
        {"the uninstall backup names another uninstall target",
         "[UNINSTALL]\r\nA.INF=B.INF\r\nB.INF=B.OLD\r\n",
         0,
         0,
         1,
         0,
         {}},
        {"the uninstall backup is its own target",
         "[UNINSTALL]\r\nA.INF=a.inf\r\n",
         0,
         0,
         1,
         0,
         {}},
        {"names leaving their folder",
         "[COMMON]\r\nA.INF=S.QTR,..\\SYSTEM.REG\r\nB.INF=..\\S.QTR,B.OLD\r\n"
         "[UNINSTALL]\r\nA.INF=..\\SYSTEM.REG\r\nC:\\WINDOWS\\INF\\A.INF=A.OLD\r\n"
         "A.INF=A\\..\\..\\X\r\nA.INF=NUL\r\nA.INF=com1.old\r\nA.INF=A.OLD.\r\n",
         2,
         0,
         6,
         0,
         {}},
        {"a backup named for two targets",
         "[COMMON]\r\nA.INF=S.QTR,SHARED.OLD\r\n[950]\r\nB.INF=S.QTR,SHARED.OLD\r\n"
         "[UNINSTALL]\r\nB.INF=SHARED.OLD\r\n",
         1,
         0,
         1,
         0,
         {"WINDOWS/INF/A.INF", "WINDOWS/INF/SHARED.OLD"}},
        {"lines that do not parse",
         "[COMMON]\r\nA.INF\r\nA.INF=S.QTR\r\n[UNINSTALL]\r\nA.INF\r\n",
         2,
         0,
         1,
         0,
         {}},
        {"a backup that is a folder",
         "[COMMON]\r\nB.INF=S.QTR,DIR.OLD\r\n[UNINSTALL]\r\nB.INF=DIR.OLD\r\n",
         1,
         0,
         1,
         0,
         {}},
        {"a stale empty backup",
         "[COMMON]\r\nB.INF=S.QTR,EMPTY.OLD\r\n[UNINSTALL]\r\nB.INF=EMPTY.OLD\r\n",
         1,
         0,
         1,
         0,
         {}},
        // A target without its backup was installed, and cannot be put
        // back, only when it holds the lines an install line merges into it
        // under that backup name.
        {"one backup missing, no install line making it, one put back",
         "[UNINSTALL]\r\nA.INF=A.OLD\r\nB.INF=B.OLD\r\n",
         0,
         1,
         0,
         0,
         {"WINDOWS/INF/A.INF", "WINDOWS/INF/A.OLD"}},
        {"a backup missing, its target holding what the install adds",
         "[950B]\r\nB.INF=B.QTR,B.OLD\r\n[UNINSTALL]\r\nA.INF=A.OLD\r\nB.INF=B.OLD\r\n",
         0,
         1,
         0,
         1,
         {"WINDOWS/INF/A.INF", "WINDOWS/INF/A.OLD"}},
        {"a backup missing, its target without what the install adds",
         "[950B]\r\nB.INF=S.QTR,B.OLD\r\n[UNINSTALL]\r\nB.INF=B.OLD\r\n",
         0,
         0,
         0,
         0,
         {}},
        {"a backup missing, its fragment not on the disk",
         "[950B]\r\nB.INF=GONE.QTR,B.OLD\r\n[UNINSTALL]\r\nB.INF=B.OLD\r\n",
         0,
         0,
         0,
         0,
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestMachine drive;
        CSetupWnd launcher;
        drive.writeC("WINDOWS/INF/A.INF", "[S]\r\na=installed\r\n");
        drive.writeC("WINDOWS/INF/B.INF", "[S]\r\nb=installed\r\n");
        drive.writeC("WINDOWS/INF/A.OLD", "[S]\r\na=1\r\n");
        drive.writeC("WINDOWS/INF/EMPTY.OLD", "");
        drive.writeC("WINDOWS/INF/DIR.OLD/X", "x");
        drive.writeC("WINDOWS/SYSTEM.REG", kRegistry);
        drive.writeDisk("S.QTR", "[S]\r\nnew=1\r\n");
        drive.writeDisk("B.QTR", "[S]\r\nb=installed\r\n");
        drive.writeDisk("layout.ini", row.layout);
        drive.boot();
        ASSERT_EQ(launcher.GetLayout()->Load(), 1);
        std::map<std::string, std::string> before = corvane_test::treeContents(drive.onC(""));

        int installFailed = launcher.InstallSection("COMMON") + launcher.InstallSection("950");
        EXPECT_EQ(installFailed, row.installFailed);
        int failed = 0;
        int missing = 0;
        EXPECT_EQ(launcher.UninstallSection("UNINSTALL", &failed, &missing), row.restored);
        EXPECT_EQ(failed, row.uninstallFailed);
        EXPECT_EQ(missing, row.missing);
        std::map<std::string, std::string> after = corvane_test::treeContents(drive.onC(""));
        for (const std::string& name : row.changed) {
            before.erase(name);
            after.erase(name);
        }
        EXPECT_EQ(after, before);
        if (row.restored != 0) {
            EXPECT_EQ(drive.readC("WINDOWS/INF/A.INF"), "[S]\r\na=1\r\n");
            EXPECT_FALSE(drive.existsOnC("WINDOWS/INF/A.OLD"));
        }
    }
}
