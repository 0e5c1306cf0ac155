// Whole sessions of the setup executable, one per scenario folder below
// scenarios/: the disk and the C: drive are copied to a temporary place, setup
// runs headless with the scenario's script on the virtual clock, and
// afterwards the C: drive must hold exactly the expected files with exactly
// the expected bytes, the disk must be as it was, and the trace and the exit
// status must be the expected ones.
#include "loader/ProgramResources.h"
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/Trace.h"
#include "resources/resource.h"
#include "tests/e2e/acceptance/Scenario.h"
#include "tests/e2e/acceptance/TextDiff.h"
#include "tests/support/CregOracle.h"
#include "tests/support/CregSamples.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using corvane_test::Scenario;
using corvane_test::TextDiff;

namespace {

const std::string kScenarios = std::string(CORVANE_TEST_DATA) + "/e2e/acceptance/scenarios";

void expectSameLines(const std::string& what, const std::vector<std::string>& expected,
                     const std::vector<std::string>& actual) {
    TextDiff diff(expected, actual);
    EXPECT_TRUE(diff.same()) << what << ", expected and actual:\n" << diff.text();
}

void expectSameFile(const std::string& what, const std::string& expectedPath,
                    const std::string& actualPath) {
    std::string expected = corvane_test::readHostFile(expectedPath);
    std::string actual = corvane_test::readHostFile(actualPath);
    if (expected == actual) {
        return;
    }
    bool binary =
        expected.find('\0') != std::string::npos || actual.find('\0') != std::string::npos;
    if (binary) {
        ADD_FAILURE() << what << " differs: " << expected.size() << " bytes expected, "
                      << actual.size() << " found";
        return;
    }
    expectSameLines(what, TextDiff::splitLines(expected), TextDiff::splitLines(actual));
}

// The tree below actualRoot holds the same files as the one below
// expectedRoot, byte for byte, and no other file.
void expectSameTree(const std::string& what, const std::string& expectedRoot,
                    const std::string& actualRoot) {
    std::vector<std::string> expected = corvane_test::listHostFiles(expectedRoot);
    std::vector<std::string> actual = corvane_test::listHostFiles(actualRoot);
    expectSameLines("the files of " + what, expected, actual);
    for (const std::string& file : expected) {
        if (std::find(actual.begin(), actual.end(), file) != actual.end()) {
            expectSameFile(what + " " + file, expectedRoot + "/" + file, actualRoot + "/" + file);
        }
    }
}

// What libcreg's cregexport prints for a binary registry file, less its
// first line (the tool's name and version).
std::string cregexport(const std::string& hostFile) {
    std::string command = std::string("'") + CORVANE_CREGEXPORT + "' '" + hostFile + "' 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "cannot run " + command;
    }
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    int status = pclose(pipe);
    if (status != 0) {
        output += "\nexit status " + std::to_string(status);
    }
    size_t banner = output.find('\n');
    return output.rfind("cregexport ", 0) == 0 && banner != std::string::npos
               ? output.substr(banner + 1)
               : output;
}

class Acceptance : public ::testing::TestWithParam<std::string> {};

TEST_P(Acceptance, SessionEndsAsExpected) {
    Scenario scenario(GetParam());
    corvane_test::TempDir work;
    corvane_test::copyHostTree(scenario.path("disk"), work / "disk");
    corvane_test::copyHostTree(scenario.path("c"), work / "c");

    corvane_test::SetupRun run;
    run.disk = work / "disk";
    run.cDrive = work / "c";
    run.script = scenario.script();
    run.extraArgs = scenario.extraArgs();
    corvane_test::SetupResult result = run.run();

    EXPECT_EQ(result.exitStatus, scenario.expectedStatus()) << result.errors;
    expectSameLines("the trace", scenario.expectedTrace(), result.trace);
    expectSameTree("C:", scenario.path("expected/c"), work / "c");
    // A binary registry is also read back by an independent reader.
    if (corvane_test::hostFileExists(scenario.path("expected/cregexport.txt"))) {
        expectSameLines("cregexport of SYSTEM.DAT",
                        TextDiff::splitLines(
                            corvane_test::readHostFile(scenario.path("expected/cregexport.txt"))),
                        TextDiff::splitLines(cregexport(work / "c/WINDOWS/SYSTEM.DAT")));
    }
    // The program never writes to its own disk.
    expectSameTree("the disk", scenario.path("disk"), work / "disk");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Acceptance, ::testing::ValuesIn(Scenario::findAll(kScenarios)),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return Scenario::testName(info.param);
                         });

