// setup --dry-run: what it reports against what the command really does on
// another copy of the same drive, and the unified diff it reports with.
#include "loader/author/UnifiedDiff.h"
#include "tests/support/CregSamples.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace corvane_test {
namespace {

namespace fs = std::filesystem;

struct DryRunResult {
    int status = -1;
    std::string output;
    std::string errors;
};

std::string demoFolder(const std::string& name) {
    return std::string(CORVANE_TEST_DATA) + "/../demo/" + name;
}

// Runs setup --dry-run in the folder disk with cDrive as C:.
DryRunResult dryRun(const TempDir& work, const std::string& disk, const std::string& cDrive,
                    const std::string& command) {
    std::string output = work / "dry-stdout.txt";
    std::string errors = work / "dry-stderr.txt";
    std::string line = "cd '" + disk + "' && '" + std::string(CORVANE_SETUP_EXE) + "' --drive C='" +
                       cDrive + "' --dry-run '" + command + "' >'" + output + "' 2>'" + errors +
                       "' </dev/null";
    int raw = std::system(line.c_str());
    DryRunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.output = readHostFile(output);
    result.errors = readHostFile(errors);
    return result;
}

// Every file below root with its bytes, by relative path.
std::map<std::string, std::string> treeFiles(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).generic_string()] =
                readHostFile(entry.path().string());
        }
    }
    return files;
}

std::string windowsName(const std::string& relative) {
    std::string name = "C:\\" + relative;
    for (char& c : name) {
        c = c == '/' ? '\\' : c;
    }
    return name;
}

// What a real session of the program does to cDrive: the command chosen
// with the keys, the restart question answered No.
void runForReal(const std::string& disk, const std::string& cDrive, const std::string& keys) {
    SetupRun run;
    run.disk = disk;
    run.cDrive = cDrive;
    run.script = "wait 300\n" + keys + "key enter\nkey n\nclose\n";
    SetupResult result = run.run();
    ASSERT_EQ(result.exitStatus, 0) << result.errors;
}

// The report of the dry run names every change the real run made to the
// files, as the same unified diff, and no other.
void expectReportMatches(const std::string& report,
                         const std::map<std::string, std::string>& before,
                         const std::map<std::string, std::string>& after) {
    int changes = 0;
    for (const auto& [name, text] : after) {
        auto old = before.find(name);
        if (name == "WINDOWS/SYSTEM.REG") {
            continue;
        }
        if (old == before.end()) {
            ++changes;
            EXPECT_NE(report.find("backup " + windowsName(name) + " (a copy of "),
                      std::string::npos)
                << name << "\n"
                << report;
        } else if (old->second != text) {
            ++changes;
            std::string diff = loader::author::UnifiedDiff::between(
                windowsName(name), windowsName(name), old->second, text);
            EXPECT_NE(report.find(diff), std::string::npos) << diff << "\nnot in\n" << report;
        }
    }
    for (const auto& [name, text] : before) {
        if (after.count(name) == 0) {
            ++changes;
            EXPECT_NE(report.find("remove " + windowsName(name) + "\n"), std::string::npos) << name;
        }
    }
    EXPECT_GT(changes, 0);
    // Nothing reported that did not happen: one line per backup or removal,
    // one "---" per changed file.
    size_t reported = 0;
    for (const char* start : {"\nbackup ", "\nremove ", "\nnew file ", "\n--- ", "\nchange "}) {
        for (size_t at = report.find(start); at != std::string::npos;
             at = report.find(start, at + 1)) {
            ++reported;
        }
    }
    EXPECT_EQ(reported, static_cast<size_t>(changes)) << report;
}

