// What the all-or-nothing handling of a disk image costs on its own, on a
// 2 GB FAT32 image whose clusters hold data, as a used installation's do:
// its free clusters hold what deleted files left, and a 1 GB swap file fills
// half of it. Opening it (finding the volume, fsck.fat, copying the files
// out) and writing an install's changes back, with the most disk space the
// write-back used beside the image (its work folder and journal) while it
// ran.
#include "platform/emu/host/ImageDrive.h"
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The disk space the files at paths take, in bytes.
long long spaceOf(const std::vector<std::string>& paths) {
    long long total = 0;
    for (const std::string& path : paths) {
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0) {
            total += static_cast<long long>(info.st_blocks) * 512;
        }
    }
    return total;
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
    corvane_test::FatImage::makeUsedDisk(original, corvane_test::TestMachine::demoSource() + "/c",
                                         work / "scratch");
    const std::string image = work / "c.img";
    // What a write-back may leave beside the image while it runs.
    const std::string folder = emu::host::ImageDrive::workFolderOf(image);
    const std::vector<std::string> beside = {folder + "/image", folder + "/volume",
                                             image + ".corvane-undo"};
    long long mostBeside = 0;
    for (auto _ : state) {
        corvane_test::runTool({"cp", "--sparse=never", original, image});
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
        std::atomic<bool> done{false};
        std::thread watch([&] {
            while (!done) {
                mostBeside = std::max(mostBeside, spaceOf(beside));
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        begin = Clock::now();
        emu::hostsupport::Result<void> written = drive->commit();
        double writing = since(begin);
        done = true;
        watch.join();
        if (!written || drive->changesWritten() != 7) {
            state.SkipWithError(written ? "not every change was written"
                                        : written.reason().c_str());
            break;
        }
        state.SetIterationTime(open ? opening : writing);
    }
    state.counters["beside_MB"] = static_cast<double>(mostBeside) / (1024 * 1024);
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
