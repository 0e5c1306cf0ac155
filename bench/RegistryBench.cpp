// A REGEDIT4 hive is read and parsed again for every RegDeleteKeyA, a binary
// one once while its file stays the same; these figures say what that costs
// for a hive of a real machine's size.
#include "platform/emu/Machine.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/Registry.h"
#include "platform/emu/kernel/RegistryFile.h"
#include "platform/win32.h"
#include "tests/support/CregSamples.h"
#include "tests/support/TempDir.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

std::string generatedHive(int devices) {
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < devices; ++i) {
        std::string key = "[HKEY_LOCAL_MACHINE\\Enum\\ROOT\\QTR" + std::to_string(i);
        text += key + "]\r\n\"Class\"=\"System\"\r\n\"Count\"=dword:0000001a\r\n\r\n";
        text += key + "\\0000]\r\n\"ConfigFlags\"=hex:00,00,\\\r\n  00,00\r\n\r\n";
    }
    return text;
}

void ParseAndDeleteOneKey(benchmark::State& state) {
    const std::string hive = generatedHive(static_cast<int>(state.range(0)));
    const emu::kernel::RegistryKeyPath key = {"Enum", "ROOT", "QTR7"};
    for (auto _ : state) {
        emu::kernel::RegistryFile file(hive);
        file.deleteKey(key);
        benchmark::DoNotOptimize(file.text());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(hive.size()));
}
BENCHMARK(ParseAndDeleteOneKey)->Arg(100)->Arg(10000);

} // namespace

// The binary hive of a real Windows 95 machine is one to a few megabytes;
// these figures are for 2 MB.
namespace {

constexpr size_t kBinaryHiveBytes = 2 * 1024 * 1024;
const char* const kBinaryKey = "Enum\\ROOT\\QTR4000";

// Read, check and change in memory: what every RegDeleteKeyA does between
// reading the file and replacing it.
void BinaryHiveDeleteOneKey(benchmark::State& state) {
    const std::string hive = corvane_test::cregLargeHive(kBinaryHiveBytes).build();
    const auto path = *emu::kernel::splitRegistryKeyPath(kBinaryKey);
    for (auto _ : state) {
        emu::kernel::CregFile file(hive);
        emu::kernel::CregWriter writer(file, emu::kernel::cregHabitsOf(file).habit);
        if (writer.deleteKeys(file.findKeys(path)) != 2) {
            state.SkipWithError("the key was not deleted");
            break;
        }
        benchmark::DoNotOptimize(writer.bytes().data());
    }
    state.counters["file_bytes"] = static_cast<double>(hive.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(hive.size()));
}
BENCHMARK(BinaryHiveDeleteOneKey)->Unit(benchmark::kMillisecond);

// The whole call on a SYSTEM.DAT file: read, check, change, and write the
// changed pages in place behind a journal. The file is put back between
// iterations, outside the timing.
void BinaryHiveRegDeleteKeyA(benchmark::State& state) {
    const std::string hive = corvane_test::cregLargeHive(kBinaryHiveBytes).build();
    corvane_test::TempDir dir;
    std::filesystem::create_directories(dir / "c/WINDOWS");
    const std::string file = dir / "c/WINDOWS/SYSTEM.DAT";
    emu::MachineConfig config;
    config.drives['C'] = dir / "c";
    emu::kernel::bootFiles(config);
    emu::kernel::bootRegistry(config);
    for (auto _ : state) {
        state.PauseTiming();
        corvane_test::writeHostFile(file, hive);
        state.ResumeTiming();
        if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBinaryKey) != ERROR_SUCCESS) {
            state.SkipWithError("RegDeleteKeyA failed");
            break;
        }
    }
    emu::kernel::shutdownRegistry();
    emu::kernel::shutdownFiles();
    state.counters["file_bytes"] = static_cast<double>(hive.size());
}
BENCHMARK(BinaryHiveRegDeleteKeyA)->Unit(benchmark::kMillisecond);

// Windows 98 and Me files grow larger: an 8 MB hive grown as Windows grows
// one, and the four device keys the demo disk deletes, each by its own
// RegDeleteKeyA: the file is read and checked once, then each call changes
// the kept hive and writes the pages it changed in place behind a journal
// (three syncs: the journal, its folder, the file).
constexpr size_t kGrownHiveKeys = 44000;
const char* const kDeviceKeys[] = {"Enum\\PCI\\VEN_7E57&DEV_2301", "Enum\\PCI\\VEN_7E57&DEV_2302",
                                   "Enum\\PCI\\VEN_7E57&DEV_23FF", "Enum\\PCI\\VEN_7E57&DEV_2303"};

// The argument is the release whose habits the hive keeps: 95 or 98.
void GrownHiveRegDeleteFourKeys(benchmark::State& state) {
    const auto habit = state.range(0) == 98 ? emu::kernel::CregHabit::Windows98
                                            : emu::kernel::CregHabit::Windows95;
    const std::string hive = corvane_test::cregGrownHive(kGrownHiveKeys, habit).build();
    corvane_test::TempDir dir;
    std::filesystem::create_directories(dir / "c/WINDOWS");
    const std::string file = dir / "c/WINDOWS/SYSTEM.DAT";
    emu::MachineConfig config;
    config.drives['C'] = dir / "c";
    emu::kernel::bootFiles(config);
    emu::kernel::bootRegistry(config);
    for (auto _ : state) {
        state.PauseTiming();
        corvane_test::writeHostFile(file, hive);
        state.ResumeTiming();
        for (const char* key : kDeviceKeys) {
            if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) {
                state.SkipWithError("RegDeleteKeyA failed");
                break;
            }
        }
    }
    emu::kernel::shutdownRegistry();
    emu::kernel::shutdownFiles();
    state.counters["file_bytes"] = static_cast<double>(hive.size());
}
BENCHMARK(GrownHiveRegDeleteFourKeys)->Arg(95)->Arg(98)->Unit(benchmark::kMillisecond);

} // namespace
