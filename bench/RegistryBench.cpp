// The hive is read and parsed again for every RegDeleteKeyA; these figures say
// what that costs for a hive of a real machine's size.
#include "platform/emu/kernel/RegistryFile.h"

#include <benchmark/benchmark.h>

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
