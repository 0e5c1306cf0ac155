// What the all-or-nothing handling of a disk image costs on its own, on a
// 2 GB FAT32 image whose clusters hold data, as a used installation's do:
// its free clusters hold what deleted files left, and a 1 GB swap file fills
// half of it. Opening it (finding the volume, fsck.fat, reading its folders,
// the files copied out whole or left to be fetched when used) and writing
// an install's changes back, with the most disk space used beside the image
// (its work folder and journal) from the opening to the end.
#include "platform/emu/host/ImageDrive.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// open: time the opening; otherwise time the write-back of what the demo's
// install changes (three INF files replaced, three backups made, the
// registry file replaced). bytes: the files copied out whole when the drive
// opens (as a read-only drive is), or each fetched when it is used (as a
// run's drive is).
void measure(benchmark::State& state, bool open, emu::host::ImageDrive::Bytes bytes) {
    corvane_test::TempDir work;
    const std::string original = work / "original.img";
    corvane_test::FatImage::makeUsedDisk(original, corvane_test::TestMachine::demoSource() + "/c",
                                         work / "scratch");
    const std::string image = work / "c.img";
    long long mostBeside = 0;
    for (auto _ : state) {
        corvane_test::runTool({"cp", "--sparse=never", original, image});
        corvane_test::SpaceBesideImage beside(image);
        Clock::time_point begin = Clock::now();
        auto opened = emu::host::ImageDrive::open(image, false, nullptr, nullptr, bytes);
        double opening = since(begin);
        if (!opened) {
            beside.stop();
            state.SkipWithError(opened.reason().c_str());
            break;
        }
        std::unique_ptr<emu::host::ImageDrive>& drive = *opened;
        const std::string inf = drive->folder() + "/WINDOWS/INF/";
        for (const char* name : {"MACHINE", "MSHDC", "USB"}) {
            drive->fetch(inf + name + ".INF"); // as the machine does before it reads
            std::string text = corvane_test::readHostFile(inf + name + ".INF");
            corvane_test::writeHostFile(inf + name + ".QBK", text);
            corvane_test::writeHostFile(inf + name + ".INF", text + "[Added]\r\nline=1\r\n");
        }
        drive->fetch(drive->folder() + "/WINDOWS/SYSTEM.REG");
        corvane_test::writeHostFile(drive->folder() + "/WINDOWS/SYSTEM.REG", "REGEDIT4\r\n\r\n");
        begin = Clock::now();
        emu::hostsupport::Result<void> written = drive->commit();
        double writing = since(begin);
        mostBeside = std::max(mostBeside, beside.stop());
        if (!written || drive->changesWritten() != 7) {
            state.SkipWithError(written ? "not every change was written"
                                        : written.reason().c_str());
            break;
        }
        state.SetIterationTime(open ? opening : writing);
    }
    state.counters["beside_MB"] = static_cast<double>(mostBeside) / (1024 * 1024);
}

// Argument 1: the files fetched when used; 0: copied out whole.
emu::host::ImageDrive::Bytes bytesOf(const benchmark::State& state) {
    return state.range(0) == 1 ? emu::host::ImageDrive::Bytes::WhenUsed
                               : emu::host::ImageDrive::Bytes::CopiedOut;
}

void BM_ImageOpen2GB(benchmark::State& state) {
    measure(state, true, bytesOf(state));
}
BENCHMARK(BM_ImageOpen2GB)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_ImageWriteBack2GB(benchmark::State& state) {
    measure(state, false, emu::host::ImageDrive::Bytes::WhenUsed);
}
BENCHMARK(BM_ImageWriteBack2GB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
