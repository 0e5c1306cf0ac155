// The menu's commands end to end: the real setup executable, headless, on a
// test disk and C: drive, driven from the keyboard by an input script.
#include "loader/ProgramResources.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/Trace.h"
#include "resources/resource.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TestDisk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using corvane_test::folderEntries;
using corvane_test::readHostFile;
using corvane_test::SetupResult;
using corvane_test::SetupRun;
using corvane_test::TestDisk;
using corvane_test::writeHostFile;

namespace {

std::string text(unsigned id) {
    // The program's own string table, as its module carries it.
    loader::registerProgramResources();
    return emu::kernel::moduleString(id).value_or("");
}

// The trace line of message box id with its flags and answer, owned by the
// launcher window (the first window, 0x1).
std::string box(unsigned id, int flags, int answer) {
    return "MessageBoxA(0x1, " + emu::quoteForTrace(text(id).c_str()) + ", \"corvane\", " +
           std::to_string(flags) + ") = " + std::to_string(answer);
}

const char kInstall[] = "key enter\n";
const char kUninstall[] = "key down\nkey enter\n";
const char kOther[] = "key down\nkey down\nkey enter\n";
const char kQuit[] = "key up\nkey enter\n";

SetupResult run(const TestDisk& disk, const std::string& script,
                std::vector<std::string> extra = {}) {
    SetupRun run;
    run.disk = disk.disk();
    run.cDrive = disk.cDrive();
    run.script = script;
    run.extraArgs = std::move(extra);
    return run.run();
}

int indexOf(const SetupResult& result, const std::string& prefix) {
    for (size_t i = 0; i < result.trace.size(); ++i) {
        if (result.trace[i].compare(0, prefix.size(), prefix) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

TEST(Commands, InstallMergesBacksUpDeletesKeysAndRestartsOnYes) {
    TestDisk disk;
    SetupResult result = run(disk, std::string(kInstall) + "key y\n");
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(disk.inf("ONE.BAK"), TestDisk::kOneInf);
    EXPECT_EQ(disk.inf("TWO.BAK"), TestDisk::kTwoInf);
    EXPECT_EQ(disk.inf("USB.BAK"), TestDisk::kUsbInf);
    EXPECT_NE(disk.inf("ONE.INF").find("%New%=new_install,PCI\\VEN_7E57&DEV_0001"),
              std::string::npos);
    EXPECT_NE(disk.inf("ONE.INF").find("[Strings]"), std::string::npos);
    // The default platform carries no release letter: section 950.
    EXPECT_NE(disk.inf("TWO.INF").find("release=950\r\n"), std::string::npos);
    EXPECT_NE(disk.inf("USB.INF").find("usb=new"), std::string::npos);
    EXPECT_TRUE(result.traced(
        "RegDeleteKeyA(HKEY_LOCAL_MACHINE, \"Enum\\\\PCI\\\\VEN_7E57&DEV_0001\") = 0"));
    EXPECT_TRUE(result.traced(
        "RegDeleteKeyA(HKEY_LOCAL_MACHINE, \"Enum\\\\PCI\\\\VEN_7E57&DEV_0002\") = 0"));
    EXPECT_EQ(disk.registry().find("DEV_0001"), std::string::npos);
    EXPECT_NE(disk.registry().find("DEV_0003"), std::string::npos);
    EXPECT_TRUE(result.traced(box(IDS_RESTART, 36, 6)));
    EXPECT_TRUE(result.traced("ExitWindowsEx(2, 0) = 1"));
    // The progress window came and went before the question.
    int dialog = indexOf(result, "CreateDialogParamA(");
    int question = indexOf(result, box(IDS_RESTART, 36, 6));
    ASSERT_GE(dialog, 0);
    EXPECT_LT(dialog, question);
}

TEST(Commands, InstallAnsweredNoKeepsTheWindowAndRestartsNothing) {
    TestDisk disk;
    SetupResult result = run(disk, std::string(kInstall) + "key n\n");
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_TRUE(result.traced("script-exhausted in GetMessageA"));
    EXPECT_TRUE(result.traced(box(IDS_RESTART, 36, 7)));
    EXPECT_TRUE(result.calls("ExitWindowsEx").empty());
    EXPECT_TRUE(disk.infExists("ONE.BAK"));
}

TEST(Commands, RefusedRestartIsReported) {
    TestDisk disk;
    SetupResult result =
        run(disk, std::string(kInstall) + "key y\nkey enter\n", {"--restart", "refuse"});
    EXPECT_TRUE(result.traced("ExitWindowsEx(2, 0) = 0"));
    EXPECT_TRUE(result.traced(box(IDS_REBOOT_FAILED, 48, 1)));
    EXPECT_EQ(result.exitStatus, 3);
}

TEST(Commands, UninstallPutsTheBackupsBackAndOffersARestart) {
    TestDisk disk;
    run(disk, std::string(kInstall) + "key n\n");
    ASSERT_TRUE(disk.infExists("ONE.BAK"));
    SetupResult result = run(disk, std::string(kUninstall) + "key n\n");
    EXPECT_EQ(disk.inf("ONE.INF"), TestDisk::kOneInf);
    EXPECT_EQ(disk.inf("TWO.INF"), TestDisk::kTwoInf);
    EXPECT_EQ(disk.inf("USB.INF"), TestDisk::kUsbInf);
    EXPECT_FALSE(disk.infExists("ONE.BAK"));
    EXPECT_FALSE(disk.infExists("USB.BAK"));
    EXPECT_EQ(result.calls("RegDeleteKeyA").size(), 2u);
    EXPECT_TRUE(result.traced(box(IDS_RESTART, 36, 7)));
}

TEST(Commands, UninstallWithoutBackupsSaysSoOverTheDialogAndDeletesNothing) {
    TestDisk disk;
    SetupResult result = run(disk, std::string(kUninstall) + "key enter\n");
    int dialog = indexOf(result, "CreateDialogParamA(");
    int message = indexOf(result, box(IDS_NO_UNINSTALL, 48, 1));
    ASSERT_GE(dialog, 0);
    ASSERT_GE(message, 0);
    EXPECT_LT(dialog, message);
    // The dialog goes only after the message has been answered.
    bool destroyedAfter = false;
    for (size_t i = static_cast<size_t>(message); i < result.trace.size(); ++i) {
        destroyedAfter = destroyedAfter || result.trace[i].rfind("DestroyWindow(", 0) == 0;
    }
    EXPECT_TRUE(destroyedAfter);
    EXPECT_TRUE(result.calls("RegDeleteKeyA").empty());
    EXPECT_EQ(indexOf(result, box(IDS_RESTART, 36, 6).substr(0, 40)), -1);
    EXPECT_EQ(disk.registry(), TestDisk::kRegistry);
}

TEST(Commands, QuitAsksFirst) {
    TestDisk disk;
    SetupResult no = run(disk, std::string(kQuit) + "key n\n");
    EXPECT_TRUE(no.traced("MessageBoxA(0x1, \"Quit this program?\", \"corvane\", 36) = 7"));
    EXPECT_TRUE(no.calls("PostMessageA(0x1, 16").empty());
    EXPECT_EQ(no.exitStatus, 3);

    SetupResult yes = run(disk, std::string(kQuit) + "key y\n");
    EXPECT_TRUE(yes.traced("MessageBoxA(0x1, \"Quit this program?\", \"corvane\", 36) = 6"));
    EXPECT_EQ(yes.calls("PostMessageA(0x1, 16, 0, 0)").size(), 1u);
    EXPECT_EQ(yes.exitStatus, 0);
    // Quitting never touches the disk or the registry.
    EXPECT_FALSE(disk.infExists("ONE.BAK"));
    EXPECT_EQ(disk.registry(), TestDisk::kRegistry);
}

TEST(Commands, AnotherCommandShowsTheDialogAndChangesNothing) {
    TestDisk disk;
    SetupResult result = run(disk, kOther);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.calls("CreateDialogParamA(").size(), 1u);
    EXPECT_TRUE(result.calls("MessageBoxA").empty());
    EXPECT_FALSE(disk.infExists("ONE.BAK"));
    EXPECT_EQ(disk.inf("ONE.INF"), TestDisk::kOneInf);
    EXPECT_EQ(disk.registry(), TestDisk::kRegistry);
}

TEST(Commands, AFailedFileCheckStopsEveryCommandButQuit) {
    TestDisk disk;
    disk.writeDisk("TWO.QTR", "");
    std::remove((disk.disk() + "/TWO.QTR").c_str());
    for (const char* script : {kInstall, kUninstall, kOther}) {
        SetupResult result = run(disk, std::string(script) + "key enter\n");
        EXPECT_TRUE(result.traced(box(IDS_FILES_MISSING, 16, 1))) << script;
        EXPECT_TRUE(result.calls("CreateDialogParamA(").empty()) << script;
    }
    EXPECT_FALSE(disk.infExists("ONE.BAK"));
}

TEST(Commands, WithoutUsbInfNoUsbSectionIsWalked) {
    TestDisk disk(false);
    SetupResult result = run(disk, std::string(kInstall) + "key n\n");
    EXPECT_FALSE(disk.infExists("USB.INF"));
    EXPECT_FALSE(disk.infExists("USB.BAK"));
    EXPECT_EQ(result.calls("RegDeleteKeyA").size(), 1u);
    EXPECT_NE(disk.registry().find("DEV_0002"), std::string::npos);
}

TEST(Commands, ReleaseLetterPicksTheInstallSection) {
    TestDisk disk;
    run(disk, std::string(kInstall) + "key n\n", {"--csd", " B"});
    EXPECT_NE(disk.inf("TWO.INF").find("release=950B\r\n"), std::string::npos);
    EXPECT_EQ(disk.inf("TWO.INF").find("release=950\r\n"), std::string::npos);
}

TEST(Commands, ADoubleClickOnInstallRunsOneInstall) {
    TestDisk disk;
    // "Install" sits at (10, 20)-(w, 40) in the client area.
    SetupResult result = run(disk, "click 20 30\nclick 20 30\nkey n\nkey n\n");
    EXPECT_EQ(result.calls("CreateDialogParamA(").size(), 1u);
    EXPECT_EQ(result
                  .calls("CopyFileA(\"C:\\\\WINDOWS\\\\inf\\\\ONE.INF\", "
                         "\"C:\\\\WINDOWS\\\\inf\\\\ONE.BAK\"")
                  .size(),
              1u);
}

TEST(Commands, EnterAnsweringAMessageBoxDoesNotChooseTheItemAgain) {
    // The box closes on the press; the release reaches the launcher, whose
    // focus frame still stands on Uninstall.
    TestDisk disk;
    SetupResult result = run(disk, std::string(kUninstall) + "key enter\n");
    EXPECT_EQ(result.calls("CreateDialogParamA(").size(), 1u);
    EXPECT_EQ(result.calls("MessageBoxA(").size(), 1u);
    EXPECT_EQ(result.exitStatus, 3);
}

TEST(Commands, AnInstallThatLeavesAFileUnchangedSaysSoAndDetectsNoDevice) {
    // A read-only INF file that CHECK FILES does not name, first in COMMON.
    TestDisk disk;
    std::string layout = readHostFile(disk.disk() + "/layout.ini");
    layout.replace(layout.find("[COMMON]\r\n"), 10, "[COMMON]\r\nRO.INF=ONE.QTR,RO.BAK\r\n");
    disk.writeDisk("layout.ini", layout);
    writeHostFile(disk.infPath("RO.INF"), "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
    ASSERT_EQ(chmod(disk.infPath("RO.INF").c_str(), 0444), 0);

    SetupResult result = run(disk, std::string(kInstall) + "key enter\n" + kQuit + "key y\n");
    EXPECT_EQ(result.exitStatus, 0) << result.errors;
    EXPECT_EQ(disk.inf("RO.INF"), "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
    EXPECT_FALSE(disk.infExists("RO.BAK"));
    // The other files are merged all the same; uninstall can put them back.
    EXPECT_NE(disk.inf("ONE.INF").find("%New%=new_install"), std::string::npos);
    EXPECT_EQ(disk.inf("ONE.BAK"), TestDisk::kOneInf);
    // A stop message after the progress window, and nothing of a finished
    // install: no device key deleted, no restart offered.
    int dialogGone = indexOf(result, "DestroyWindow(0x2)");
    int message = indexOf(result, box(IDS_UPDATE_INCOMPLETE, 16, 1));
    ASSERT_GE(message, 0);
    EXPECT_LT(dialogGone, message);
    EXPECT_TRUE(result.calls("RegDeleteKeyA").empty());
    EXPECT_EQ(disk.registry(), TestDisk::kRegistry);
    EXPECT_EQ(indexOf(result, box(IDS_RESTART, 36, 6).substr(0, 40)), -1);
}

// A device key that is not there is normal; a registry that cannot be read
// or written stops the command: the deletions end at the first failure, a
// stop message of its own follows the progress window, and no restart is
// offered, since Windows would detect nothing anew.
TEST(Commands, ARegistryThatCannotBeChangedEndsTheCommandWithoutARestart) {
    struct Case {
        const char* what;
        const char* script;
        std::string registry;
        bool readOnly;
        bool fails;
        size_t deletions;
    };
    const std::string malformed = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\r\n";
    const Case cases[] = {
        {"install, malformed", kInstall, malformed, false, true, 1},
        {"uninstall, malformed", kUninstall, malformed, false, true, 1},
        {"install, read-only", kInstall, TestDisk::kRegistry, true, true, 1},
        {"install, no device keys", kInstall, "REGEDIT4\r\n", false, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestDisk disk;
        if (std::string(c.script) == kUninstall) {
            // Backups to put back first.
            ASSERT_EQ(run(disk, std::string(kInstall) + "key n\n").exitStatus, 3);
        }
        writeHostFile(disk.registryPath(), c.registry);
        if (c.readOnly) {
            ASSERT_EQ(chmod(disk.registryPath().c_str(), 0444), 0);
        }
        // Quit is one up from Install, two from Uninstall.
        bool uninstall = std::string(c.script) == kUninstall;
        SetupResult result =
            run(disk, std::string(c.script) + (c.fails ? "key enter\n" : "key n\n") +
                          (uninstall ? "key up\n" : "") + kQuit + "key y\n");
        std::string trace;
        for (const std::string& line : result.trace) {
            trace += line + "\n";
        }
        EXPECT_EQ(result.exitStatus, 0) << result.errors << trace;
        EXPECT_EQ(result.calls("RegDeleteKeyA").size(), c.deletions) << trace;
        EXPECT_EQ(disk.registry(), c.registry);
        int stop = indexOf(result, box(IDS_REGISTRY_FAILED, 16, 1));
        int restart = indexOf(result, box(IDS_RESTART, 36, 7));
        if (c.fails) {
            EXPECT_GT(stop, indexOf(result, "DestroyWindow(0x2)"));
            EXPECT_EQ(restart, -1);
        } else {
            EXPECT_EQ(stop, -1);
            EXPECT_GE(restart, 0);
        }
        EXPECT_EQ(indexOf(result, box(IDS_UPDATE_INCOMPLETE, 16, 1)), -1);
    }
}

TEST(Commands, CopiesInstallingAtOnceTakeTurnsAndEachFinishes) {
    TestDisk reference;
    ASSERT_EQ(run(reference, std::string(kInstall) + "key n\n" + kQuit + "key y\n").exitStatus, 0);
    for (int copies : {2, 3}) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(std::to_string(copies) + " copies, round " + std::to_string(round));
            TestDisk disk;
            std::vector<SetupResult> results(copies);
            std::vector<std::thread> runs;
            for (int i = 0; i < copies; ++i) {
                runs.emplace_back([&, i] {
                    results[i] = run(disk, std::string(kInstall) + "key n\n" + kQuit + "key y\n");
                });
            }
            for (std::thread& each : runs) {
                each.join();
            }
            for (const SetupResult& result : results) {
                EXPECT_EQ(result.exitStatus, 0) << result.errors;
                std::string trace;
                for (const std::string& line : result.trace) {
                    trace += line + "\n";
                }
                EXPECT_TRUE(result.traced(box(IDS_RESTART, 36, 7))) << trace;
            }
            for (const char* name : {"ONE.INF", "TWO.INF", "USB.INF"}) {
                EXPECT_EQ(disk.inf(name), reference.inf(name)) << name;
            }
            EXPECT_EQ(disk.inf("ONE.BAK"), TestDisk::kOneInf);
            EXPECT_EQ(disk.inf("TWO.BAK"), TestDisk::kTwoInf);
            EXPECT_EQ(disk.inf("USB.BAK"), TestDisk::kUsbInf);
            EXPECT_EQ(folderEntries(disk.cDrive() + "/WINDOWS/INF"),
                      folderEntries(reference.cDrive() + "/WINDOWS/INF"));
        }
    }
}
