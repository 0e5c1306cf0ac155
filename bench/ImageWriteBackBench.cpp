// What the all-or-nothing handling of a disk image costs on its own, on the
// 2 GB sparse FAT32 image of the whole-process figure: opening it (finding
// the volume, fsck.fat, copying the files out) and writing an install's
// changes back (a copy of the image, mcopy and mattrib into it, fsck.fat, sync
// and rename).
#include "platform/emu/host/ImageDrive.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// The demo's C: on a fresh 2 GB FAT32 partition, at path.
void makeImage(const std::string& path) {
    const std::string demo = corvane_test::TestMachine::demoSource();
    corvane_test::runTool({"truncate", "-s", "2G", path});
    corvane_test::runTool(
        {"sh", "-c", "printf 'label: dos\\nstart=2048, type=c\\n' | sfdisk -q " + path});
    corvane_test::runTool(
        {"mkfs.fat", "-F", "32", "--offset", "2048", path, std::to_string(2 * 1024 * 1024 - 1024)});
    corvane_test::runTool(
        {"mcopy", "-s", "-m", "-i", path + "@@1048576", demo + "/c/WINDOWS", "::/"});
}

double since(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// open: time the opening; otherwise time the write-back of what the demo's
// install changes (three INF files replaced, three backups made, the
// registry file replaced).
void measure(benchmark::State& state, bool open) {
    corvane_test::TempDir work;
    const std::string original = work / "original.img";
    makeImage(original);
    const std::string image = work / "c.img";
    for (auto _ : state) {
        corvane_test::runTool({"cp", "--sparse=always", original, image});
        Clock::time_point begin = Clock::now();
        auto opened = emu::host::ImageDrive::open(image, false, nullptr);
        double opening = since(begin);
        if (!opened) {
            state.SkipWithError(opened.reason().c_str());
            break;
        }
        std::unique_ptr<emu::host::ImageDrive>& drive = *opened;
        const std::string inf = drive->folder() + "/WINDOWS/INF/";
        for (const char* name : {"MACHINE", "MSHDC", "USB"}) {
            std::string text = corvane_test::readHostFile(inf + name + ".INF");
            corvane_test::writeHostFile(inf + name + ".QBK", text);
            corvane_test::writeHostFile(inf + name + ".INF", text + "[Added]\r\nline=1\r\n");
        }
        corvane_test::writeHostFile(drive->folder() + "/WINDOWS/SYSTEM.REG", "REGEDIT4\r\n\r\n");
        begin = Clock::now();
        emu::hostsupport::Result<void> written = drive->commit();
        double writing = since(begin);
        if (!written || drive->changesWritten() != 7) {
            state.SkipWithError(written ? "not every change was written"
                                        : written.reason().c_str());
            break;
        }
        state.SetIterationTime(open ? opening : writing);
    }
}

void BM_ImageOpen2GB(benchmark::State& state) {
    measure(state, true);
}
BENCHMARK(BM_ImageOpen2GB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ImageWriteBack2GB(benchmark::State& state) {
    measure(state, false);
}
BENCHMARK(BM_ImageWriteBack2GB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
