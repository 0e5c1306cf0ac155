// A driver disk whose fragment and target INF file are written in code page
// 950 (Traditional Chinese), run through the real setup with --codepage 950:
// section names whose trail bytes are '[', ']' and '\\', values whose trail
// bytes are '\\'. The disk check is clean, the install keeps every line of
// the target and adds the fragment's lines exactly (the program's merge check
// passes it, or it would say so), and the uninstall puts the file back byte
// for byte.
#include "platform/emu/hostsupport/HostTool.h"
#include "tests/support/DoubleByteInf.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/WindowsInstallation.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace corvane_test {
namespace {

const std::string kDemo = std::string(CORVANE_TEST_DATA) + "/../demo";
// Install (or uninstall), say No to the restart question, close the window.
const char kInstall[] = "wait 300\nkey enter\nkey n\nclose\n";
const char kUninstall[] = "wait 300\nkey down\nkey enter\nkey n\nclose\n";

const DoubleByteInf kBig5 = doubleByteInf(950);

// The demo disk with the double-byte fragment as MSHDC.INF's and a caption
// and menu item in its code page.
void makeDisk(const std::string& folder, const DoubleByteInf& inf = kBig5) {
    copyHostTree(kDemo + "/disk", folder);
    std::string layout = readHostFile(folder + "/layout.ini");
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"CAPTION=QX-20 Chipset Driver Disk",
                                              "CAPTION=" + inf.caption},
          {"1=Install QX-20 drivers,100,", "1=" + inf.menuItem + ",100,"}}) {
        size_t at = layout.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        layout.replace(at, from.size(), to);
    }
    writeHostFile(folder + "/layout.ini", layout);
    writeHostFile(folder + "/MSHDC.QTR", inf.fragment);
}

// A run of the real setup in the disk folder with code page 950.
SetupResult run950(const std::string& disk, const std::string& c, const std::string& script,
                   std::vector<std::string> args = {}) {
    SetupRun run;
    run.disk = disk;
    run.cDrive = c;
    run.script = script;
    run.extraArgs = std::move(args);
    run.extraArgs.push_back("--codepage");
    run.extraArgs.push_back("950");
    return run.run();
}

TEST(DoubleByteInstall, A950FragmentMergesIntoA950InfFileAndComesOutAgain) {
    TempDir work;
    const std::string disk = work / "disk";
    const std::string c = work / "c";
    makeDisk(disk);
    copyHostTree(kDemo + "/c", c);
    const std::string target = c + "/WINDOWS/INF/MSHDC.INF";
    writeHostFile(target, kBig5.target);

    SetupResult checked = run950(disk, c, "", {"--check"});
    EXPECT_EQ(checked.exitStatus, 0) << checked.output << checked.errors;
    EXPECT_NE(checked.output.find("check: 0 errors, 0 warnings\n"), std::string::npos)
        << checked.output;
    EXPECT_EQ(checked.errors, "");

    SetupResult installed = run950(disk, c, kInstall);
    EXPECT_EQ(installed.exitStatus, 0) << installed.errors;
    // Only the restart question: a merge the check refused would say so.
    EXPECT_EQ(installed.calls("MessageBoxA(").size(), 1u);
    EXPECT_EQ(readHostFile(target), kBig5.merged);
    EXPECT_EQ(readHostFile(c + "/WINDOWS/INF/MSHDC.QBK"), kBig5.target);

    SetupResult removed = run950(disk, c, kUninstall);
    EXPECT_EQ(removed.exitStatus, 0) << removed.errors;
    EXPECT_EQ(readHostFile(target), kBig5.target);

    // An installation whose registry records code page 950 runs with it
    // whatever --codepage says, and the run says so.
    const std::string registry = c + "/WINDOWS/SYSTEM.REG";
    writeHostFile(registry, readHostFile(registry) +
                                "\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\"
                                "CodePage]\r\n\"ACP\"=\"950\"\r\n\"OEMCP\"=\"950\"\r\n");
    SetupRun western;
    western.disk = disk;
    western.cDrive = c;
    western.extraArgs = {"--check", "--codepage", "1252"};
    SetupResult recorded = western.run();
    EXPECT_EQ(recorded.exitStatus, 0) << recorded.output << recorded.errors;
    // The install deleted the device keys: only their warnings remain.
    EXPECT_NE(recorded.output.find("check: 0 errors, 4 warnings\n"), std::string::npos)
        << recorded.output;
    EXPECT_NE(recorded.errors.find("--codepage 1252 is not used: the installation's registry "
                                   "records code page 950"),
              std::string::npos)
        << recorded.errors;
}

