#include "platform/framework/AfxWin.h"

#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/user/HostInput.h"
#include "resources/resource.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class CPlainWnd : public CWnd {
public:
    BOOL Make() {
        return CreateEx(0, AfxRegisterWndClass(0), "plain", WS_POPUP | WS_CAPTION,
                        RECT{0, 0, 100, 80}, nullptr, 0);
    }
};

class CProbeApp : public CWinApp {
public:
    explicit CProbeApp(LPCSTR lpszAppName = nullptr) : CWinApp(lpszAppName) {}

    BOOL m_initAnswer = TRUE;
    int m_quitCode = -1;
    bool m_exitRan = false;
    std::unique_ptr<CPlainWnd> m_window;

    BOOL InitInstance() override {
        if (m_quitCode >= 0) {
            PostQuitMessage(m_quitCode);
            return m_initAnswer;
        }
        m_window = std::make_unique<CPlainWnd>();
        if (!m_window->Make()) {
            return FALSE;
        }
        m_pMainWnd = m_window.get();
        m_window->PostMessage(WM_CLOSE);
        return m_initAnswer;
    }

    int ExitInstance() override {
        m_exitRan = true;
        return CWinApp::ExitInstance() + 1000;
    }
};

class FrameworkApp : public ::testing::Test {
protected:
    void SetUp() override {
        m_machine.boot();
        emu::user::setIdleHandler([] { PostQuitMessage(99); });
    }

    int runProgram() {
        return AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOW);
    }

    std::string trace() const { return m_machine.traceText(); }

    corvane_test::TestMachine m_machine{corvane_test::TestMachine::traced()};
};

// Message boxes wait for a key: Enter presses their default button.
void answerWithEnter() {
    emu::user::setIdleHandler([] {
        emu::user::postKey(VK_RETURN, true);
        emu::user::postKey(VK_RETURN, false);
    });
}

} // namespace

TEST_F(FrameworkApp, RunsTheLoopUntilTheMainWindowGoes) {
    CProbeApp app;
    EXPECT_EQ(runProgram(), 1000);
    EXPECT_TRUE(app.m_exitRan);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.m_window->m_hWnd, nullptr);
    // Constructed without a name: the title comes from the string table.
    EXPECT_STREQ(app.m_pszAppName, "corvane");
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleA(nullptr));
}

TEST_F(FrameworkApp, FailedStartSkipsTheLoopButNotTheExit) {
    CProbeApp app("given name");
    app.m_initAnswer = FALSE;
    EXPECT_EQ(runProgram(), 1000);
    EXPECT_TRUE(app.m_exitRan);
    // The posted WM_CLOSE was never dispatched.
    ASSERT_NE(app.m_window->m_hWnd, nullptr);
    EXPECT_TRUE(IsWindow(app.m_window->m_hWnd));
    EXPECT_STREQ(app.m_pszAppName, "given name");
}

TEST_F(FrameworkApp, ExitCodeIsWhatTheQuitMessageCarried) {
    CProbeApp app;
    app.m_quitCode = 7;
    EXPECT_EQ(runProgram(), 1007);
}

TEST_F(FrameworkApp, WithoutAnApplicationObjectNothingRuns) {
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(runProgram(), -1);
}

TEST_F(FrameworkApp, MessageBoxesCarryTheTitleAndTheMainWindow) {
    CWinApp app;
    app.LoadAppTitle();
    answerWithEnter();

    // No main window yet: no owner; no icon asked for: the exclamation mark.
    EXPECT_EQ(AfxMessageBox(IDS_NO_LAYOUT, MB_OK), IDOK);

    CPlainWnd main;
    ASSERT_TRUE(main.Make());
    app.m_pMainWnd = &main;
    EXPECT_EQ(AfxMessageBox(IDS_QUIT, MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox(IDS_FILES_MISSING, MB_ICONSTOP), IDOK);
    EXPECT_EQ(main.MessageBox("direct"), IDOK);

    char owner[32];
    std::snprintf(owner, sizeof owner, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(main.m_hWnd)));
    const std::string log = trace();
    EXPECT_NE(log.find("MessageBoxA(0x0, \"Couldn't open layout.ini file.\\nPlease make sure it is "
                       "in the same directory as setup.exe.\", \"corvane\", 48) = 1"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(std::string("MessageBoxA(") + owner +
                       ", \"Quit this program?\", \"corvane\", 36) = 6"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"corvane\", 16) = 1"), std::string::npos) << log;
    EXPECT_NE(log.find(std::string("MessageBoxA(") + owner + ", \"direct\", \"corvane\", 0) = 1"),
              std::string::npos)
        << log;
}

TEST_F(FrameworkApp, StringsLoadWhateverTheirLength) {
    emu::kernel::ModuleResources resources;
    const std::string longText(5000, 'L');
    const std::string fillsFirstBuffer(255, 'F');
    resources.strings[1] = longText;
    resources.strings[2] = fillsFirstBuffer;
    resources.strings[3] = "short";
    emu::kernel::setModuleResources(resources);

    CString s("old");
    EXPECT_TRUE(s.LoadString(1));
    EXPECT_EQ(std::string(s), longText);
    EXPECT_TRUE(s.LoadString(2));
    EXPECT_EQ(std::string(s), fillsFirstBuffer);
    EXPECT_TRUE(s.LoadString(3));
    EXPECT_EQ(std::string(s), "short");
    EXPECT_FALSE(s.LoadString(4));
    EXPECT_TRUE(s.IsEmpty());
}

TEST_F(FrameworkApp, ComparesWithoutRegardToCase) {
    const CString s("Layout.INI");
    EXPECT_EQ(s.CompareNoCase("layout.ini"), 0);
    EXPECT_LT(s.CompareNoCase("MENU"), 0);
    EXPECT_GT(s.CompareNoCase("aaa"), 0);
    EXPECT_GT(s.CompareNoCase(nullptr), 0);
    EXPECT_EQ(CString().CompareNoCase(""), 0);
    EXPECT_NE(s.Compare("layout.ini"), 0);
}
