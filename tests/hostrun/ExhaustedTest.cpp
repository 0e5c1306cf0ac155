// How a headless run ends when the program waits for input that never comes:
// checked in a child process, since the run ends the process.
#include "platform/emu/host/HostSession.h"
#include "platform/emu/user/WindowManager.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace corvane_test {
namespace {

LRESULT CALLBACK plainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// In the child: a window, the given script, and the program's message loop.
[[noreturn]] void runChild(const std::string& trace, const std::string& text, bool withSession) {
    TestMachine machine;
    machine.config().traceFile = trace;
    machine.config().clock = emu::ClockMode::Virtual;
    machine.boot();
    WNDCLASSA definition{};
    definition.lpfnWndProc = &plainProc;
    definition.lpszClassName = "Plain";
    RegisterClassA(&definition);
    HWND hwnd = CreateWindowExA(WS_EX_WINDOWEDGE, "Plain", "plain", 0x80C80000, 0, 0, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    emu::host::InputScript script;
    std::string error;
    if (!emu::host::InputScript::parse(text, script, error)) {
        _exit(100);
    }
    emu::host::HostSession session(std::move(script), nullptr,
                                   emu::host::HostSession::processEnds());
    if (withSession) {
        session.start();
    } else {
        emu::user::setIdleHandler(nullptr);
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    _exit(101); // the loop must not end by itself
}

int statusOf(const std::string& trace, const std::string& script, bool withSession) {
    pid_t child = fork();
    if (child == 0) {
        runChild(trace, script, withSession);
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
        const char* traced; // what the trace ends with
    };
    const Row rows[] = {
        {"", true, "ShowWindow(0x1, 5) = 0\nscript-exhausted\n"},
        {"move 5 5\nkey down\nwait 100\n", true, "ShowWindow(0x1, 5) = 0\nscript-exhausted\n"},
        {"close\n", true, "DestroyWindow(0x1) = 1\nscript-exhausted\n"},
        {"", false, "ShowWindow(0x1, 5) = 0\nscript-exhausted\n"},
    };
    for (const Row& row : rows) {
        std::string trace = dir / "trace.txt";
        EXPECT_EQ(statusOf(trace, row.script, row.withSession), 3) << row.script;
        std::string text = readHostFile(trace);
        std::string end = row.traced;
        ASSERT_GE(text.size(), end.size()) << text;
        EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
    }
}

} // namespace
} // namespace corvane_test
