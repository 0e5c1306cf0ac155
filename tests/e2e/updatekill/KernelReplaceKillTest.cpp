// A crash at any step of a whole-file write leaves the old or the new file.
#include "platform/emu/kernel/CregCheck.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/win32.h"
#include "tests/e2e/updatekill/CrashChild.h"
#include "tests/support/CregOracle.h"
#include "tests/support/CregSamples.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using corvane_test::ChildEnding;
using corvane_test::TestMachine;

namespace {

constexpr int kMaxSteps = 2000;

// Larger than one copy chunk, so a copy writes its temporary in several steps.
std::string sourceText() {
    std::string text;
    while (text.size() < 100000) {
        text += "line " + std::to_string(text.size()) + " of the new content\r\n";
    }
    return text;
}

const char kOldText[] = "old content\r\n";
const char kOldIni[] = "[A]\r\na=1\r\n[B]\r\nb=2\r\n[C]\r\nc=3\r\n";

struct Row {
    const char* what;
    const char* target; // below C:\DATA
    std::function<void()> action;
    // Replacing an existing file names its temporary for the step before the
    // rename; a crash there must be seen, to see the clean-up work.
    bool namesTemporary;
    // A registry hive at C:\DATA\SYSTEM.DAT as HKEY_LOCAL_MACHINE.
    bool hive = false;
};

// A Windows 98 SYSTEM.DAT of 8 MB with the demo disk's device keys.
const std::string& windows98Hive() {
    static const std::string bytes =
        corvane_test::cregGrownHive(44000, emu::kernel::CregHabit::Windows98).build();
    return bytes;
}

// Both versions of a hive read as libcreg reads them, and are sound.
void expectSoundHive(const std::string& bytes) {
    corvane_test::TempDir dir;
    corvane_test::writeHostFile(dir / "SYSTEM.DAT", bytes);
    EXPECT_TRUE(corvane_test::CregOracle::listing(dir / "SYSTEM.DAT").has_value());
    EXPECT_TRUE(emu::kernel::checkCregFile(bytes).empty());
}

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {"CopyFileA over a file", "OLD.TXT",
         [] { CopyFileA("C:\\DATA\\SRC.TXT", "C:\\DATA\\OLD.TXT", FALSE); }, true},
        {"CopyFileA to a new name", "NEW.TXT",
         [] { CopyFileA("C:\\DATA\\SRC.TXT", "C:\\DATA\\NEW.TXT", FALSE); }, false},
        {"CopyFileA to a new name, failing if it exists", "NEW.TXT",
         [] { CopyFileA("C:\\DATA\\SRC.TXT", "C:\\DATA\\NEW.TXT", TRUE); }, false},
        {"WritePrivateProfileSectionA", "OLD.INI",
         [] { WritePrivateProfileSectionA("B", "b=2\0b=5\0d=4\0", "C:\\DATA\\OLD.INI"); }, true},
        {"DeleteFileA", "OLD.TXT", [] { DeleteFileA("C:\\DATA\\OLD.TXT"); }, false},
        {"RegDeleteKeyA on a Windows 98 hive of 8 MB", "SYSTEM.DAT",
         [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_7E57&DEV_2301"); }, true, true},
    };
    return table;
}

const std::vector<std::string> kDataFiles = {"OLD.INI", "OLD.TXT", "SRC.TXT"};

void prepare(TestMachine& machine, const Row& row) {
    machine.writeC("DATA/SRC.TXT", sourceText());
    machine.writeC("DATA/OLD.TXT", kOldText);
    machine.writeC("DATA/OLD.INI", kOldIni);
    if (row.hive) {
        machine.writeC("DATA/SYSTEM.DAT", windows98Hive());
        machine.config().registryFile = machine.onC("DATA/SYSTEM.DAT");
    }
}

std::optional<std::string> contentOf(const TestMachine& machine, const std::string& name) {
    if (!machine.existsOnC("DATA/" + name)) {
        return std::nullopt;
    }
    return machine.readC("DATA/" + name);
}

// The target as the action leaves it when nothing cuts it short.
std::optional<std::string> finalState(const Row& row) {
    TestMachine machine;
    prepare(machine, row);
    machine.boot();
    row.action();
    machine.shutdown();
    return contentOf(machine, row.target);
}

// The folder may hold the data files, the target and at most one kernel
// temporary; returns how many temporaries it holds.
int checkFolder(const TestMachine& machine, const Row& row) {
    int temporaries = 0;
    for (const std::string& name : corvane_test::folderEntries(machine.onC("DATA"))) {
        if (corvane_test::isKernelTemporary(name)) {
            ++temporaries;
            continue;
        }
        bool known = name == row.target ||
                     std::find(kDataFiles.begin(), kDataFiles.end(), name) != kDataFiles.end();
        EXPECT_TRUE(known) << row.what << ": stray file " << name;
    }
    EXPECT_LE(temporaries, 1) << row.what;
    return temporaries;
}

} // namespace

TEST(KernelReplaceKill, EveryCrashLeavesTheOldOrTheNewFile) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.what);
        std::optional<std::string> initial = [&] {
            TestMachine machine;
            prepare(machine, row);
            return contentOf(machine, row.target);
        }();
        std::optional<std::string> final = finalState(row);
        ASSERT_NE(initial, final) << "the action must change its target";
        if (row.hive) {
            // Every step below leaves one of the two, so both must be sound.
            ASSERT_TRUE(initial && final);
            expectSoundHive(*initial);
            expectSoundHive(*final);
        }

        bool reachedFinal = false;
        int temporariesLeft = 0;
        int steps = 1;
        for (; steps <= kMaxSteps; ++steps) {
            TestMachine machine;
            prepare(machine, row);
            machine.config().crashAfterFileSteps = steps;
            std::string detail;
            ChildEnding ending = corvane_test::runInChild(
                [&] {
                    machine.boot();
                    row.action();
                },
                detail);
            ASSERT_NE(ending, ChildEnding::Failed) << "step " << steps << ": " << detail;

            std::optional<std::string> now = contentOf(machine, row.target);
            ASSERT_TRUE(now == initial || now == final) << "torn target after step " << steps;
            EXPECT_FALSE(reachedFinal && now == initial) << "target went back at step " << steps;
            reachedFinal = reachedFinal || now == final;
            EXPECT_EQ(machine.readC("DATA/SRC.TXT"), sourceText());
            int temporaries = checkFolder(machine, row);
            temporariesLeft += temporaries;

            // The next whole-file write in the folder clears what the crash left.
            machine.config().crashAfterFileSteps = -1;
            machine.boot();
            ASSERT_TRUE(CopyFileA("C:\\DATA\\SRC.TXT", "C:\\DATA\\AFTER.TXT", FALSE));
            machine.shutdown();
            for (const std::string& name : corvane_test::folderEntries(machine.onC("DATA"))) {
                EXPECT_FALSE(corvane_test::isKernelTemporary(name))
                    << name << " left after the crash at step " << steps;
            }
            if (ending == ChildEnding::Completed) {
                EXPECT_EQ(now, final);
                EXPECT_EQ(temporaries, 0);
                break;
            }
            if (HasFailure()) {
                break;
            }
        }
        EXPECT_LE(steps, kMaxSteps) << "the action never completed";
        if (row.namesTemporary) {
            EXPECT_GT(temporariesLeft, 0);
        }
    }
}
