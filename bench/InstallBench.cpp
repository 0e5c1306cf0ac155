// The file and registry work of one install of the demo disk, without the
// progress window's five-second display: the three section walks of the
// Windows 95 platform with USB, then both device-key sections. Every
// iteration starts from the demo's own C: drive, whose copying is not timed.
#include "app/CLauncherApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"
#include "window/CSetupWnd.h"

#include <benchmark/benchmark.h>

#include <string>
#include <unistd.h>

namespace {

// The one change a reader of the file would see first: the backup.
bool installed(const corvane_test::TestMachine& machine) {
    return corvane_test::hostFileExists(machine.cDrive() + "/WINDOWS/INF/MSHDC.QBK") &&
           corvane_test::readHostFile(machine.cDrive() + "/WINDOWS/SYSTEM.REG") !=
               corvane_test::readHostFile(corvane_test::TestMachine::demoSource() +
                                          "/c/WINDOWS/SYSTEM.REG");
}

void BM_InstallDemoDisk(benchmark::State& state) {
    corvane_test::TestMachine machine{corvane_test::TestMachine::demo()};
    machine.boot();
    CLauncherApp app;
    app.LoadAppTitle();
    if (!app.InitInstance()) {
        state.SkipWithError("the launcher did not start");
        return;
    }
    CSetupWnd* window = static_cast<CSetupWnd*>(app.m_pMainWnd);
    for (auto _ : state) {
        state.PauseTiming();
        machine.freshDemoC();
        // Otherwise the install's first fsync writes the fresh copy out too.
        sync();
        state.ResumeTiming();
        window->Install(TRUE);
        window->DeleteDeviceKeys("ControlFlags");
        window->DeleteDeviceKeys("USB ControlFlags");
        state.PauseTiming();
        const bool changed = installed(machine);
        state.ResumeTiming();
        if (!changed) {
            state.SkipWithError("the install changed nothing");
            break;
        }
    }
    state.SetLabel(std::string("sections COMMON, ") + app.GetReleaseTag() + ", USB INF");
    app.m_pMainWnd->DestroyWindow();
}
BENCHMARK(BM_InstallDemoDisk)->Unit(benchmark::kMicrosecond);

} // namespace