TEST(DryRun, InstallThenUninstallReportWhatTheRealCommandsThenDo) {
    TempDir work;
    copyHostTree(demoFolder("disk"), work / "disk");
    copyHostTree(demoFolder("c"), work / "c");
    const std::map<std::string, std::string> pristine = treeFiles(work / "c");

    struct Step {
        const char* command; // as given to --dry-run
        const char* keys;    // the same command chosen in a real session
        std::vector<std::string> keysDeleted;
        const char* message;
    };
    const Step steps[] = {
        {"Install QX-20 drivers",
         "",
         {"VEN_5A17&DEV_7110", "VEN_5A17&DEV_7111", "VEN_5A17&DEV_7112", "VEN_5A17&DEV_7113"},
         "message (question) \"This program has installed all the necessary update"},
        // The keys went with the install; uninstall finds none to delete.
        {"101", "key down\n", {}, "message (question) \"This program has installed"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        const std::map<std::string, std::string> before = treeFiles(work / "c");
        DryRunResult dry = dryRun(work, work / "disk", work / "c", step.command);
        ASSERT_EQ(dry.status, 0) << dry.errors << dry.output;
        EXPECT_EQ(dry.errors, "");
        EXPECT_EQ(treeFiles(work / "c"), before) << "the dry run changed the drive";

        runForReal(work / "disk", work / "c", step.keys);
        const std::map<std::string, std::string> after = treeFiles(work / "c");
        expectReportMatches(dry.output, before, after);

        const std::string& registryBefore = before.at("WINDOWS/SYSTEM.REG");
        const std::string& registryAfter = after.at("WINDOWS/SYSTEM.REG");
        size_t reportedKeys = 0;
        for (const std::string& key : step.keysDeleted) {
            std::string header = "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\" + key + "\\";
            EXPECT_NE(registryBefore.find(header), std::string::npos) << key;
            EXPECT_EQ(registryAfter.find(header), std::string::npos) << key;
            EXPECT_NE(dry.output.find("delete key HKEY_LOCAL_MACHINE\\Enum\\PCI\\" + key +
                                      " with 1 subkey\n"),
                      std::string::npos)
                << dry.output;
        }
        for (size_t at = dry.output.find("delete key "); at != std::string::npos;
             at = dry.output.find("delete key ", at + 1)) {
            ++reportedKeys;
        }
        EXPECT_EQ(reportedKeys, step.keysDeleted.size()) << dry.output;
        EXPECT_NE(dry.output.find(std::string(step.message)), std::string::npos) << dry.output;
        EXPECT_NE(dry.output.find("answered No\nthe command would succeed\n"), std::string::npos)
            << dry.output;
    }
    // Install and uninstall together give the drive back as it was, but for
    // the deleted keys.
    std::map<std::string, std::string> end = treeFiles(work / "c");
    end.erase("WINDOWS/SYSTEM.REG");
    std::map<std::string, std::string> start = pristine;
    start.erase("WINDOWS/SYSTEM.REG");
    EXPECT_EQ(end, start);
}

TEST(DryRun, CommandsThatWouldNotSucceedOrCannotRunSaySo) {
    TempDir work;
    copyHostTree(demoFolder("disk"), work / "disk");
    copyHostTree(demoFolder("c"), work / "c");
    fs::remove(work / "disk/USB.QTR");
    copyHostTree(demoFolder("disk"), work / "whole-disk");
    // One slip: the uninstall line of MSHDC.INF names MACHINE.INF as its backup.
    copyHostTree(demoFolder("disk"), work / "slip-disk");
    std::string layout = readHostFile(work / "slip-disk/layout.ini");
    layout.replace(layout.find("MSHDC.INF=MSHDC.QBK"), 19, "MSHDC.INF=MACHINE.INF");
    writeHostFile(work / "slip-disk/layout.ini", layout);
    struct Row {
        const char* disk;
        const char* command;
        int status;
        const char* output; // in stdout; empty: stdout is empty
        const char* errors; // in stderr; empty: stderr is empty
    };
    const Row rows[] = {
        {"whole-disk", "101", 4,
         "message (exclamation) \"There were no uninstall files exist.\\nUninstall function was "
         "unable to proceed.\" answered OK\nthe command would not succeed\n",
         ""},
        {"slip-disk", "101", 4,
         "refuse uninstall line [UNINSTALL] \"MSHDC.INF=MACHINE.INF\": the backup is a Windows "
         "INF file another line names\n",
         ""},
        {"whole-disk", "&Read me first", 0, "dry run of command 2 on a copy of drive C: (", ""},
        {"disk", "100", 4,
         "message (stop) \"This program couldn't proceed because of file or files missing.", ""},
        {"whole-disk", "Frobnicate", 2, "",
         "\"Frobnicate\" is neither a command number from 1 to 400 nor the text of an item"},
        {"whole-disk", "401", 2, "", "neither a command number from 1 to 400"},
    };
    const std::map<std::string, std::string> before = treeFiles(work / "c");
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.disk) + " " + row.command);
        DryRunResult dry = dryRun(work, work / row.disk, work / "c", row.command);
        EXPECT_EQ(dry.status, row.status);
        if (*row.output == '\0') {
            EXPECT_EQ(dry.output, "");
        } else {
            EXPECT_NE(dry.output.find(row.output), std::string::npos) << dry.output;
        }
        if (*row.errors == '\0') {
            EXPECT_EQ(dry.errors, "");
        } else {
            EXPECT_NE(dry.errors.find(row.errors), std::string::npos) << dry.errors;
        }
        // Nothing but the report: no backup, no diff, no key.
        EXPECT_EQ(dry.output.find("\nbackup "), std::string::npos);
        EXPECT_EQ(dry.output.find("\n--- "), std::string::npos);
        EXPECT_EQ(dry.output.find("delete key"), std::string::npos);
        EXPECT_EQ(treeFiles(work / "c"), before);
    }
    // A SYSTEM.DAT that does not read: the run says so, the install meets it
    // and stops, and the command would not succeed.
    copyHostTree(demoFolder("c"), work / "broken-c");
    std::string hive = readHostFile(demoFolder("SYSTEM.DAT"));
    hive[0x27] = '\x7F'; // the key tree's size, far past the end
    writeHostFile(work / "broken-c/WINDOWS/SYSTEM.DAT", hive);
    const std::map<std::string, std::string> broken = treeFiles(work / "broken-c");
    DryRunResult dry = dryRun(work, work / "whole-disk", work / "broken-c", "100");
    EXPECT_EQ(dry.status, 4);
    EXPECT_NE(dry.output.find("the registry cannot be read: "), std::string::npos) << dry.output;
    EXPECT_NE(dry.output.find("message (stop) \"The Windows registry could not be changed"),
              std::string::npos)
        << dry.output;
    EXPECT_EQ(dry.output.find("Restart now?"), std::string::npos) << dry.output;
    EXPECT_NE(dry.output.find("the command would not succeed\n"), std::string::npos);
    EXPECT_NE(dry.errors.find("SYSTEM.DAT: the key tree's size"), std::string::npos) << dry.errors;
    EXPECT_EQ(treeFiles(work / "broken-c"), broken);
}