// The install-system-dat session on a C: drive whose SYSTEM.DAT is as large
// as a used machine's, generated here rather than stored: the same trace and
// INF files, the four device keys gone and every other key as it was, read
// back by libcreg and sound by our own structure check.
TEST(AcceptanceGrownHive, InstallDeletesTheFourDeviceKeysFromALargeSystemDat) {
    Scenario scenario(kScenarios + "/install-system-dat");
    corvane_test::TempDir work;
    corvane_test::copyHostTree(scenario.path("disk"), work / "disk");
    corvane_test::copyHostTree(scenario.path("c"), work / "c");
    const corvane_test::CregBuilder hive = corvane_test::cregGrownHive(12000);
    const std::string original = hive.build();
    const std::string systemDat = work / "c/WINDOWS/SYSTEM.DAT";
    corvane_test::writeHostFile(systemDat, original);

    corvane_test::SetupRun run;
    run.disk = work / "disk";
    run.cDrive = work / "c";
    run.script = scenario.script();
    run.extraArgs = scenario.extraArgs();
    corvane_test::SetupResult result = run.run();

    EXPECT_EQ(result.exitStatus, scenario.expectedStatus()) << result.errors;
    expectSameLines("the trace", scenario.expectedTrace(), result.trace);
    expectSameLines("the files of C:", corvane_test::listHostFiles(scenario.path("expected/c")),
                    corvane_test::listHostFiles(work / "c"));
    for (const std::string& file : corvane_test::listHostFiles(scenario.path("expected/c"))) {
        if (file != "WINDOWS/SYSTEM.DAT") {
            expectSameFile("C: " + file, scenario.path("expected/c/" + file), work / "c/" + file);
        }
    }
    std::string after = corvane_test::readHostFile(systemDat);
    EXPECT_GT(original.size(), 2000000u);
    EXPECT_EQ(after.size(), original.size());
    auto findings = emu::kernel::checkCregFile(after);
    EXPECT_TRUE(findings.empty()) << findings.size() << " findings, the first: "
                                  << (findings.empty() ? "" : findings[0].what);
    auto theirs = corvane_test::CregOracle::listing(systemDat);
    ASSERT_TRUE(theirs.has_value());
    EXPECT_TRUE(*theirs ==
                hive.listing({"Enum\\PCI\\VEN_7E57&DEV_2301", "Enum\\PCI\\VEN_7E57&DEV_2302",
                              "Enum\\PCI\\VEN_7E57&DEV_23FF", "Enum\\PCI\\VEN_7E57&DEV_2303"}));
}

std::string messageText(unsigned id) {
    // The program's own string table, as its module carries it.
    loader::registerProgramResources();
    return emu::kernel::moduleString(id).value_or("");
}

// Every message the user can be shown is answered in some scenario, so every
// text is checked, as the user sees it, at least once.
TEST(AcceptanceSuite, ShowsEveryMessageOfTheStringTable) {
    std::vector<std::string> boxes;
    for (const std::string& folder : Scenario::findAll(kScenarios)) {
        for (const std::string& line : Scenario(folder).expectedTrace()) {
            if (line.rfind("MessageBoxA(", 0) == 0) {
                boxes.push_back(line);
            }
        }
    }
    for (unsigned id : {IDS_NO_LAYOUT, IDS_QUIT, IDS_FILES_MISSING, IDS_RESTART, IDS_NO_UNINSTALL,
                        IDS_REBOOT_FAILED, IDS_WIN95_ONLY, IDS_REGISTRY_FAILED}) {
        std::string quoted = ", " + emu::quoteForTrace(messageText(id).c_str()) + ", \"corvane\", ";
        bool shown = std::any_of(boxes.begin(), boxes.end(), [&](const std::string& line) {
            return line.find(quoted) != std::string::npos;
        });
        EXPECT_TRUE(shown) << "no scenario shows message " << id;
    }
}

} // namespace
