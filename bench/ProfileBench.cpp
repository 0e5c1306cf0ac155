// The profile service under the INF merge's load: a Windows INF file whose
// largest section nearly fills the merge's 30,720-byte buffer, read as a
// string, read as a section and written back.
#include "platform/emu/Machine.h"
#include "platform/win32.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr const char* kInf = "C:\\WINDOWS\\INF\\BOARD.INF";
constexpr DWORD kMergeBuffer = 30720;

// 300 lines of 100 bytes each with its NUL: a 30,000-byte section list.
std::string bigSection() {
    std::string text = "[Strings]\r\n";
    for (int i = 0; i < 300; ++i) {
        std::string key = "Dev" + std::to_string(1000 + i);
        text += key + " = \"" + std::string(99 - key.size() - 3, 'd') + "\"\r\n";
    }
    return text;
}

class BenchMachine {
public:
    BenchMachine() {
        std::string inf = bigSection();
        corvane_test::writeHostFile(m_drive / "WINDOWS/INF/BOARD.INF",
                                    "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n" + inf +
                                        "\r\n[Manufacturer]\r\n%Mfg%=Mfg\r\n");
        emu::MachineConfig config;
        config.drives['C'] = m_drive.path();
        config.currentDir = "C:\\";
        emu::boot(config);
    }
    ~BenchMachine() { emu::shutdown(); }

private:
    corvane_test::TempDir m_drive;
};

BenchMachine& machine() {
    static BenchMachine booted;
    return booted;
}

void BM_GetPrivateProfileStringA_LastKey(benchmark::State& state) {
    machine();
    char value[260];
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            GetPrivateProfileStringA("STRINGS", "dev1299", "", value, sizeof value, kInf));
    }
}
BENCHMARK(BM_GetPrivateProfileStringA_LastKey);

void BM_GetPrivateProfileSectionA_30720(benchmark::State& state) {
    machine();
    std::string buffer(kMergeBuffer, '\0');
    DWORD used = 0;
    for (auto _ : state) {
        used = GetPrivateProfileSectionA("Strings", buffer.data(), kMergeBuffer, kInf);
        benchmark::DoNotOptimize(used);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (used + 1));
}
BENCHMARK(BM_GetPrivateProfileSectionA_30720);

// The merge's write: the section's own lines back again, so the file stays
// the same from one iteration to the next.
void BM_WritePrivateProfileSectionA_SameLines(benchmark::State& state) {
    machine();
    std::string buffer(kMergeBuffer, '\0');
    GetPrivateProfileSectionA("Strings", buffer.data(), kMergeBuffer, kInf);
    for (auto _ : state) {
        benchmark::DoNotOptimize(WritePrivateProfileSectionA("Strings", buffer.data(), kInf));
    }
}
BENCHMARK(BM_WritePrivateProfileSectionA_SameLines);

// Every line rewritten: the section's lines in a spelling that differs from
// the file's, alternating with the file's own, so each write replaces all.
void BM_WritePrivateProfileSectionA_AllLinesChanged(benchmark::State& state) {
    machine();
    std::string original(kMergeBuffer, '\0');
    GetPrivateProfileSectionA("Strings", original.data(), kMergeBuffer, kInf);
    std::string changed = original;
    for (char& c : changed) {
        c = c == 'd' ? 'e' : c;
    }
    bool flip = false;
    for (auto _ : state) {
        const std::string& lines = flip ? original : changed;
        benchmark::DoNotOptimize(WritePrivateProfileSectionA("Strings", lines.data(), kInf));
        flip = !flip;
    }
}
BENCHMARK(BM_WritePrivateProfileSectionA_AllLinesChanged);

} // namespace
