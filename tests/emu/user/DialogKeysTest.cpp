#include "tests/support/UserFixture.h"

#include "platform/emu/kernel/SystemInfo.h"

#include <chrono>

namespace corvane_test {
namespace {

class DialogKeys : public UserFixture {
protected:
    void SetUp() override {
        UserFixture::SetUp();
        m_dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, kProbeClass, "In Process...",
                                   WS_POPUP | WS_CAPTION, 200, 200, 300, 120, nullptr, nullptr,
                                   nullptr, nullptr);
        m_ok = button("OK", IDOK, BS_DEFPUSHBUTTON, 20);
        m_cancel = button("&Cancel", IDCANCEL, BS_PUSHBUTTON, 110);
        m_other = button("&Details", 300, BS_PUSHBUTTON, 200);
        ShowWindow(m_dialog, SW_SHOW);
    }
    HWND button(const char* text, int id, DWORD kind, int x) {
        return CreateWindowExA(0, "Button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, x, 50,
                               75, 23, m_dialog, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                               nullptr, nullptr);
    }
    // The ids of the WM_COMMAND messages the dialog got, with BN_CLICKED and the button.
    std::vector<int> commands() const {
        std::vector<int> ids;
        for (const SeenMessage& m : seen(m_dialog, {WM_COMMAND})) {
            EXPECT_EQ(HIWORD(m.wParam), BN_CLICKED);
            EXPECT_EQ(reinterpret_cast<HWND>(m.lParam), GetDlgItem(m_dialog, LOWORD(m.wParam)));
            ids.push_back(LOWORD(m.wParam));
        }
        return ids;
    }
    HWND m_dialog = nullptr;
    HWND m_ok = nullptr;
    HWND m_cancel = nullptr;
    HWND m_other = nullptr;
};

TEST_F(DialogKeys, EnterEscapeMnemonicsTabAndClicksBecomeCommands) {
    struct Row {
        const char* script;
        std::vector<int> expected;
    };
    // Button clicks are in the main window's client area: the dialog is the
    // first top-level window, its client area starts at (203, 224).
    const std::vector<Row> rows = {
        {"key enter\n", {IDOK}},
        {"key escape\n", {IDCANCEL}},
        {"key c\n", {IDCANCEL}},
        {"key d\n", {300}},
        {"key tab\nkey enter\n", {IDCANCEL}},
        {"key tab\nkey tab\nkey space\n", {300}},
        {"click 57 61\n", {IDOK}},
        {"click 147 61\nkey escape\n", {IDCANCEL, IDCANCEL}},
    };
    for (const Row& row : rows) {
        SetFocus(m_ok);
        forget();
        runScript(row.script, m_dialog);
        EXPECT_EQ(commands(), row.expected) << row.script;
    }
    EXPECT_EQ(GetWindow(m_dialog, GW_CHILD), m_ok);
    EXPECT_EQ(GetWindow(m_ok, GW_HWNDNEXT), m_cancel);
}

TEST_F(DialogKeys, ARestartAcceptedEndsEveryMessageLoop) {
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));
    PostMessageA(m_dialog, WM_USER + 1, 0, 0);
    MSG message;
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
}

TEST_F(DialogKeys, AWaitOnTheRealClockLetsThatMuchTimePass) {
    m_machine.shutdown();
    m_machine.config().clock = emu::ClockMode::Real;
    m_machine.boot();
    auto start = std::chrono::steady_clock::now();
    DWORD ticks = GetTickCount();
    runScript("wait 150\n");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 150);
    EXPECT_GE(GetTickCount() - ticks, 150u);
}

} // namespace
} // namespace corvane_test
