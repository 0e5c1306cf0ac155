// The command handler run in the test's own process, where the machine's
// clock and the message queue can be watched directly.
#include "app/CLauncherApp.h"
#include "platform/emu/gdi/FrameBuffer.h"
#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/emu/user/HostInput.h"
#include "platform/emu/user/controls/AnimateControl.h"
#include "platform/emu/user/controls/AnimationPlayer.h"
#include "platform/framework/CWnd.h"
#include "resources/resource.h"
#include "tests/support/ScriptedInput.h"
#include "tests/support/TestDisk.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

using namespace corvane_test;

namespace {

class InProcess : public ::testing::Test {
protected:
    // Boots a machine on the test disk with the virtual clock starting at
    // tickStart, starts the launcher and answers what the script answers.
    void start(DWORD tickStart, const std::string& script) {
        machine.config().drives['C'] = disk.cDrive();
        machine.config().drives['D'] = disk.disk();
        machine.config().clock = emu::ClockMode::Virtual;
        machine.config().tickStart = tickStart;
        machine.config().traceFile = traceDir / "trace.txt";
        machine.boot();
        session = startScriptedInput(script, true);
        app.LoadAppTitle();
        ASSERT_TRUE(app.InitInstance());
        window = app.m_pMainWnd->m_hWnd;
    }
    // Runs the message loop until the program waits for input the script
    // does not have.
    void runUntilIdle() {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
    }
    int traceCount(const std::string& prefix) {
        emu::Trace::close();
        std::istringstream trace(readHostFile(traceDir / "trace.txt"));
        int count = 0;
        for (std::string line; std::getline(trace, line);) {
            count += line.rfind(prefix, 0) == 0;
        }
        return count;
    }
    void TearDown() override {
        if (app.m_pMainWnd != nullptr) {
            app.m_pMainWnd->DestroyWindow();
        }
        emu::Trace::close();
    }

    TestDisk disk;
    TempDir traceDir;
    TestMachine machine;
    std::unique_ptr<emu::host::HostSession> session;
    CLauncherApp app;
    HWND window = nullptr;
};

} // namespace

TEST_F(InProcess, ACommandPostedDuringAnotherIsRefused) {
    // One answer: the restart question of the one install that runs.
    start(0, "key n\n");
    // Both are queued before the first runs; the second is dispatched by the
    // first one's message box.
    PostMessageA(window, WM_COMMAND, 100, 0);
    PostMessageA(window, WM_COMMAND, 100, 0);
    runUntilIdle();
    EXPECT_EQ(traceCount("CreateDialogParamA("), 1);
    EXPECT_EQ(traceCount("MessageBoxA(0x1, \"This program has installed"), 1);
}

// The clock starts where it starts: at 0, a little before the 32-bit
// counter wraps, and on its very last value.
class FiveSeconds : public InProcess, public ::testing::WithParamInterface<DWORD> {};

TEST_P(FiveSeconds, TheProgressWindowStaysFiveSecondsWhereverTheClockStands) {
    start(GetParam(), "");
    DWORD before = GetTickCount();
    PostMessageA(window, WM_COMMAND, 7, 0);
    runUntilIdle();
    DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 5000u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_EQ(traceCount("CreateDialogParamA("), 1);
    EXPECT_EQ(traceCount("DestroyWindow(0x2)"), 1);
}

INSTANTIATE_TEST_SUITE_P(TickStarts, FiveSeconds, ::testing::Values(0u, 0xFFFFF000u, 0xFFFFFFFFu));