// The install merges the sections of the release the registry records, and
// the report names it: an OSR2 SYSTEM.DAT selects [950B], whose fragment
// alone adds the host bridge; a Windows 98 SE SYSTEM.REG selects [950A].
TEST(DryRun, TheReleaseInTheRegistrySelectsTheInstallSections) {
    const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion";
    CregBuilder osr2 = cregDemoHive();
    osr2.addKey(key, {CregBuilder::string("VersionNumber", "4.00.1111"),
                      CregBuilder::string("SubVersionNumber", " B")});
    struct Row {
        const char* what;
        const char* file; // in C:\WINDOWS
        std::string registry;
        const char* release;
        bool bridge; // the later release's fragment is merged
    };
    const Row rows[] = {
        {"OSR2", "SYSTEM.DAT", osr2.build(),
         "release: Windows 95 OSR2, service-pack text \" B\": sections COMMON, 950B\n", true},
        {"98 SE", "SYSTEM.REG",
         readHostFile(demoFolder("c/WINDOWS/SYSTEM.REG")) + "\r\n[HKEY_LOCAL_MACHINE\\" + key +
             "]\r\n\"VersionNumber\"=\"4.10.2222\"\r\n\"SubVersionNumber\"=\" A \"\r\n",
         "release: Windows 98 SE, service-pack text \" A \": sections COMMON, 950A\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir work;
        copyHostTree(demoFolder("disk"), work / "disk");
        copyHostTree(demoFolder("c"), work / "c");
        writeHostFile(work / "c/WINDOWS/" + row.file, row.registry);
        const std::map<std::string, std::string> before = treeFiles(work / "c");
        DryRunResult dry = dryRun(work, work / "disk", work / "c", "100");
        EXPECT_EQ(dry.status, 0) << dry.errors << dry.output;
        EXPECT_NE(dry.output.find(row.release), std::string::npos) << dry.output;
        EXPECT_EQ(dry.output.find("+%PCI\\VEN_5A17&DEV_7190.DeviceDesc%") != std::string::npos,
                  row.bridge)
            << dry.output;
        EXPECT_NE(dry.output.find("--- C:\\WINDOWS\\INF\\MACHINE.INF"), std::string::npos)
            << dry.output;
        EXPECT_EQ(treeFiles(work / "c"), before);
    }
}

TEST(DryRun, UnifiedDiffAgreesWithDiffU) {
    struct Row {
        const char* before;
        const char* after;
    };
    const Row rows[] = {
        {"a\nb\nc\n", "a\nb\nc\n"},
        {"a\nb\nc\n", "a\nb\nc\nd\ne\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n", "1\n2\nX\n4\n5\n6\n7\n8\n9\n10\nY\n12\n"},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n",
         "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n15\n"},
        {"[S]\r\nk=v\r\n", "[S]\r\nk=v\r\nn=w\r\n"},
        {"a\nb", "a\nb\nc\n"},
        {"a\nb\n", "a\nb\nc"},
        {"", "x\n"},
        {"x\ny\n", ""},
        {"a\nb\nc\nd\n", "a\nc\nd\nb\n"},
    };
    TempDir work;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.before) + "|" + row.after);
        writeHostFile(work / "before", row.before);
        writeHostFile(work / "after", row.after);
        std::string command =
            "cd '" + work.path() + "' && diff -u --label B --label A before after > diff.txt";
        int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        std::string expected = readHostFile(work / "diff.txt");
        EXPECT_EQ(WEXITSTATUS(raw), expected.empty() ? 0 : 1);
        EXPECT_EQ(loader::author::UnifiedDiff::between("B", "A", row.before, row.after), expected);
    }
}

} // namespace
} // namespace corvane_test
