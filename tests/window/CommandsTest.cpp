// The menu's commands end to end: the real setup executable, headless, on a
// test disk and C: drive, driven from the keyboard by an input script.
#include "loader/ProgramResources.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/Trace.h"
#include "resources/resource.h"
#include "tests/support/CregBuilder.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDisk.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using corvane_test::CregBuilder;
using corvane_test::folderEntries;
using corvane_test::readHostFile;
using corvane_test::SetupResult;
using corvane_test::SetupRun;
using corvane_test::TempDir;
using corvane_test::TestDisk;
using corvane_test::treeContents;
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

namespace {

// Every file below a folder: its bytes, or for a file over 1 MB (a sparse
// one of gigabytes) its inode, size and time, so it is never read whole.
std::map<std::string, std::string> stamps(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string path = entry.path().string();
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
        files[path] = info.st_size > (1 << 20)
                          ? std::to_string(info.st_ino) + " " + std::to_string(info.st_size) + " " +
                                std::to_string(info.st_mtim.tv_sec) + "." +
                                std::to_string(info.st_mtim.tv_nsec)
                          : readHostFile(path);
    }
    return files;
}

} // namespace

// A fragment or a Windows INF file of 3 GB (sparse) fails the file check by
// its size: the real program stops every command before anything changes,
// says so with its stop message, leaves no lock file and ends as it should.
TEST(Commands, AFileOfGigabytesStopsTheCommandBeforeAnythingChanges) {
    struct Row {
        const char* what;
        bool fragment; // ONE.QTR on the disk, else ONE.INF on C:
        std::vector<std::string> args;
        std::string script; // a command's, answered and quit; empty: none
        int status;
        const char* output; // words stdout must hold, or ""
    };
    // The stop message answered, then Quit (one up from Install, two from
    // Uninstall) and Yes.
    const std::string install = std::string(kInstall) + "key enter\n" + kQuit + "key y\n";
    const std::string uninstall =
        std::string(kUninstall) + "key enter\nkey up\n" + kQuit + "key y\n";
    const Row rows[] = {
        {"install, fragment", true, {}, install, 0, ""},
        {"uninstall, fragment", true, {}, uninstall, 0, ""},
        {"install, Windows INF file", false, {}, install, 0, ""},
        {"dry run, fragment", true, {"--dry-run", "100"}, "", 4, "would not succeed"},
        {"check, fragment", true, {"--check"}, "", 1, "is 3,221,225,472 bytes, over 32 KB"},
        {"check, Windows INF file",
         false,
         {"--check"},
         "",
         1,
         "is 3,221,225,472 bytes, over 16 MB"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestDisk disk;
        const std::string big = row.fragment ? disk.disk() + "/ONE.QTR" : disk.infPath("ONE.INF");
        std::filesystem::resize_file(big, 3ull << 30);
        const auto before = stamps(disk.disk() + "/..");
        SetupResult result = run(disk, row.script, row.args);
        EXPECT_EQ(result.exitStatus, row.status) << result.errors << result.output;
        EXPECT_NE(result.output.find(row.output), std::string::npos) << result.output;
        // The dry run shows the message on its output instead.
        EXPECT_EQ(result.traced(box(IDS_FILES_MISSING, 16, 1)), !row.script.empty());
        EXPECT_TRUE(result.calls("CreateDialogParamA(").empty());
        EXPECT_TRUE(result.calls("CopyFileA(").empty());
        EXPECT_FALSE(disk.infExists("~CORVANE.LCK"));
        EXPECT_TRUE(stamps(disk.disk() + "/..") == before);
    }
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

namespace {

// How one copy of a race ended, told by its trace.
enum class Ending { Finished, NothingToUndo, Busy, LockFailed, Other };

const char* endingName(Ending ending) {
    switch (ending) {
    case Ending::Finished:
        return "finished";
    case Ending::NothingToUndo:
        return "nothing to uninstall";
    case Ending::Busy:
        return "gave up waiting";
    case Ending::LockFailed:
        return "lock unopenable";
    default:
        return "other";
    }
}

// A copy that did not take the lock changed nothing at all.
bool changedNothing(const SetupResult& result) {
    for (const char* call : {"CopyFileA", "DeleteFileA", "WritePrivateProfileSectionA",
                             "RegDeleteKeyA", "CreateDialogParamA"}) {
        if (!result.calls(call).empty()) {
            return false;
        }
    }
    return true;
}

Ending endingOf(const SetupResult& result) {
    if (result.traced(box(IDS_RESTART, 36, 7))) {
        return Ending::Finished;
    }
    if (result.traced(box(IDS_NO_UNINSTALL, 48, 1))) {
        return Ending::NothingToUndo;
    }
    if (result.traced(box(IDS_LOCK_BUSY, 16, 1)) && changedNothing(result)) {
        return Ending::Busy;
    }
    if (result.traced(box(IDS_LOCK_FAILED, 16, 1)) && changedNothing(result)) {
        return Ending::LockFailed;
    }
    return Ending::Other;
}

std::string traceText(const SetupResult& result) {
    std::string trace;
    for (const std::string& line : result.trace) {
        trace += line + "\n";
    }
    return trace;
}

// Answers whatever the command ends with (No to the restart question, OK to
// a message) and closes the window.
const char kAnswerAndClose[] = "key n\nclose\nclose\n";

} // namespace

// Copies started together on one machine, installs and uninstalls mixed,
// round after round: each takes the lock in turn (or, the virtual clock
// running ahead of a slow machine, gives up waiting with nothing changed),
// and the INF folder always ends in a state one of them leaves alone:
// everything installed over the original backups, or everything as before.
// With the lock made unopenable no copy changes anything.
// The registry file is a regular file or the install stops with message 138
// and leaves it as it was: a folder, a pipe or a link that leads nowhere is
// never read as an empty registry, a hive damaged as no Windows leaves it is
// never mended. A link leads to the file that changes and stays a link; a
// read-only hive is the system's own and is written and kept read-only; a
// hive the user may not write is an honest failure.
TEST(Commands, TheRegistryFileIsARegularFileOrTheInstallStops) {
    CregBuilder builder;
    builder.addKey("Enum\\PCI\\VEN_7E57&DEV_0001\\BUS_00&DEV_07",
                   {CregBuilder::string("Class", "hdc")});
    builder.addKey("Enum\\PCI\\VEN_7E57&DEV_0002", {CregBuilder::string("Class", "USB")});
    builder.addKey("Enum\\PCI\\VEN_7E57&DEV_0003", {CregBuilder::string("Class", "Keep")});
    const std::string hive = builder.build();
    std::string wrongChecksum = hive;
    const size_t firstBlock = emu::kernel::CregFile::read32(hive, 8);
    wrongChecksum[firstBlock + 28] = static_cast<char>(wrongChecksum[firstBlock + 28] ^ 0x10);
    using Prepare = std::function<void(const TestDisk&, const std::string& elsewhere)>;
    auto windows = [](const TestDisk& d, const std::string& name) {
        return d.cDrive() + "/WINDOWS/" + name;
    };
    auto hiveAt = [&windows, hive](const char* name, mode_t mode) -> Prepare {
        return [=](const TestDisk& d, const std::string&) {
            writeHostFile(windows(d, name), hive);
            ASSERT_EQ(chmod(windows(d, name).c_str(), mode), 0);
        };
    };
    auto bytesAt = [&windows](std::string bytes) -> Prepare {
        return [=](const TestDisk& d, const std::string&) {
            writeHostFile(windows(d, "SYSTEM.DAT"), bytes);
        };
    };
    struct Row {
        const char* what;
        Prepare prepare;
        bool registryOption; // --registry ELSEWHERE/LINK.DAT
        LONG result;         // of the first deletion
        const char* changed; // the hive that changes, below the test's folder; none when it fails
        mode_t mode;         // that hive's mode afterwards
        const char* check;   // in --check's output; empty: not run
        bool asAUser = false;
    };
    const Row rows[] = {
        {"a folder",
         [&](const TestDisk& d, const std::string&) {
             std::filesystem::create_directory(windows(d, "SYSTEM.DAT"));
         },
         false, ERROR_BADDB, "", 0, "SYSTEM.DAT:0: error: is a folder, not a file"},
        {"a pipe",
         [&](const TestDisk& d, const std::string&) {
             ASSERT_EQ(mkfifo(windows(d, "SYSTEM.DAT").c_str(), 0644), 0);
         },
         false, ERROR_BADDB, "", 0, ""},
        {"a dangling link",
         [&](const TestDisk& d, const std::string&) {
             ASSERT_EQ(symlink("NOWHERE.DAT", windows(d, "SYSTEM.DAT").c_str()), 0);
         },
         false, ERROR_BADDB, "", 0, ""},
        {"a link to a hive inside the drive",
         [&](const TestDisk& d, const std::string&) {
             std::filesystem::create_directory(d.cDrive() + "/HIVES");
             writeHostFile(d.cDrive() + "/HIVES/REAL.DAT", hive);
             ASSERT_EQ(symlink("../HIVES/REAL.DAT", windows(d, "SYSTEM.DAT").c_str()), 0);
         },
         false, ERROR_SUCCESS, "c/HIVES/REAL.DAT", 0644, ""},
        {"--registry naming a link",
         [&](const TestDisk&, const std::string& elsewhere) {
             writeHostFile(elsewhere + "/REAL.DAT", hive);
             ASSERT_EQ(symlink("REAL.DAT", (elsewhere + "/LINK.DAT").c_str()), 0);
         },
         true, ERROR_SUCCESS, "elsewhere/REAL.DAT", 0644, ""},
        {"one wrong checksum", bytesAt(wrongChecksum), false, ERROR_BADDB, "", 0,
         "data block 0's checksum"},
        {"data after its end", bytesAt(hive + std::string(1 << 20, '\0')), false, ERROR_BADDB, "",
         0, "bytes follow the last data block"},
        {"a read-only hive, hidden and system on Windows", hiveAt("SYSTEM.DAT", 0444), false,
         ERROR_SUCCESS, "c/WINDOWS/SYSTEM.DAT", 0444, ""},
        {"a hive the user may not write", hiveAt("SYSTEM.DAT", 0644), false, ERROR_ACCESS_DENIED,
         "", 0, "", true},
        {"a read-only hive of the user who runs the program",
         [&](const TestDisk& d, const std::string& elsewhere) {
             hiveAt("SYSTEM.DAT", 0444)(d, elsewhere);
             ASSERT_EQ(chown(windows(d, "SYSTEM.DAT").c_str(), 65534, 65534), 0);
         },
         false, ERROR_SUCCESS, "c/WINDOWS/SYSTEM.DAT", 0444, "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.asAUser && geteuid() != 0) {
            continue; // only the superuser may run the program as another user
        }
        TestDisk disk;
        const std::string root = std::filesystem::path(disk.disk()).parent_path().string();
        const std::string elsewhere = root + "/elsewhere";
        std::filesystem::create_directory(elsewhere);
        if (row.asAUser) {
            // Everything but the hive is open to the user who runs the program.
            std::filesystem::permissions(root, std::filesystem::perms::all);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
            }
        }
        row.prepare(disk, elsewhere);
        auto windowsBefore = treeContents(disk.cDrive() + "/WINDOWS");
        const auto elsewhereBefore = treeContents(elsewhere);

        SetupRun setup;
        setup.disk = disk.disk();
        setup.cDrive = disk.cDrive();
        bool fails = row.result != ERROR_SUCCESS;
        setup.script =
            std::string(kInstall) + (fails ? "key enter\n" : "key n\n") + kQuit + "key y\n";
        if (row.registryOption) {
            setup.extraArgs = {"--registry", elsewhere + "/LINK.DAT"};
        }
        setup.asUser = row.asAUser ? 65534 : 0; // nobody
        SetupResult result = setup.run();
        EXPECT_EQ(result.exitStatus, 0) << traceText(result) << result.errors;
        std::vector<std::string> deletions = result.calls("RegDeleteKeyA");
        ASSERT_FALSE(deletions.empty()) << traceText(result);
        EXPECT_EQ(deletions[0].substr(deletions[0].rfind(" = ") + 3), std::to_string(row.result));
        EXPECT_EQ(result.traced(box(IDS_REGISTRY_FAILED, 16, 1)), fails) << traceText(result);
        EXPECT_EQ(result.traced(box(IDS_RESTART, 36, 7)), !fails) << traceText(result);

        auto windowsAfter = treeContents(disk.cDrive() + "/WINDOWS");
        auto elsewhereAfter = treeContents(elsewhere);
        if (fails) {
            EXPECT_EQ(deletions.size(), 1u);
            EXPECT_EQ(elsewhereAfter, elsewhereBefore);
        } else {
            // The device keys went from the file the name leads to, which
            // keeps its mode; every name stays what it was.
            std::string changed = root + "/" + row.changed;
            emu::kernel::CregFile after(readHostFile(changed));
            ASSERT_FALSE(after.error().has_value()) << *after.error();
            EXPECT_TRUE(after.findKeys({"Enum", "PCI", "VEN_7E57&DEV_0001"}).empty());
            EXPECT_TRUE(after.findKeys({"Enum", "PCI", "VEN_7E57&DEV_0002"}).empty());
            EXPECT_FALSE(after.findKeys({"Enum", "PCI", "VEN_7E57&DEV_0003"}).empty());
            EXPECT_TRUE(emu::kernel::checkCregFile(after).empty());
            struct stat info {};
            ASSERT_EQ(stat(changed.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, row.mode);
            if (changed == disk.cDrive() + "/WINDOWS/SYSTEM.DAT") {
                windowsBefore.erase("SYSTEM.DAT");
                windowsAfter.erase("SYSTEM.DAT");
            }
            for (const auto& [name, text] : elsewhereBefore) {
                if (text.rfind("<link", 0) == 0) {
                    EXPECT_EQ(elsewhereAfter[name], text) << name;
                }
            }
        }
        for (auto* tree : {&windowsBefore, &windowsAfter}) {
            for (auto at = tree->begin(); at != tree->end();) {
                at = at->first.rfind("INF", 0) == 0 ? tree->erase(at) : std::next(at);
            }
        }
        EXPECT_EQ(windowsAfter, windowsBefore);

        if (*row.check != '\0') {
            SetupResult check = run(disk, "", {"--check"});
            EXPECT_EQ(check.exitStatus, 1) << check.output;
            EXPECT_NE(check.output.find(row.check), std::string::npos) << check.output;
        }
    }
}

TEST(Commands, CopiesRacingEachOtherAlwaysLeaveALegalState) {
    TestDisk clean;
    TestDisk installed;
    ASSERT_EQ(run(installed, std::string(kInstall) + kAnswerAndClose).exitStatus, 0);
    const std::map<std::string, std::string> cleanInf =
        corvane_test::treeContents(clean.cDrive() + "/WINDOWS/INF");
    const std::map<std::string, std::string> installedInf =
        corvane_test::treeContents(installed.cDrive() + "/WINDOWS/INF");
    ASSERT_NE(cleanInf, installedInf);

    struct Row {
        const char* what;
        int installs;
        int uninstalls;
        int rounds;
        bool lockUnopenable;
    };
    const Row rows[] = {
        {"two installs", 2, 0, 2, false},
        {"three installs", 3, 0, 2, false},
        {"three installs racing three uninstalls", 3, 3, 6, false},
        {"six copies with the lock a folder", 3, 3, 1, true},
    };
    for (const Row& row : rows) {
        std::map<Ending, int> endings;
        int installedEnds = 0;
        for (int round = 0; round < row.rounds; ++round) {
            SCOPED_TRACE(std::string(row.what) + ", round " + std::to_string(round));
            // Every other round starts from an installed machine.
            TestDisk disk;
            if (round % 2 == 1) {
                ASSERT_EQ(run(disk, std::string(kInstall) + kAnswerAndClose).exitStatus, 0);
            }
            if (row.lockUnopenable) {
                writeHostFile(disk.infPath("~CORVANE.LCK") + "/KEEP", "");
            }
            std::map<std::string, std::string> before =
                corvane_test::treeContents(disk.cDrive() + "/WINDOWS/INF");
            std::vector<std::string> scripts;
            for (int i = 0; i < row.installs + row.uninstalls; ++i) {
                scripts.push_back(
                    std::string(i % 2 == 0 || i / 2 >= row.uninstalls ? kInstall : kUninstall) +
                    kAnswerAndClose);
            }
            std::vector<SetupResult> results(scripts.size());
            std::vector<std::thread> runs;
            for (size_t i = 0; i < scripts.size(); ++i) {
                runs.emplace_back([&, i] { results[i] = run(disk, scripts[i]); });
            }
            for (std::thread& each : runs) {
                each.join();
            }
            int finished = 0;
            for (const SetupResult& result : results) {
                Ending ending = endingOf(result);
                ++endings[ending];
                EXPECT_NE(ending, Ending::Other) << traceText(result) << result.errors;
                EXPECT_EQ(ending == Ending::LockFailed, row.lockUnopenable) << traceText(result);
                finished += ending == Ending::Finished || ending == Ending::NothingToUndo;
            }
            std::map<std::string, std::string> after =
                corvane_test::treeContents(disk.cDrive() + "/WINDOWS/INF");
            if (row.lockUnopenable) {
                EXPECT_EQ(after, before);
                continue;
            }
            // The first copy to take the lock is never turned away.
            EXPECT_GE(finished, 1);
            after.erase("~CORVANE.LCK");
            EXPECT_TRUE(after == cleanInf || after == installedInf)
                << "INF folder in a state no single command leaves";
            installedEnds += after == installedInf;
        }
        std::string summary = std::string(row.what) + ":";
        for (const auto& [ending, count] : endings) {
            summary += std::string(" ") + endingName(ending) + " " + std::to_string(count);
        }
        std::printf("%s; %d of %d rounds ended installed\n", summary.c_str(), installedEnds,
                    row.rounds);
    }
}

namespace {

// Sets line number (from 1) of the disk's layout.ini to text.
void setLayoutLine(const TestDisk& disk, int number, const std::string& text) {
    std::string layout = readHostFile(disk.disk() + "/layout.ini");
    size_t start = 0;
    for (int i = 1; i < number; ++i) {
        start = layout.find("\r\n", start) + 2;
    }
    layout.replace(start, layout.find("\r\n", start) - start, text);
    disk.writeDisk("layout.ini", layout);
}

// Only the install section COMMON and the uninstall line of ONE.INF stay.
void onlyTheFirstLines(const TestDisk& disk) {
    for (int line : {26, 28, 30, 32, 35, 36}) {
        setLayoutLine(disk, line, "; none");
    }
}

} // namespace

// One slip in layout.ini or one odd file in the INF folder, each refused by
// the real program before it destroys anything: the stop message that says
// so, every file of drive C: byte for byte as before except those a line
// that is not refused changes, no restart, no hang; and a slip in layout.ini
// is an error of setup --check on its line.
TEST(Commands, NoSlipAndNoOddFileDestroysALiveFile) {
    TempDir outside;
    writeHostFile(outside / "UNRELATED.TXT", "not an INF file\r\n");
    struct Row {
        const char* what;
        bool installedFirst;
        std::function<void(const TestDisk&)> slip;
        const char* script;
        unsigned message;
        std::vector<std::string> changes; // files a line that is not refused changes
        int checkLine;                    // the --check error's layout.ini line; 0: none
        bool asAUser = false;             // run by an ordinary user, not by root
    };
    const Row rows[] = {
        {"uninstall backup names another Windows INF file",
         true,
         [](const TestDisk& d) { setLayoutLine(d, 34, "ONE.INF=TWO.INF"); },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {"WINDOWS/INF/TWO.INF", "WINDOWS/INF/TWO.BAK", "WINDOWS/INF/USB.INF",
          "WINDOWS/INF/USB.BAK"},
         34},
        {"uninstall backup names a Windows INF file no line names",
         true,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             writeHostFile(d.infPath("OTHER.INF"), "[Version]\r\nSignature=\"$CHICAGO$\"\r\n");
             setLayoutLine(d, 34, "ONE.INF=OTHER.INF");
         },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {},
         34},
        {"install backup outside the INF folder",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 24, "ONE.INF=ONE.QTR,..\\SYSTEM.REG");
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {},
         24},
        {"uninstall backup outside the INF folder",
         true,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 34, "ONE.INF=..\\SYSTEM.REG");
         },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {},
         34},
        {"install backup on a drive",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 24, "ONE.INF=ONE.QTR,C:\\X");
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {},
         24},
        {"install backup leaving the INF folder through a subfolder",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 24, "ONE.INF=ONE.QTR,A\\..\\..\\X");
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {},
         24},
        {"uninstall backup a device",
         true,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 34, "ONE.INF=NUL");
         },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {},
         34},
        {"one backup for two targets",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             setLayoutLine(d, 24, "ONE.INF=ONE.QTR,SHARED.BAK");
             setLayoutLine(d, 26, "TWO.INF=TWO.QTR,SHARED.BAK");
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {"WINDOWS/INF/ONE.INF", "WINDOWS/INF/SHARED.BAK"},
         26},
        {"a stale empty backup",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             writeHostFile(d.infPath("ONE.BAK"), "");
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {},
         0},
        {"a backup that is a link outside the drive",
         true,
         [&outside](const TestDisk& d) {
             std::remove(d.infPath("ONE.BAK").c_str());
             ASSERT_EQ(symlink((outside / "UNRELATED.TXT").c_str(), d.infPath("ONE.BAK").c_str()),
                       0);
         },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {"WINDOWS/INF/TWO.INF", "WINDOWS/INF/TWO.BAK", "WINDOWS/INF/USB.INF",
          "WINDOWS/INF/USB.BAK"},
         0},
        {"the backup of an installed target deleted by hand",
         true,
         [](const TestDisk& d) { std::remove(d.infPath("ONE.BAK").c_str()); },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {"WINDOWS/INF/TWO.INF", "WINDOWS/INF/TWO.BAK", "WINDOWS/INF/USB.INF",
          "WINDOWS/INF/USB.BAK"},
         0},
        {"a backup that is a folder",
         true,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             std::remove(d.infPath("ONE.BAK").c_str());
             writeHostFile(d.infPath("ONE.BAK") + "/KEEP", "");
         },
         kUninstall,
         IDS_UNINSTALL_INCOMPLETE,
         {},
         0},
        {"a lock that is a folder",
         false,
         [](const TestDisk& d) { writeHostFile(d.infPath("~CORVANE.LCK") + "/KEEP", ""); },
         kInstall,
         IDS_LOCK_FAILED,
         {},
         0},
        {"a lock that is a pipe",
         false,
         [](const TestDisk& d) { ASSERT_EQ(mkfifo(d.infPath("~CORVANE.LCK").c_str(), 0644), 0); },
         kInstall,
         IDS_LOCK_FAILED,
         {},
         0},
        {"a lock that is a dangling link",
         true,
         [](const TestDisk& d) {
             ASSERT_EQ(symlink("NOWHERE.TXT", d.infPath("~CORVANE.LCK").c_str()), 0);
         },
         kUninstall,
         IDS_LOCK_FAILED,
         {},
         0},
        {"a lock that is a link outside the drive",
         false,
         [&outside](const TestDisk& d) {
             ASSERT_EQ(
                 symlink((outside / "UNRELATED.TXT").c_str(), d.infPath("~CORVANE.LCK").c_str()),
                 0);
         },
         kInstall,
         IDS_LOCK_FAILED,
         {},
         0},
        {"a lock the user may not open",
         false,
         [](const TestDisk& d) {
             // Everything else is open to the user who runs the program.
             std::string root = std::filesystem::path(d.disk()).parent_path().string();
             std::filesystem::permissions(root, std::filesystem::perms::all);
             for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
                 std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
             }
             writeHostFile(d.infPath("~CORVANE.LCK"), "");
             ASSERT_EQ(chmod(d.infPath("~CORVANE.LCK").c_str(), 0), 0);
         },
         kInstall,
         IDS_LOCK_FAILED,
         {},
         0,
         true},
        {"a UTF-16 target",
         false,
         [](const TestDisk& d) {
             onlyTheFirstLines(d);
             writeHostFile(d.infPath("ONE.INF"), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0", 12));
         },
         kInstall,
         IDS_UPDATE_INCOMPLETE,
         {},
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestDisk disk;
        if (row.installedFirst) {
            ASSERT_EQ(run(disk, std::string(kInstall) + kAnswerAndClose).exitStatus, 0);
        }
        row.slip(disk);
        std::map<std::string, std::string> before = corvane_test::treeContents(disk.cDrive());
        std::string outsideBefore = readHostFile(outside / "UNRELATED.TXT");

        SetupRun setup;
        setup.disk = disk.disk();
        setup.cDrive = disk.cDrive();
        setup.script = std::string(row.script) + kAnswerAndClose;
        setup.asUser = row.asAUser ? 65534 : 0; // nobody
        SetupResult result = setup.run();
        EXPECT_EQ(result.exitStatus, 0) << traceText(result) << result.errors;
        EXPECT_TRUE(result.traced(box(row.message, 16, 1))) << traceText(result);
        EXPECT_TRUE(result.calls("ExitWindowsEx").empty());
        EXPECT_TRUE(result.calls("RegDeleteKeyA").empty());
        std::map<std::string, std::string> after = corvane_test::treeContents(disk.cDrive());
        for (const std::string& name : row.changes) {
            EXPECT_NE(before[name], after[name]) << name << " was to change";
            before.erase(name);
            after.erase(name);
        }
        EXPECT_EQ(after, before);
        EXPECT_EQ(readHostFile(outside / "UNRELATED.TXT"), outsideBefore);

        if (row.checkLine != 0) {
            SetupResult check = run(disk, "", {"--check"});
            EXPECT_EQ(check.exitStatus, 1) << check.output;
            EXPECT_NE(check.output.find("layout.ini:" + std::to_string(row.checkLine) + ": error:"),
                      std::string::npos)
                << check.output;
        }
    }
}