namespace {

COLORREF screenPixel(POINT at) {
    emu::gdi::FrameBuffer& surface = emu::gdi::screen();
    std::lock_guard<std::mutex> lock(surface.mutex());
    return surface.at(at.x, at.y);
}

// Another copy's hold on the lock: the file opened without sharing.
HANDLE holdLock() {
    return CreateFileA("C:\\WINDOWS\\inf\\~CORVANE.LCK", GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

// While another copy holds the lock, the waiting copy's window keeps
// painting: a window put over it and taken away again leaves the launcher
// drawn anew, not the other window's pixels. The caption says it waits. After
// 60 seconds of the virtual clock it gives up with a stop message and has
// changed nothing; a lock released within the limit lets the install run.
class LockWait : public InProcess, public ::testing::WithParamInterface<bool> {};

TEST_P(LockWait, TheWaitingCopyKeepsItsWindowAliveAndChangesNothingUnlessTheLockComes) {
    bool released = GetParam();
    start(0, released ? "key n\n" : "key enter\n");
    HANDLE held = holdLock();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::map<std::string, std::string> before = treeContents(disk.cDrive());

    WNDCLASSA cover{};
    cover.lpfnWndProc = DefWindowProcA;
    cover.hInstance = GetModuleHandleA(nullptr);
    cover.hbrBackground = CreateSolidBrush(RGB(255, 0, 255));
    cover.lpszClassName = "Cover";
    ASSERT_NE(RegisterClassA(&cover), 0);
    RECT frame{};
    GetWindowRect(window, &frame);
    POINT middle{(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
    // The launcher drawn once before the command.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
    COLORREF shown = screenPixel(middle);

    int polls = 0;
    HWND coverWindow = nullptr;
    COLORREF covered = 0;
    COLORREF uncovered = 0;
    emu::user::setPollHandler([&] {
        ++polls;
        if (polls == 1) {
            coverWindow =
                CreateWindowExA(0, "Cover", "", WS_POPUP | WS_VISIBLE, frame.left, frame.top,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        } else if (polls == 20) {
            covered = screenPixel(middle);
            DestroyWindow(coverWindow);
        } else if (polls == 40) {
            uncovered = screenPixel(middle);
            if (released) {
                CloseHandle(held);
                held = INVALID_HANDLE_VALUE;
            }
        }
    });
    DWORD started = GetTickCount();
    PostMessageA(window, WM_COMMAND, 100, 0);
    runUntilIdle();
    DWORD waited = GetTickCount() - started;
    emu::user::setPollHandler(nullptr);
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }

    EXPECT_GE(polls, 40);
    EXPECT_NE(shown, RGB(255, 0, 255));
    EXPECT_EQ(covered, RGB(255, 0, 255)) << "the other window was not drawn";
    EXPECT_EQ(uncovered, shown) << "the launcher was not drawn again";
    EXPECT_EQ(traceCount("SetWindowTextA(0x1, \"Waiting for another copy of this program...\")"),
              1);
    EXPECT_EQ(traceCount("SetWindowTextA(0x1, \"Quentor - Test Disk\") = 1"), 2)
        << "the caption is put back";
    if (released) {
        EXPECT_LT(waited, 60000u);
        EXPECT_EQ(traceCount("MessageBoxA(0x1, \"This program has installed"), 1);
        EXPECT_EQ(readHostFile(disk.infPath("ONE.BAK")), TestDisk::kOneInf);
    } else {
        EXPECT_GE(waited, 60000u);
        EXPECT_LT(waited, 61000u);
        EXPECT_EQ(traceCount("MessageBoxA(0x1, \"This program couldn't proceed because another "
                             "copy"),
                  1);
        EXPECT_EQ(traceCount("CreateDialogParamA("), 0);
        EXPECT_EQ(traceCount("CopyFileA("), 0);
        EXPECT_EQ(treeContents(disk.cDrive()), before);
    }
}

INSTANTIATE_TEST_SUITE_P(HeldOrReleased, LockWait, ::testing::Values(false, true));

namespace {

// Whether a copy of the program holds the update lock: its file is open
// without sharing. The program's last error is left as it was.
bool lockHeld() {
    DWORD lastError = GetLastError();
    HANDLE probe = CreateFileA("C:\\WINDOWS\\inf\\~CORVANE.LCK", GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool held = probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
    }
    SetLastError(lastError);
    return held;
}

struct Asking {
    const char* what;
    UINT command;
    const char* answers;
    const char* box; // the start of the message's text in the trace
    void (*prepare)(TestDisk& disk);
};

void PrintTo(const Asking& row, std::ostream* out) {
    *out << row.what;
}

class UserAsked : public InProcess, public ::testing::WithParamInterface<Asking> {};

} // namespace

// A message that waits for the user may wait for minutes; another copy of the
// program must not wait for this one's lock meanwhile. Whenever a message box
// waits for an answer, the lock is free.
TEST_P(UserAsked, NoMessageWaitsForTheUserWhileTheLockIsHeld) {
    const Asking& row = GetParam();
    if (row.prepare != nullptr) {
        row.prepare(disk);
    }
    start(0, row.answers);
    int asked = 0;
    int askedHolding = 0;
    session->setBeforeEachStep([&] {
        HWND active = emu::user::activeWindow();
        if (active == nullptr || active == window) {
            return; // the launcher waits for its menu
        }
        ++asked;
        askedHolding += lockHeld();
    });
    PostMessageA(window, WM_COMMAND, row.command, 0);
    runUntilIdle();
    session->setBeforeEachStep(nullptr);
    EXPECT_EQ(traceCount(std::string("MessageBoxA(0x1, \"") + row.box), 1);
    EXPECT_GT(asked, 0) << "no message waited for the user";
    EXPECT_EQ(askedHolding, 0) << "the lock was held while the user was asked";
    EXPECT_FALSE(lockHeld());
    EXPECT_FALSE(disk.infExists("~CORVANE.LCK"));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UserAsked,
    ::testing::Values(
        Asking{"restart", 100, "key n\n", "This program has installed", nullptr},
        Asking{"nothing to uninstall", 101, "key enter\n", "There were no uninstall files",
               nullptr},
        Asking{"files missing", 100, "key enter\n", "This program couldn't proceed because of",
               [](TestDisk& disk) { std::remove((disk.disk() + "/ONE.QTR").c_str()); }},
        Asking{"registry failed", 100, "key enter\n", "The Windows registry could not be changed",
               [](TestDisk& disk) {
                   writeHostFile(disk.registryPath(),
                                 "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Enum\r\n");
               }}),
    [](const ::testing::TestParamInfo<Asking>& info) {
        std::string name = info.param.what;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST_F(InProcess, AnInstallWhoseMergedCopyIsCutSaysItIsIncompleteAndLeavesTheFile) {
    // Profile functions that keep only the first 4,096 bytes of a file, as
    // Windows 95's may: ONE.INF fits, so they read it whole, but its merged
    // copy does not, and the section write cuts it.
    std::string one = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n[Devices]\r\n";
    for (int i = 0; one.size() < 4000; ++i) {
        one += "%Old" + std::to_string(i) + "%=old_install,PCI\\VEN_7E57&DEV_" +
               std::to_string(1000 + i) + "\r\n";
    }
    ASSERT_LT(one.size(), 4096u);
    writeHostFile(disk.infPath("ONE.INF"), one);
    machine.config().profileFileLimit = 4096;
    // One answer: the incomplete message.
    start(0, "key enter\n");
    PostMessageA(window, WM_COMMAND, 100, 0);
    runUntilIdle();
    EXPECT_EQ(traceCount("MessageBoxA(0x1, \"The update is incomplete"), 1);
    EXPECT_EQ(traceCount("MessageBoxA(0x1, \"This program has installed"), 0);
    EXPECT_EQ(traceCount("RegDeleteKeyA("), 0);
    // ONE.INF is as it was, with no backup that uninstall would put back
    // and no work file; the small files are merged.
    EXPECT_EQ(disk.inf("ONE.INF"), one);
    EXPECT_FALSE(disk.infExists("ONE.BAK"));
    EXPECT_NE(disk.inf("TWO.INF").find("release=950"), std::string::npos);
    EXPECT_EQ(disk.inf("TWO.BAK"), TestDisk::kTwoInf);
    EXPECT_EQ(folderEntries(disk.cDrive() + "/WINDOWS/INF"),
              (std::vector<std::string>{"ONE.INF", "TWO.BAK", "TWO.INF", "USB.BAK", "USB.INF"}));
}

namespace {

struct Capture {
    int frame; // the clip's
    std::string png;
};

// Screenshots of an install of the demo disk on the virtual clock, the clip's
// thread held back for hostDelay before its first step. The program pumps no
// messages while the progress window shows, so the screenshots are taken
// when the program's thread has stepped the bar past a virtual tick.
std::vector<Capture> installScreenshots(std::chrono::milliseconds hostDelay) {
    TestMachine machine{TestMachine::demo()};
    machine.config().clock = emu::ClockMode::Virtual;
    machine.boot();
    TempDir shots;
    std::vector<Capture> captures;
    const std::vector<DWORD> ticks = {1500, 2500, 3500};
    emu::user::AnimationPlayer::setFirstStepHook(
        [hostDelay] { std::this_thread::sleep_for(hostDelay); });
    {
        std::unique_ptr<emu::host::HostSession> session =
            startScriptedInput("wait 300\nkey enter\nkey n\n", true);
        const std::thread::id programThread = std::this_thread::get_id();
        emu::user::setDrawnHandler([&] {
            if (std::this_thread::get_id() != programThread || captures.size() == ticks.size() ||
                *emu::kernel::virtualTick() < ticks[captures.size()]) {
                return;
            }
            emu::user::catchUpAnimations();
            std::string file = shots / (std::to_string(captures.size()) + ".png");
            std::string error;
            EXPECT_TRUE(emu::host::Screenshot::write(file, error)) << error;
            HWND clip = GetDlgItem(GetActiveWindow(), 1001);
            captures.push_back({emu::user::AnimateControl::currentFrame(clip), readHostFile(file)});
        });
        CLauncherApp app;
        app.LoadAppTitle();
        EXPECT_TRUE(app.InitInstance());
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        emu::user::setDrawnHandler(nullptr);
        if (app.m_pMainWnd != nullptr) {
            app.m_pMainWnd->DestroyWindow();
        }
    }
    emu::user::AnimationPlayer::setFirstStepHook(nullptr);
    return captures;
}

} // namespace

// The virtual clock gives a run the same screenshots, byte for byte, however
// late the host lets the clip's thread start.
TEST(ScriptedRun, TakesTheSameScreenshotsHoweverLateTheClipsThreadStarts) {
    const std::vector<Capture> atOnce = installScreenshots(std::chrono::milliseconds(0));
    ASSERT_EQ(atOnce.size(), 3u);
    // The clip plays in them, a different frame in each.
    EXPECT_GE(atOnce[0].frame, 0);
    EXPECT_NE(atOnce[0].frame, atOnce[1].frame);
    EXPECT_NE(atOnce[1].frame, atOnce[2].frame);
    const std::vector<Capture> late = installScreenshots(std::chrono::milliseconds(300));
    ASSERT_EQ(late.size(), 3u);
    for (size_t i = 0; i < late.size(); ++i) {
        EXPECT_EQ(late[i].frame, atOnce[i].frame) << "screenshot " << i;
        EXPECT_TRUE(late[i].png == atOnce[i].png) << "screenshot " << i;
    }
}
