// A command that arrives while another one is still running (its message box
// pumps messages) must not start a second install inside the first.
#include "app/CLauncherApp.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/framework/CWnd.h"
#include "tests/support/ScriptedInput.h"
#include "tests/support/TestDisk.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace corvane_test;

TEST(Reentry, ACommandPostedDuringAnotherIsRefused) {
    TestDisk disk;
    TempDir traceDir;
    TestMachine machine;
    machine.config().drives['C'] = disk.cDrive();
    machine.config().drives['D'] = disk.disk();
    machine.config().clock = emu::ClockMode::Virtual;
    machine.config().traceFile = traceDir / "trace.txt";
    machine.boot();
    // One answer: the restart question of the one install that runs.
    auto session = startScriptedInput("key n\n", true);
    {
        CLauncherApp app;
        app.LoadAppTitle();
        ASSERT_TRUE(app.InitInstance());
        HWND window = app.m_pMainWnd->m_hWnd;
        // Both are queued before the first runs; the second is dispatched by
        // the first one's message box.
        PostMessageA(window, WM_COMMAND, 100, 0);
        PostMessageA(window, WM_COMMAND, 100, 0);
        // The loop ends when the program waits for input after the script.
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        app.m_pMainWnd->DestroyWindow();
    }
    emu::Trace::close();
    std::istringstream trace(readHostFile(traceDir / "trace.txt"));
    int dialogs = 0;
    int questions = 0;
    for (std::string line; std::getline(trace, line);) {
        dialogs += line.rfind("CreateDialogIndirectParamA(", 0) == 0;
        questions += line.rfind("MessageBoxA(0x1, \"This program has installed", 0) == 0;
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(questions, 1);
}