struct Edition {
    unsigned codePage;
    const char* release;
    bool image;
    const char* doubleByteFile; // its name in UTF-8, as mtools reads it in the code page
};

// The Japanese, Chinese and Korean editions, each of a release of its own
// (FAT16 and FAT32 images), as a folder and as an image.
const Edition kEditions[] = {
    {932, "Windows 95", false, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.TXT"}, // ソフト
    {932, "Windows 95", true, "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.TXT"},
    {936, "Windows 98", false, "\xE8\xBD\xAF\xE5\x84\x84\xE4\xB9\x97.TXT"}, // 软億乗
    {936, "Windows 98", true, "\xE8\xBD\xAF\xE5\x84\x84\xE4\xB9\x97.TXT"},
    {949, "Windows 95 OSR2", false, "\xED\x95\x9C\xEA\xB8\x80.TXT"}, // 한글
    {949, "Windows 95 OSR2", true, "\xED\x95\x9C\xEA\xB8\x80.TXT"},
    {950, "Windows ME", false, "\xE5\x8A\x9F\xE8\x83\xBD.TXT"}, // 功能
    {950, "Windows ME", true, "\xE5\x8A\x9F\xE8\x83\xBD.TXT"},
};

void PrintTo(const Edition& row, std::ostream* out) {
    *out << row.release << " in code page " << row.codePage
         << (row.image ? " on a disk image" : " on a folder");
}

// The double-byte file's bytes as the drive holds them: in an image, read
// by mtools in the code page under its name's Unicode spelling, which finds
// it only when the directory entry holds the name in that code page; empty
// when it is not there.
std::string doubleByteBytes(const Edition& row, const WindowsInstallation& installation,
                            const FatImage* image, const std::string& folder) {
    if (image == nullptr) {
        std::string path = folder + "/" + installation.doubleByteFile();
        return hostFileExists(path) ? readHostFile(path) : "";
    }
    emu::hostsupport::ToolResult read = emu::hostsupport::HostTool::run(
        {"mtype", "-i", image->path + "@@" + std::to_string(image->offset),
         std::string("::/WINDOWS/INF/") + row.doubleByteFile},
        static_cast<int>(row.codePage));
    return read.succeeded() ? read.output : "";
}

// fsck.fat -n finds the volume clean, or finds fault only with the
// double-byte short name whose trail byte is '\\' or '|' (once, and the
// code page has such trail bytes: not 949).
void expectCleanButForTheTrailByte(const FatImage& image, unsigned codePage) {
    std::string report = image.fsckReport();
    if (codePage == 949) {
        EXPECT_EQ(report, "");
        return;
    }
    int complaints = 0;
    size_t start = 0;
    while (start < report.size()) {
        size_t end = report.find('\n', start);
        std::string line = report.substr(start, end - start);
        start = end == std::string::npos ? report.size() : end + 1;
        complaints += line.rfind("  Bad short file name (", 0) == 0 ? 1 : 0;
        bool accepted =
            line.empty() || line.rfind("fsck.fat ", 0) == 0 ||
            line.rfind("/WINDOWS/INF/", 0) == 0 || line.rfind("  Bad short file name (", 0) == 0 ||
            line == "  Auto-renaming it." || line.rfind("  Renamed to ", 0) == 0 ||
            line == "Leaving filesystem unchanged." ||
            (line.find(": ") != std::string::npos && line.find(" files, ") != std::string::npos);
        EXPECT_TRUE(accepted) << line << "\nin\n" << report;
    }
    EXPECT_EQ(complaints, 1) << report;
}

class Editions : public ::testing::TestWithParam<Edition> {};

TEST_P(Editions, InstallThenUninstallKeepTheDoubleByteLinesAndNames) {
    const Edition& row = GetParam();
    const WindowsInstallation installation(windowsRelease(row.release), row.codePage);
    const DoubleByteInf inf = doubleByteInf(row.codePage);
    TempDir work;
    makeDisk(work / "disk", inf);
    std::unique_ptr<FatImage> image;
    std::string c = work / "c";
    if (row.image) {
        image = std::make_unique<FatImage>(installation.writeImage(work / "c.img"));
        c = image->driveValue;
    } else {
        installation.writeFolder(c);
    }
    auto infFiles = [&] {
        std::map<std::string, std::string> files;
        std::map<std::string, std::string> all;
        if (image) {
            all = image->files();
        }
        for (const std::string& path : installation.infFiles()) {
            files[path] = image ? all[path] : readHostFile(work / "c/" + path);
        }
        return files;
    };
    auto expectDoubleByteFileAsItWas = [&] {
        for (const WindowsInstallation::File& file : installation.files()) {
            if (file.path == installation.doubleByteFile()) {
                EXPECT_TRUE(doubleByteBytes(row, installation, image.get(), work / "c") ==
                            file.bytes)
                    << row.doubleByteFile << " is not as it was";
            }
        }
        if (image) {
            EXPECT_EQ(image->shortNameCount(installation.doubleByteShortName()), 1);
            expectCleanButForTheTrailByte(*image, row.codePage);
        }
    };
    const std::map<std::string, std::string> before = infFiles();
    ASSERT_EQ(before.at("WINDOWS/INF/MSHDC.INF"), inf.target);
    expectDoubleByteFileAsItWas();

    SetupRun install;
    install.disk = work / "disk";
    install.cDrive = c;
    install.script = kInstall;
    SetupResult installed = install.run();
    EXPECT_EQ(installed.exitStatus, 0) << installed.errors;
    // Only the restart question: a merge the check refused would say so.
    EXPECT_EQ(installed.calls("MessageBoxA(").size(), 1u) << installed.errors;
    std::map<std::string, std::string> afterInstall = infFiles();
    EXPECT_EQ(afterInstall.at("WINDOWS/INF/MSHDC.INF"), inf.merged);
    for (const char* untouched : {"WINDOWS/INF/KEYBOARD.INF", "WINDOWS/INF/MONITOR.INF",
                                  "WINDOWS/INF/OEM0.INF", "WINDOWS/INF/OTHER/ArdelleAR220.INF"}) {
        EXPECT_TRUE(afterInstall.at(untouched) == before.at(untouched)) << untouched;
    }
    expectDoubleByteFileAsItWas();

    SetupRun uninstall = install;
    uninstall.script = kUninstall;
    SetupResult removed = uninstall.run();
    EXPECT_EQ(removed.exitStatus, 0) << removed.errors;
    EXPECT_EQ(removed.calls("MessageBoxA(").size(), 1u) << removed.errors;
    const std::map<std::string, std::string> afterUninstall = infFiles();
    for (const auto& [path, bytes] : before) {
        EXPECT_TRUE(afterUninstall.at(path) == bytes) << path << " is not as it was";
    }
    expectDoubleByteFileAsItWas();
}

std::string editionName(const ::testing::TestParamInfo<Edition>& info) {
    return "CodePage" + std::to_string(info.param.codePage) +
           (info.param.image ? "Image" : "Folder");
}

INSTANTIATE_TEST_SUITE_P(EveryDoubleByteEdition, Editions, ::testing::ValuesIn(kEditions),
                         editionName);

} // namespace
} // namespace corvane_test