namespace {

// Whether the registry file still holds device key name below Enum\PCI.
bool hasDeviceKey(const TestDisk& disk, const std::string& name) {
    return disk.registry().find("[HKEY_LOCAL_MACHINE\\Enum\\PCI\\" + name + "]") !=
           std::string::npos;
}

// Replaces line number (from 1) of layout.ini with lines, which may be more
// than one.
void setLayoutLines(const TestDisk& disk, int number, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\r\n") + line;
    }
    setLayoutLine(disk, number, text);
}

} // namespace

// What an ordinary driver disk or an ordinary machine does is no fault: each
// row runs the real program through an install (and, when the row changes
// the machine or asks for it, an uninstall after it), and each command ends
// as designed: no stop message, the device keys deleted, the restart
// question. setup --check on the row's layout says what the program does.
TEST(Commands, OrdinaryDisksAndMachinesInstallAndUninstallAsDesigned) {
    struct Row {
        const char* what;
        bool usb;                                  // USB.INF on the machine at the start
        std::function<void(const TestDisk&)> disk; // the row's disk and machine
        bool uninstall;                            // an uninstall follows the install
        // Run before the uninstall: a change to the machine, or a look at
        // what the install did.
        std::function<void(const TestDisk&)> beforeUninstall;
        std::function<void(const TestDisk&)> outcome; // what the files hold at the end
        std::vector<std::string> deleted;             // device keys gone at the end
        std::vector<std::string> kept;                // device keys still there
        int checkStatus;                              // setup --check's exit status
        const char* checkWords;                       // in its output
    };
    const Row rows[] = {
        {"fragments in a subfolder of the disk",
         true,
         [](const TestDisk& d) {
             d.writeDisk("WIN95/ONE.QTR", readHostFile(d.disk() + "/ONE.QTR"));
             std::remove((d.disk() + "/ONE.QTR").c_str());
             setLayoutLine(d, 20, "ONE.INF=WIN95\\ONE.QTR");
             setLayoutLine(d, 24, "ONE.INF=WIN95\\ONE.QTR,ONE.BAK");
         },
         false,
         nullptr,
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("ONE.BAK"), TestDisk::kOneInf);
             EXPECT_NE(d.inf("ONE.INF").find("%New%=new_install"), std::string::npos);
         },
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         0,
         "fragment \"WIN95\\ONE.QTR\" is in a subfolder of the disk: the program reads it there"},
        {"a target in INF\\OTHER with its backup beside it",
         true,
         [](const TestDisk& d) {
             writeHostFile(d.infPath("OTHER/OEM1.INF"), TestDisk::kOneInf);
             setLayoutLines(d, 34, {"ONE.INF=ONE.BAK", "OTHER\\OEM1.INF=OTHER\\OEM1.BAK"});
             setLayoutLines(d, 24,
                            {"ONE.INF=ONE.QTR,ONE.BAK", "OTHER\\OEM1.INF=ONE.QTR,OTHER\\OEM1.BAK"});
         },
         true,
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("OTHER/OEM1.BAK"), TestDisk::kOneInf);
             EXPECT_NE(d.inf("OTHER/OEM1.INF").find("%New%=new_install"), std::string::npos);
         },
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("OTHER/OEM1.INF"), TestDisk::kOneInf);
             EXPECT_FALSE(d.infExists("OTHER/OEM1.BAK"));
             EXPECT_EQ(d.inf("ONE.INF"), TestDisk::kOneInf);
         },
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         0,
         "OTHER\\OEM1.INF is not in [CHECK FILES]"},
        {"blanks after the comma",
         true,
         [](const TestDisk& d) { setLayoutLine(d, 24, "ONE.INF = ONE.QTR, ONE.BAK"); },
         false,
         nullptr,
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("ONE.BAK"), TestDisk::kOneInf);
             EXPECT_FALSE(d.infExists(" ONE.BAK"));
         },
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         0,
         "blanks around the names after \"=\" are no part of them: the program reads "
         "\"ONE.INF=ONE.QTR, ONE.BAK\" as \"ONE.INF=ONE.QTR,ONE.BAK\""},
        {"installed without USB.INF, uninstalled with it",
         false,
         nullptr,
         true,
         [](const TestDisk& d) { writeHostFile(d.infPath("USB.INF"), TestDisk::kUsbInf); },
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("ONE.INF"), TestDisk::kOneInf);
             EXPECT_EQ(d.inf("TWO.INF"), TestDisk::kTwoInf);
             EXPECT_EQ(d.inf("USB.INF"), TestDisk::kUsbInf);
             EXPECT_FALSE(d.infExists("ONE.BAK"));
         },
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         0,
         "USB.INF is not on this machine, or read-only: the install walks no [USB INF] line "
         "here"},
        {"an uninstall line for another release's target",
         true,
         [](const TestDisk& d) {
             d.writeDisk("THREE.QTR", "[Devices]\r\nrelease=950A\r\n");
             writeHostFile(d.infPath("THREE.INF"), TestDisk::kTwoInf);
             setLayoutLines(d, 36, {"USB.INF=USB.BAK", "THREE.INF=THREE.BAK"});
             setLayoutLine(d, 28, "THREE.INF=THREE.QTR,THREE.BAK");
         },
         true,
         nullptr,
         [](const TestDisk& d) {
             EXPECT_EQ(d.inf("THREE.INF"), TestDisk::kTwoInf);
             EXPECT_EQ(d.inf("TWO.INF"), TestDisk::kTwoInf);
             EXPECT_FALSE(d.infExists("TWO.BAK"));
         },
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         0,
         "THREE.INF is not in [CHECK FILES]"},
        {"a device key path with a trailing backslash",
         true,
         [](const TestDisk& d) {
             setLayoutLines(d, 38, {"PCI\\VEN_7E57&DEV_0003\\=1", "PCI\\VEN_7E57&DEV_0001=1"});
         },
         false,
         nullptr,
         nullptr,
         {"VEN_7E57&DEV_0001", "VEN_7E57&DEV_0002"},
         {"VEN_7E57&DEV_0003"},
         1,
         "layout.ini:38: error: device key path \"PCI\\VEN_7E57&DEV_0003\\\" is no key name the "
         "registry takes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestDisk disk(row.usb);
        if (row.disk) {
            row.disk(disk);
        }
        SetupResult check = run(disk, "", {"--check"});
        EXPECT_EQ(check.exitStatus, row.checkStatus) << check.output;
        EXPECT_NE(check.output.find(row.checkWords), std::string::npos) << check.output;

        std::vector<const char*> commands = {kInstall};
        if (row.uninstall) {
            commands.push_back(kUninstall);
        }
        for (const char* command : commands) {
            if (command == kUninstall && row.beforeUninstall) {
                row.beforeUninstall(disk);
            }
            SetupResult result = run(disk, std::string(command) + kAnswerAndClose);
            SCOPED_TRACE(traceText(result));
            EXPECT_EQ(result.exitStatus, 0) << result.errors;
            EXPECT_TRUE(result.traced(box(IDS_RESTART, 36, 7)));
            for (unsigned stop : {IDS_UPDATE_INCOMPLETE, IDS_REGISTRY_FAILED,
                                  IDS_UNINSTALL_INCOMPLETE, IDS_NO_UNINSTALL}) {
                EXPECT_EQ(
                    indexOf(result, "MessageBoxA(0x1, " + emu::quoteForTrace(text(stop).c_str())),
                    -1)
                    << stop;
            }
        }
        if (row.outcome) {
            row.outcome(disk);
        }
        for (const std::string& key : row.deleted) {
            EXPECT_FALSE(hasDeviceKey(disk, key)) << key;
        }
        for (const std::string& key : row.kept) {
            EXPECT_TRUE(hasDeviceKey(disk, key)) << key;
        }
    }
}
