// A crash at any step of a whole-file write leaves the old or the new file.
#include "platform/win32.h"
#include "tests/e2e/updatekill/CrashChild.h"
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
};

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
    };
    return table;
}

const std::vector<std::string> kDataFiles = {"OLD.INI", "OLD.TXT", "SRC.TXT"};

void prepare(TestMachine& machine) {
    machine.writeC("DATA/SRC.TXT", sourceText());
    machine.writeC("DATA/OLD.TXT", kOldText);
    machine.writeC("DATA/OLD.INI", kOldIni);
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
    prepare(machine);
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
            prepare(machine);
            return contentOf(machine, row.target);
        }();
        std::optional<std::string> final = finalState(row);
        ASSERT_NE(initial, final) << "the action must change its target";

        bool reachedFinal = false;
        int temporariesLeft = 0;
        int steps = 1;
        for (; steps <= kMaxSteps; ++steps) {
            TestMachine machine;
            prepare(machine);
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
