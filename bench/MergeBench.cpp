// The INF merge at the sizes its buffers allow: a Windows INF section of
// nearly 30,720 bytes and a fragment section of nearly 4,096 bytes. Each
// fragment line is looked for among all target lines, so the cost grows with
// the product of both. Arg 1: every fragment line is new and is appended;
// arg 0: every fragment line is already there (a second install), matched
// only at the target's end. The target file is put back untimed before every
// iteration.
#include "platform/emu/Machine.h"
#include "tests/support/TempDir.h"
#include "update/CUpdateInf.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t kTargetBudget = 30720;
constexpr size_t kFragmentBudget = 4096;
constexpr const char* kSection = "Board.AddReg";

// Lines that share a long prefix and differ near the end, as the AddReg
// lines of a real INF file do, so every comparison reads far into the line.
std::string addRegLine(int slot, const char* tail) {
    char line[128];
    std::snprintf(line, sizeof line, "HKR,Ndi\\Params\\Slot%04d,ParamDesc,,\"Board slot %04d%s\"",
                  slot, slot, tail);
    return line;
}

// Lines first..first+n as profile text, stopping before the section list
// (each line with its NUL, then the closing NUL) would outgrow budget.
std::string sectionLines(int first, const char* tail, size_t budget, size_t& listBytes) {
    std::string text;
    listBytes = 1;
    for (int slot = first;; ++slot) {
        const std::string line = addRegLine(slot, tail);
        if (listBytes + line.size() + 1 > budget) {
            return text;
        }
        listBytes += line.size() + 1;
        text += line + "\r\n";
    }
}

// How many lines of one length a list within budget holds.
int linesFitting(size_t lineSize, size_t budget) {
    return static_cast<int>((budget - 1) / (lineSize + 1));
}

struct MergeFiles {
    std::string target;
    std::string fragment;
    size_t targetBytes = 0;
    size_t fragmentBytes = 0;
};

MergeFiles mergeFiles(bool linesAreNew) {
    MergeFiles files;
    const std::string body = sectionLines(0, "", kTargetBudget, files.targetBytes);
    files.target = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[" + std::string(kSection) +
                   "]\r\n" + body + "\r\n[Strings]\r\nMfg=\"Quentor\"\r\n";
    // The present lines are the target's last ones, so each is found only
    // after most of the list has been compared.
    const int targetLines = linesFitting(addRegLine(0, "").size(), kTargetBudget);
    const int fragmentLines = linesFitting(addRegLine(0, "").size(), kFragmentBudget);
    const int first = linesAreNew ? 0 : targetLines - fragmentLines;
    files.fragment =
        "[" + std::string(kSection) + "]\r\n" +
        sectionLines(first, linesAreNew ? " new" : "", kFragmentBudget, files.fragmentBytes);
    return files;
}

class MergeMachine {
public:
    MergeMachine() {
        corvane_test::writeHostFile(m_c / "WINDOWS/INF/BOARD.INF", "");
        corvane_test::writeHostFile(m_disk / "BOARD.QTR", "");
        emu::MachineConfig config;
        config.drives['C'] = m_c.path();
        config.drives['D'] = m_disk.path();
        config.currentDir = "D:\\";
        emu::boot(config);
    }
    ~MergeMachine() { emu::shutdown(); }
    void put(const MergeFiles& files) const {
        corvane_test::writeHostFile(m_c / "WINDOWS/INF/BOARD.INF", files.target);
        corvane_test::writeHostFile(m_disk / "BOARD.QTR", files.fragment);
        // Otherwise the merge's first fsync writes these out too.
        sync();
    }
    std::string target() const { return corvane_test::readHostFile(m_c / "WINDOWS/INF/BOARD.INF"); }

private:
    corvane_test::TempDir m_c;
    corvane_test::TempDir m_disk;
};

// Whether the merge did what its argument promises: lines appended or not.
bool merged(const MergeMachine& machine, const MergeFiles& files, bool linesAreNew) {
    const std::string after = machine.target();
    const bool grew = after.size() > files.target.size();
    return grew == linesAreNew && after.find("Board slot 0000") != std::string::npos;
}

void reportSizes(benchmark::State& state, const MergeFiles& files) {
    state.counters["target_bytes"] = static_cast<double>(files.targetBytes);
    state.counters["fragment_bytes"] = static_cast<double>(files.fragmentBytes);
}

void BM_MergeSection(benchmark::State& state) {
    const bool linesAreNew = state.range(0) != 0;
    const MergeFiles files = mergeFiles(linesAreNew);
    MergeMachine machine;
    CUpdateInf update;
    for (auto _ : state) {
        state.PauseTiming();
        machine.put(files);
        state.ResumeTiming();
        update.MergeSection("C:\\WINDOWS\\INF\\BOARD.INF", "D:\\BOARD.QTR", kSection);
    }
    if (!merged(machine, files, linesAreNew)) {
        state.SkipWithError("the merge did not give the expected file");
    }
    reportSizes(state, files);
}
BENCHMARK(BM_MergeSection)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The whole file step: backup, working copy, merge of every section, copy
// back. The backup is made once per iteration, since the target is put back
// without it.
void BM_UpdateFile(benchmark::State& state) {
    const bool linesAreNew = state.range(0) != 0;
    const MergeFiles files = mergeFiles(linesAreNew);
    MergeMachine machine;
    CUpdateInf update;
    for (auto _ : state) {
        state.PauseTiming();
        machine.put(files);
        DeleteFileA("C:\\WINDOWS\\INF\\BOARD.QBK");
        state.ResumeTiming();
        update.UpdateFile("BOARD.INF", "BOARD.QTR", "BOARD.QBK");
    }
    if (!merged(machine, files, linesAreNew)) {
        state.SkipWithError("the update did not give the expected file");
    }
    reportSizes(state, files);
}
BENCHMARK(BM_UpdateFile)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
