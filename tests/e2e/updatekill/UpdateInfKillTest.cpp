// An install cut short at any file step leaves every Windows INF file as it
// was or as merged by one of its entries, every backup absent or whole, and
// nothing a next install could not clear up.
#include "tests/e2e/updatekill/CrashChild.h"
#include "tests/support/TestMachine.h"
#include "update/CUpdateInf.h"
#include "update/CUpdateLock.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using corvane_test::ChildEnding;
using corvane_test::TestMachine;

namespace {

constexpr int kMaxSteps = 2000;
using State = std::optional<std::string>; // nullopt: the file does not exist

const char kAlphaInf[] = "; Disk controllers\r\n"
                         "[Version]\r\n"
                         "Signature=\"$CHICAGO$\"\r\n"
                         "Class=hdc\r\n"
                         "\r\n"
                         "[Manufacturer]\r\n"
                         "%Std%=Std\r\n"
                         "\r\n"
                         "[Std]\r\n"
                         "%PCI\\VEN_1A2B&DEV_0001.Desc%=stdide,PCI\\VEN_1A2B&DEV_0001\r\n"
                         "\r\n"
                         "[Strings]\r\n"
                         "Std=\"Standard controllers\"\r\n"
                         "PCI\\VEN_1A2B&DEV_0001.Desc=\"Standard Dual IDE Controller\"\r\n";

const char kAlphaFragment[] = "[Manufacturer]\r\n"
                              "%Corvel%=Corvel\r\n"
                              "[Corvel]\r\n"
                              "%PCI\\VEN_7C5E&DEV_0A11.Desc%=corvide,PCI\\VEN_7C5E&DEV_0A11\r\n"
                              "%PCI\\VEN_7C5E&DEV_0A12.Desc%=corvide,PCI\\VEN_7C5E&DEV_0A12\r\n"
                              "[Strings]\r\n"
                              "Corvel=\"Corvel Microsystems\"\r\n"
                              "PCI\\VEN_7C5E&DEV_0A11.Desc=\"Corvel QX1 IDE Controller\"\r\n";

// A second entry for the same Windows INF file and the same backup.
const char kAlphaSecondFragment[] = "[Strings]\r\n"
                                    "Corvel=\"Corvel Microsystems\"\r\n"
                                    "PCI\\VEN_7C5E&DEV_0A12.Desc=\"Corvel QX2 IDE Controller\"\r\n"
                                    "[corvide.AddReg]\r\n"
                                    "HKR,,DevLoader,,*ios\r\n";

const char kBetaInf[] = "[Version]\r\n"
                        "Signature=\"$CHICAGO$\"\r\n"
                        "Class=USB\r\n"
                        "[ControlFlags]\r\n"
                        "ExcludeFromSelect=*\r\n";

const char kBetaFragment[] = "[ControlFlags]\r\n"
                             "ExcludeFromSelect=PCI\\VEN_7C5E&DEV_0C01\r\n"
                             "[Corvel.USB]\r\n"
                             "%USB.Desc%=corvusb,PCI\\VEN_7C5E&DEV_0C01\r\n"
                             "[Strings]\r\n"
                             "USB.Desc=\"Corvel Universal Serial Bus Controller\"\r\n";

// The Windows INF file of this one is missing before the install.
const char kGammaFragment[] = "[Version]\r\n"
                              "Signature=\"$CHICAGO$\"\r\n"
                              "Class=System\r\n"
                              "[Corvel.Bridge]\r\n"
                              "%PCI\\VEN_7C5E&DEV_0B01.Desc%=nodriver,PCI\\VEN_7C5E&DEV_0B01\r\n"
                              "%PCI\\VEN_7C5E&DEV_0B02.Desc%=nodriver,PCI\\VEN_7C5E&DEV_0B02\r\n"
                              "[Strings]\r\n"
                              "PCI\\VEN_7C5E&DEV_0B01.Desc=\"Corvel QX PCI Bridge\"\r\n";

struct Entry {
    const char* target;
    const char* source;
    const char* backup;
};

const std::vector<Entry> kInstall = {
    {"ALPHA.INF", "ALPHA.QTR", "ALPHA.OLD"},
    {"GAMMA.INF", "GAMMA.QTR", "GAMMA.OLD"},
    {"BETA.INF", "BETA.QTR", "BETA.OLD"},
    {"ALPHA.INF", "ALPHA2.QTR", "ALPHA.OLD"},
};

const std::map<std::string, std::string> kFragments = {
    {"ALPHA.QTR", kAlphaFragment},
    {"ALPHA2.QTR", kAlphaSecondFragment},
    {"BETA.QTR", kBetaFragment},
    {"GAMMA.QTR", kGammaFragment},
};

const std::map<std::string, State> kOriginals = {
    {"ALPHA.INF", std::string(kAlphaInf)},
    {"BETA.INF", std::string(kBetaInf)},
    {"GAMMA.INF", std::nullopt},
};

// A merge's own work file, ~QM and four hex digits, and the update lock.
bool isWorkFile(const std::string& name) {
    return name.size() == 11 && name.rfind("~QM", 0) == 0 && name.compare(7, 4, ".TMP") == 0;
}
const char kLockFile[] = "~CORVANE.LCK";

void prepare(TestMachine& machine) {
    for (const auto& [name, text] : kOriginals) {
        if (text) {
            machine.writeC("WINDOWS/INF/" + name, *text);
        }
    }
    for (const auto& [name, text] : kFragments) {
        machine.writeDisk(name, text);
    }
}

State infFile(const TestMachine& machine, const std::string& name) {
    std::string relative = "WINDOWS/INF/" + name;
    return machine.existsOnC(relative) ? State(machine.readC(relative)) : std::nullopt;
}

// The file work of one install command: under the update lock, work files
// of a killed run cleared away first, then every entry.
void install(const std::function<void(const Entry&)>& afterEach = nullptr) {
    CUpdateInf update;
    CUpdateLock lock(update.GetInfDir());
    if (!lock.IsHeld()) {
        throw std::runtime_error("the update lock could not be taken");
    }
    update.RemoveWorkFiles();
    for (const Entry& entry : kInstall) {
        update.UpdateFile(entry.target, entry.source, entry.backup);
        if (afterEach) {
            afterEach(entry);
        }
    }
}

// Each Windows INF file's states in the order a clean install goes through
// them: the original, then the file after each entry that merged into it.
std::map<std::string, std::vector<State>> cleanStates() {
    TestMachine machine;
    prepare(machine);
    machine.boot();
    std::map<std::string, std::vector<State>> states;
    for (const auto& [name, text] : kOriginals) {
        states[name].push_back(text);
    }
    install([&](const Entry& entry) {
        states[entry.target].push_back(infFile(machine, entry.target));
    });
    return states;
}

int stateIndex(const std::vector<State>& states, const State& now) {
    for (size_t i = 0; i < states.size(); ++i) {
        if (states[i] == now) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class UpdateInfKill : public ::testing::Test {
protected:
    void SetUp() override { states = cleanStates(); }

    // Every file in the INF folder after a crash: each Windows INF file in one
    // of its states, each backup absent or the original, nothing else but one
    // work file, the lock file and at most one kernel temporary. Returns each
    // file's state.
    std::map<std::string, int> checkAfterCrash(const TestMachine& machine) {
        std::map<std::string, int> reached;
        for (const auto& [name, sequence] : states) {
            reached[name] = stateIndex(sequence, infFile(machine, name));
            EXPECT_GE(reached[name], 0) << name << " is torn or lost";
        }
        // A file that did not exist has no original: a second install
        // backs up what the first made of it.
        for (const Entry& entry : kInstall) {
            State backup = infFile(machine, entry.backup);
            const State& original = kOriginals.at(entry.target);
            EXPECT_TRUE(!backup || backup == original ||
                        (!original && stateIndex(states.at(entry.target), backup) > 0))
                << entry.backup << " is not the original " << entry.target;
        }
        int temporaries = 0;
        int workFiles = 0;
        for (const std::string& name : corvane_test::folderEntries(machine.onC("WINDOWS/INF"))) {
            temporaries += corvane_test::isKernelTemporary(name) ? 1 : 0;
            workFiles += isWorkFile(name) ? 1 : 0;
            EXPECT_TRUE(isInstallFile(name) || isWorkFile(name) || name == kLockFile ||
                        corvane_test::isKernelTemporary(name))
                << "stray file " << name;
        }
        EXPECT_LE(temporaries, 1);
        EXPECT_LE(workFiles, 1);
        for (const auto& [name, text] : kFragments) {
            EXPECT_EQ(corvane_test::readHostFile(machine.onDisk(name)), text) << name << " changed";
        }
        return reached;
    }

    // A clean install after the crash ends as a clean install from the start
    // does, and clears the work file and any temporary away.
    void checkRecovery(TestMachine& machine) {
        machine.config().crashAfterFileSteps = -1;
        machine.boot();
        install();
        machine.shutdown();
        for (const auto& [name, sequence] : states) {
            EXPECT_EQ(infFile(machine, name), sequence.back()) << name;
        }
        EXPECT_EQ(infFile(machine, "ALPHA.OLD"), kOriginals.at("ALPHA.INF"));
        EXPECT_EQ(infFile(machine, "BETA.OLD"), kOriginals.at("BETA.INF"));
        // Made by the second install when the first had already created it.
        State gammaBackup = infFile(machine, "GAMMA.OLD");
        EXPECT_TRUE(!gammaBackup || gammaBackup == states.at("GAMMA.INF").back());
        for (const std::string& name : corvane_test::folderEntries(machine.onC("WINDOWS/INF"))) {
            EXPECT_TRUE(isInstallFile(name)) << "left after the second install: " << name;
        }
    }

    static bool isInstallFile(const std::string& name) {
        for (const Entry& entry : kInstall) {
            if (name == entry.target || name == entry.backup) {
                return true;
            }
        }
        return false;
    }

    std::map<std::string, std::vector<State>> states;
};

} // namespace

TEST_F(UpdateInfKill, EveryCrashLeavesEachFileWholeAndAnInstallFinishesIt) {
    // The clean install changes every file, the twice-named one twice.
    ASSERT_EQ(states.at("ALPHA.INF").size(), 3u);
    for (const auto& [name, sequence] : states) {
        std::set<State> distinct(sequence.begin(), sequence.end());
        ASSERT_EQ(distinct.size(), sequence.size()) << name;
    }

    std::map<std::string, int> latest;
    std::map<std::string, std::set<int>> seen;
    int steps = 1;
    for (; steps <= kMaxSteps; ++steps) {
        SCOPED_TRACE("crash after step " + std::to_string(steps));
        TestMachine machine;
        prepare(machine);
        machine.config().crashAfterFileSteps = steps;
        std::string detail;
        ChildEnding ending = corvane_test::runInChild(
            [&] {
                machine.boot();
                install();
            },
            detail);
        ASSERT_NE(ending, ChildEnding::Failed) << detail;

        std::map<std::string, int> reached = checkAfterCrash(machine);
        for (const auto& [name, index] : reached) {
            EXPECT_GE(index, latest[name]) << name << " went back to an earlier state";
            latest[name] = index;
            seen[name].insert(index);
        }
        if (ending == ChildEnding::Completed) {
            for (const auto& [name, sequence] : states) {
                EXPECT_EQ(reached[name], static_cast<int>(sequence.size()) - 1) << name;
            }
            for (const std::string& name :
                 corvane_test::folderEntries(machine.onC("WINDOWS/INF"))) {
                EXPECT_TRUE(isInstallFile(name)) << "left after a whole install: " << name;
            }
            break;
        }
        checkRecovery(machine);
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_LE(steps, kMaxSteps) << "the install never completed";
    // The crashes landed between every two states of every file.
    for (const auto& [name, sequence] : states) {
        EXPECT_EQ(seen[name].size(), sequence.size()) << name;
    }
}

TEST_F(UpdateInfKill, TwoCopiesAtOnceWithOneKilledLeaveTheInstallWholeAndTheBackupsOriginal) {
    // The other copy either finishes first (the killed one then rewrites
    // the same text) or waits for the lock until the killed one is gone.
    int completedTogether = 0;
    for (int steps = 1; steps <= kMaxSteps; steps += 7) {
        SCOPED_TRACE("one copy killed after step " + std::to_string(steps));
        TestMachine machine;
        prepare(machine);
        auto run = [&](int crashAfter) {
            return corvane_test::startChild([&machine, crashAfter] {
                machine.config().crashAfterFileSteps = crashAfter;
                machine.boot();
                install();
            });
        };
        pid_t killed = run(steps);
        pid_t other = run(-1);
        std::string detail;
        ChildEnding killedEnding = corvane_test::waitForChild(killed, detail);
        ASSERT_NE(killedEnding, ChildEnding::Failed) << detail;
        ASSERT_EQ(corvane_test::waitForChild(other, detail), ChildEnding::Completed) << detail;

        std::map<std::string, int> reached = checkAfterCrash(machine);
        for (const auto& [name, sequence] : states) {
            EXPECT_EQ(reached[name], static_cast<int>(sequence.size()) - 1)
                << name << " is not fully merged after a whole install";
        }
        if (killedEnding == ChildEnding::Completed) {
            ++completedTogether;
            break;
        }
        checkRecovery(machine);
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_EQ(completedTogether, 1) << "the killed copy never got to finish its install";
}
