// A driver disk whose fragment and target INF file are written in code page
// 950 (Traditional Chinese), run through the real setup with --codepage 950:
// section names whose trail bytes are '[', ']' and '\\', values whose trail
// bytes are '\\'. The disk check is clean, the install keeps every line of
// the target and adds the fragment's lines exactly (the program's merge check
// passes it, or it would say so), and the uninstall puts the file back byte
// for byte.
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane_test {
namespace {

const std::string kDemo = std::string(CORVANE_TEST_DATA) + "/../demo";
// Install (or uninstall), say No to the restart question, close the window.
const char kInstall[] = "wait 300\nkey enter\nkey n\nclose\n";
const char kUninstall[] = "wait 300\nkey down\nkey enter\nkey n\nclose\n";

// Big5 words: 0xA55C (trail '\\'), 0xA55B (trail '['), 0xA55D (trail ']'),
// 0xB35C (trail '\\').
// clang-format off
#define GONG "\xA5\x5C"   // "work"
#define NENG "\xAF\xE0"   // "ability"
#define JIA "\xA5\x5B"    // "add"
#define BAO "\xA5\x5D"    // "wrap"
#define XU "\xB3\x5C"     // "allow"
#define KE "\xA5\x69"     // "may"
#define ZHUANG "\xB8\xCB" // "fit"
#define ZHI "\xB8\x6D"    // "set"
#define PI "\xA5\x41"     // "great", trail 'A'
#define QIAN "\xA5\x61"   // "thousand", trail 'a'


// The installation's own INF file: an ASCII part, a section named in Big5,
// one whose name holds '[' and ']' as trail bytes, with a comment between,
// two whose names differ only after a trail byte ']' (read byte by byte both
// end there), two whose names differ only in a trail byte 'A' or 'a' (folded
// byte by byte they are one name), and an empty one at the end whose name
// ends in a trail byte '\\'.
const char kTarget[] =
    "; Fenwick FX-7 " ZHUANG ZHI "\r\n"
    "[Version]\r\n"
    "Signature=\"$CHICAGO$\"\r\n"
    "Class=System\r\n"
    "\r\n"
    "[" GONG NENG "]\r\n"
    "PCI\\VEN_6B21&DEV_0410=" XU KE "\r\n"
    "; " GONG "\r\n"
    "[" JIA BAO "]\r\n"
    GONG "=" GONG "\r\n"
    "\r\n"
    "[" BAO "X]\r\n"
    "x=1\r\n"
    "[" BAO "Y]\r\n"
    "y=1\r\n"
    "[" PI "]\r\n"
    "p=1\r\n"
    "[" QIAN "]\r\n"
    "q=1\r\n"
    "[Strings]\r\n"
    "Fenwick=\"Fenwick " ZHUANG ZHI "\"\r\n"
    "[" ZHUANG GONG "]\r\n";

// The fragment: lines for the Big5 sections, the second of each pair among
// them, and values with trail bytes '\\' beside a plain '\\'.
const char kFragment[] =
    "; Fenwick FX-7: " JIA "\r\n"
    "[" GONG NENG "]\r\n"
    "PCI\\VEN_6B21&DEV_0411=" XU "\r\n"
    "[" JIA BAO "]\r\n"
    BAO "=" JIA "\\" XU "\r\n"
    "[" BAO "Y]\r\n"
    "y=2\r\n"
    "[" QIAN "]\r\n"
    "q=2\r\n"
    "[" ZHUANG GONG "]\r\n"
    "HKR,," GONG ",," XU "\r\n";

// The target after the install: each section's new lines after its last data
// line, every other byte as it was.
const char kMerged[] =
    "; Fenwick FX-7 " ZHUANG ZHI "\r\n"
    "[Version]\r\n"
    "Signature=\"$CHICAGO$\"\r\n"
    "Class=System\r\n"
    "\r\n"
    "[" GONG NENG "]\r\n"
    "PCI\\VEN_6B21&DEV_0410=" XU KE "\r\n"
    "PCI\\VEN_6B21&DEV_0411=" XU "\r\n"
    "; " GONG "\r\n"
    "[" JIA BAO "]\r\n"
    GONG "=" GONG "\r\n"
    BAO "=" JIA "\\" XU "\r\n"
    "\r\n"
    "[" BAO "X]\r\n"
    "x=1\r\n"
    "[" BAO "Y]\r\n"
    "y=1\r\n"
    "y=2\r\n"
    "[" PI "]\r\n"
    "p=1\r\n"
    "[" QIAN "]\r\n"
    "q=1\r\n"
    "q=2\r\n"
    "[Strings]\r\n"
    "Fenwick=\"Fenwick " ZHUANG ZHI "\"\r\n"
    "[" ZHUANG GONG "]\r\n"
    "HKR,," GONG ",," XU "\r\n";
// clang-format on

// The demo disk with the double-byte fragment as MSHDC.INF's and a caption
// and menu item in Big5.
void makeDisk(const std::string& folder) {
    copyHostTree(kDemo + "/disk", folder);
    std::string layout = readHostFile(folder + "/layout.ini");
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"CAPTION=QX-20 Chipset Driver Disk",
                                              "CAPTION=FX-7 " ZHUANG ZHI},
          {"1=Install QX-20 drivers,100,", "1=" ZHUANG ZHI " " GONG NENG ",100,"}}) {
        size_t at = layout.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        layout.replace(at, from.size(), to);
    }
    writeHostFile(folder + "/layout.ini", layout);
    writeHostFile(folder + "/MSHDC.QTR", kFragment);
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
    writeHostFile(target, kTarget);

    SetupResult checked = run950(disk, c, "", {"--check"});
    EXPECT_EQ(checked.exitStatus, 0) << checked.output << checked.errors;
    EXPECT_NE(checked.output.find("check: 0 errors, 0 warnings\n"), std::string::npos)
        << checked.output;

    SetupResult installed = run950(disk, c, kInstall);
    EXPECT_EQ(installed.exitStatus, 0) << installed.errors;
    // Only the restart question: a merge the check refused would say so.
    EXPECT_EQ(installed.calls("MessageBoxA(").size(), 1u);
    EXPECT_EQ(readHostFile(target), kMerged);
    EXPECT_EQ(readHostFile(c + "/WINDOWS/INF/MSHDC.QBK"), kTarget);

    SetupResult removed = run950(disk, c, kUninstall);
    EXPECT_EQ(removed.exitStatus, 0) << removed.errors;
    EXPECT_EQ(readHostFile(target), kTarget);
}

} // namespace
} // namespace corvane_test
