// A crash at any step of a whole-file write leaves the old or the new file;
// so does one at any step of the registry hive's write in place, once the
// next start has rolled back what it cut short.
#include "platform/emu/hostsupport/UndoJournal.h"
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
#include <stdexcept>
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

// Both versions of a hive read as libcreg reads them, and are sound; the
// tree libcreg reads.
std::vector<std::string> expectSoundHive(const std::string& bytes) {
    corvane_test::TempDir dir;
    corvane_test::writeHostFile(dir / "SYSTEM.DAT", bytes);
    auto listing = corvane_test::CregOracle::listing(dir / "SYSTEM.DAT");
    EXPECT_TRUE(listing.has_value());
    EXPECT_TRUE(emu::kernel::checkCregFile(bytes).empty());
    return listing.value_or(std::vector<std::string>{});
}

bool isJournal(const std::string& name) {
    return name == std::string("SYSTEM.DAT") + emu::hostsupport::UndoJournal::kSuffix;
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
         [] { RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_7E57&DEV_2301"); }, false, true},
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
// temporary (or the hive's journal); returns how many temporaries it holds,
// and whether the journal is there.
int checkFolder(const TestMachine& machine, const Row& row, bool& journal) {
    int temporaries = 0;
    journal = false;
    for (const std::string& name : corvane_test::folderEntries(machine.onC("DATA"))) {
        if (corvane_test::isKernelTemporary(name)) {
            ++temporaries;
            continue;
        }
        if (row.hive && isJournal(name)) {
            journal = true;
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
        std::vector<std::string> initialTree;
        std::vector<std::string> finalTree;
        if (row.hive) {
            // Every step below leaves one of the two, so both must be sound.
            ASSERT_TRUE(initial && final);
            initialTree = expectSoundHive(*initial);
            finalTree = expectSoundHive(*final);
            ASSERT_NE(initialTree, finalTree);
        }

        bool reachedFinal = false;
        int temporariesLeft = 0;
        int journalsLeft = 0;
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

            bool journal = false;
            int temporaries = checkFolder(machine, row, journal);
            temporariesLeft += temporaries;
            journalsLeft += journal;

            // The next run's start rolls back a change to the hive cut short,
            // and says so; its next whole-file write in the folder clears
            // what the crash left.
            machine.config().crashAfterFileSteps = -1;
            testing::internal::CaptureStderr();
            machine.boot();
            std::string said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(said.find("a change cut short was undone") != std::string::npos, journal)
                << said;
            std::optional<std::string> now = contentOf(machine, row.target);
            ASSERT_TRUE(now == initial || now == final) << "torn target after step " << steps;
            EXPECT_FALSE(reachedFinal && now == initial) << "target went back at step " << steps;
            reachedFinal = reachedFinal || now == final;
            if (row.hive && journal) {
                auto tree = corvane_test::CregOracle::listing(machine.onC("DATA/SYSTEM.DAT"));
                ASSERT_TRUE(tree.has_value()) << "libcreg cannot read it after step " << steps;
                EXPECT_TRUE(*tree == initialTree || *tree == finalTree);
            }
            EXPECT_EQ(machine.readC("DATA/SRC.TXT"), sourceText());
            ASSERT_TRUE(CopyFileA("C:\\DATA\\SRC.TXT", "C:\\DATA\\AFTER.TXT", FALSE));
            machine.shutdown();
            for (const std::string& name : corvane_test::folderEntries(machine.onC("DATA"))) {
                EXPECT_FALSE(corvane_test::isKernelTemporary(name) || isJournal(name))
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
        if (row.hive) {
            // The hive is written in place: the crashes landed between its
            // journal's seal and its removal.
            EXPECT_GT(journalsLeft, 0);
        }
    }
}

// Two runs deleting a key each from one hive at once, one of them killed at
// a step: the other's deletion always lands, the killed one's whole or not at
// all, and libcreg reads the file after the next start. A hive of 3,000 keys
// with Windows 98's habits: the runs meet at each step all the same.
TEST(KernelReplaceKill, TwoRunsDeletingFromOneHiveWithOneKilled) {
    const char* killedKey = "Enum\\PCI\\VEN_7E57&DEV_2301";
    const char* otherKey = "Enum\\PCI\\VEN_7E57&DEV_2302";
    const std::string hive =
        corvane_test::cregGrownHive(3000, emu::kernel::CregHabit::Windows98).build();
    auto prepareHive = [&hive](TestMachine& machine) {
        machine.writeC("DATA/SYSTEM.DAT", hive);
        machine.config().registryFile = machine.onC("DATA/SYSTEM.DAT");
    };
    auto treeAfter = [&](const std::vector<const char*>& keys) {
        TestMachine machine;
        prepareHive(machine);
        machine.boot();
        for (const char* key : keys) {
            EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS) << key;
        }
        machine.shutdown();
        return corvane_test::CregOracle::listing(machine.onC("DATA/SYSTEM.DAT"));
    };
    const auto otherOnly = treeAfter({otherKey});
    const auto both = treeAfter({otherKey, killedKey});
    ASSERT_TRUE(otherOnly && both && *otherOnly != *both);

    int steps = 1;
    for (; steps <= kMaxSteps; ++steps) {
        SCOPED_TRACE("the killed run ends after step " + std::to_string(steps));
        TestMachine machine;
        prepareHive(machine);
        auto run = [&machine](const char* key, int crashAfter) {
            return corvane_test::startChild([&machine, key, crashAfter] {
                machine.config().crashAfterFileSteps = crashAfter;
                machine.boot();
                if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) {
                    throw std::runtime_error(std::string("RegDeleteKeyA failed on ") + key);
                }
            });
        };
        pid_t killed = run(killedKey, steps);
        pid_t other = run(otherKey, -1);
        std::string detail;
        ChildEnding killedEnding = corvane_test::waitForChild(killed, detail);
        ASSERT_NE(killedEnding, ChildEnding::Failed) << detail;
        ASSERT_EQ(corvane_test::waitForChild(other, detail), ChildEnding::Completed) << detail;

        machine.boot();
        machine.shutdown();
        auto tree = corvane_test::CregOracle::listing(machine.onC("DATA/SYSTEM.DAT"));
        ASSERT_TRUE(tree.has_value());
        EXPECT_TRUE(*tree == *otherOnly || *tree == *both);
        if (killedEnding == ChildEnding::Completed) {
            EXPECT_EQ(*tree, *both);
            break;
        }
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_LE(steps, kMaxSteps) << "the killed run never completed";
}
