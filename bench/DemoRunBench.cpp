// The real setup executable on the demo driver disk, headless, as
// demo/run-demo.sh runs it but on the virtual clock (the five-second
// progress displays and the script's waits then take no host time; memory
// is the same). Reports the child's peak resident set size and the wall time
// of the whole process, a cold start included.
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kChildSeconds = 120;

struct ChildRun {
    int exitStatus = -1; // -1 when it did not exit by itself
    long peakKiB = 0;
    double seconds = 0;    // wall time from fork to exit
    double cpuSeconds = 0; // the child's user and system time
};

std::string withWorkFolder(std::string script, const std::string& work) {
    const std::string mark = "@WORK@";
    for (size_t at = script.find(mark); at != std::string::npos; at = script.find(mark, at)) {
        script.replace(at, mark.size(), work);
        at += work.size();
    }
    return script;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// wait4 gives the figures of this one child; RUSAGE_CHILDREN would give the
// largest of every child the process has waited for.
ChildRun runSetup(const std::vector<std::string>& args, const std::string& folder) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    ChildRun run;
    const Clock::time_point begin = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, 1);
            dup2(quiet, 2);
        }
        // The alarm outlives exec: a run that hangs is ended, not waited for.
        alarm(kChildSeconds);
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        run.peakKiB = usage.ru_maxrss;
        run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

// Runs setup with args in folder, once per iteration; prepare() makes each
// iteration's arguments (and the folders they name) outside the timing.
void runProcess(benchmark::State& state,
                const std::function<std::vector<std::string>(
                    corvane_test::TestMachine&, const corvane_test::TempDir&)>& prepare,
                int expectedStatus) {
    long peakKiB = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        corvane_test::TestMachine demo{corvane_test::TestMachine::demo()};
        corvane_test::TempDir work;
        std::vector<std::string> args = {CORVANE_SETUP_EXE};
        for (std::string& arg : prepare(demo, work)) {
            args.push_back(std::move(arg));
        }
        const ChildRun run = runSetup(args, demo.disk());
        state.SetIterationTime(run.seconds);
        if (run.exitStatus != expectedStatus) {
            state.SkipWithError(
                ("setup ended with status " + std::to_string(run.exitStatus)).c_str());
            break;
        }
        peakKiB = std::max(peakKiB, run.peakKiB);
        cpuSeconds += run.cpuSeconds;
    }
    state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
    state.counters["child_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000, benchmark::Counter::kAvgIterations);
}

// script: the input script's text; "@WORK@" stands for a fresh folder of the
// run's own, where the screenshots go.
void runDemo(benchmark::State& state, const std::string& script, int expectedStatus) {
    runProcess(
        state,
        [&script](corvane_test::TestMachine& demo, const corvane_test::TempDir& work) {
            corvane_test::writeHostFile(work / "input.txt", withWorkFolder(script, work.path()));
            return std::vector<std::string>{
                "--headless",         "--clock", "virtual",          "--drive",
                "C=" + demo.cDrive(), "--drive", "D=" + demo.disk(), "--input",
                work / "input.txt",   "--trace", work / "trace.txt"};
        },
        expectedStatus);
}

// The demo's own headless session: open, uninstall with nothing installed,
// install, uninstall, close.
void BM_DemoRunPeakMemory(benchmark::State& state) {
    const std::string script =
        corvane_test::readHostFile(corvane_test::TestMachine::demoSource() + "/headless.script");
    runDemo(state, script, 0);
}
BENCHMARK(BM_DemoRunPeakMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Start-up to the first paint and straight out again: the window is closed by
// its close box and the quit question answered Yes.
void BM_ProcessStartAndClose(benchmark::State& state) {
    runDemo(state, "close\nkey y\n", 0);
}
BENCHMARK(BM_ProcessStartAndClose)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The answers that start no machine: what the process costs before main's
// own work (the dynamic loader mapping the libraries the executable needs).
void BM_ProcessVersion(benchmark::State& state) {
    runProcess(
        state,
        [](corvane_test::TestMachine&, const corvane_test::TempDir&) {
            return std::vector<std::string>{"--version"};
        },
        0);
}
BENCHMARK(BM_ProcessVersion)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The disk author's check of the demo disk against the demo's C: drive.
void BM_ProcessCheck(benchmark::State& state) {
    runProcess(
        state,
        [](corvane_test::TestMachine& demo, const corvane_test::TempDir&) {
            return std::vector<std::string>{"--check", "--drive", "C=" + demo.cDrive()};
        },
        0);
}
BENCHMARK(BM_ProcessCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The install of the demo disk into C: on a 2 GB FAT32 hard-disk image
// whose free and used clusters hold data, as a used installation's do, as a
// user runs it: the whole process (finding the volume, its fsck.fat check,
// reading its folders, the program's install with the files it uses
// fetched, writing the changes back into the image behind its journal, the
// check), with the most disk space the run used beside the image (its work
// folder and journals, sampled every millisecond). Each run starts on a
// fresh full copy of the image, made outside the timing.
void BM_InstallInto2GBImage(benchmark::State& state) {
    corvane_test::TempDir work;
    const std::string demo = corvane_test::TestMachine::demoSource();
    const std::string original = work / "win95.img";
    corvane_test::FatImage::makeUsedDisk(original, demo + "/c", work / "scratch");
    const std::string image = work / "c.img";
    corvane_test::writeHostFile(work / "input.txt", "wait 300\nkey enter\nkey n\nclose\n");
    double cpuSeconds = 0;
    long peakKiB = 0;
    long long mostBeside = 0;
    for (auto _ : state) {
        corvane_test::runTool({"cp", "--sparse=never", original, image});
        const std::vector<std::string> args = {
            CORVANE_SETUP_EXE, "--headless", "--clock",      "virtual", "--drive",
            "C=" + image,      "--disk",     demo + "/disk", "--input", work / "input.txt"};
        corvane_test::SpaceBesideImage beside(image);
        const ChildRun run = runSetup(args, work.path());
        mostBeside = std::max(mostBeside, beside.stop());
        state.SetIterationTime(run.seconds);
        peakKiB = std::max(peakKiB, run.peakKiB);
        if (run.exitStatus != 0) {
            state.SkipWithError(
                ("setup ended with status " + std::to_string(run.exitStatus)).c_str());
            break;
        }
        cpuSeconds += run.cpuSeconds;
    }
    state.counters["child_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
    state.counters["beside_MB"] = static_cast<double>(mostBeside) / (1024 * 1024);
}
BENCHMARK(BM_InstallInto2GBImage)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
