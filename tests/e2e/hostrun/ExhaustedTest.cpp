// How a headless run ends when the program waits for input that never comes:
// checked in a child process, since the run ends the process.
#include "platform/emu/host/HostSession.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

namespace corvane_test {
namespace {

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Asks a question while the window is being made.
LRESULT CALLBACK askingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        MessageBoxA(hwnd, "Go on?", "plain", MB_YESNO);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// In the child: the given script, a window, and the program's message loop.
[[noreturn]] void runChild(const std::string& trace, const std::string& text, bool withSession,
                           bool askOnCreate) {
    TestMachine machine;
    machine.config().traceFile = trace;
    machine.config().clock = emu::ClockMode::Virtual;
    machine.boot();
    emu::host::InputScript script;
    std::string error;
    if (!emu::host::InputScript::parse(text, script, error)) {
        _exit(100);
    }
    emu::host::HostSession session(std::move(script), nullptr,
                                   emu::host::HostSession::processEnds());
    if (withSession) {
        session.start();
    } // else the session never starts: the machine has no input source
    WNDCLASSA definition{};
    definition.lpfnWndProc = askOnCreate ? &askingProc : &plainProc;
    definition.lpszClassName = "Plain";
    RegisterClassA(&definition);
    HWND hwnd = CreateWindowExA(WS_EX_WINDOWEDGE, "Plain", "plain", 0x80C80000, 0, 0, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    _exit(101); // the loop must not end by itself
}

int statusOf(const std::string& trace, const std::string& script, bool withSession,
             bool askOnCreate) {
    pid_t child = fork();
    if (child == 0) {
        // The child ends without its destructors: its machine's folders go
        // beside the trace, into the test's own folder.
        std::string folder = trace.substr(0, trace.rfind('/'));
        setenv("TMPDIR", folder.c_str(), 1);
        runChild(trace, script, withSession, askOnCreate);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ScriptExhausted, AHeadlessRunWaitingForMoreInputEndsWithStatusThree) {
    TempDir dir;
    struct Row {
        const char* script;
        bool withSession;
        bool askOnCreate;
        const char* traced; // what the trace ends with
    };
    const Row rows[] = {
        {"", true, false, "ShowWindow(0x1, 5) = 0\nscript-exhausted in GetMessageA\n"},
        {"move 5 5\nkey down\nwait 100\n", true, false,
         "ShowWindow(0x1, 5) = 0\nscript-exhausted in GetMessageA\n"},
        {"close\n", true, false, "DestroyWindow(0x1) = 1\nscript-exhausted in GetMessageA\n"},
        {"", false, false, "ShowWindow(0x1, 5) = 0\nscript-exhausted in GetMessageA\n"},
        // The question waits inside the window's creation: both calls are
        // still running, and are written innermost first.
        {"key tab\n", true, true,
         "MessageBoxA(0x1, \"Go on?\", \"plain\", 4) = ...\n"
         "CreateWindowExA(256, \"Plain\", \"plain\", 2160590848, 0, 0, 300, 200, 0x0, 0x0, 0x0, "
         "0x0) = ...\nscript-exhausted in MessageBoxA\n"},
        {"", false, true,
         "MessageBoxA(0x1, \"Go on?\", \"plain\", 4) = ...\n"
         "CreateWindowExA(256, \"Plain\", \"plain\", 2160590848, 0, 0, 300, 200, 0x0, 0x0, 0x0, "
         "0x0) = ...\nscript-exhausted in MessageBoxA\n"},
    };
    for (const Row& row : rows) {
        std::string trace = dir / "trace.txt";
        EXPECT_EQ(statusOf(trace, row.script, row.withSession, row.askOnCreate), 3) << row.script;
        std::string text = readHostFile(trace);
        std::string end = row.traced;
        ASSERT_GE(text.size(), end.size()) << text;
        EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
    }
}

} // namespace
} // namespace corvane_test
