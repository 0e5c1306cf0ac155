#include "platform/framework/AfxWin.h"

#include "platform/emu/user/HostInput.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// What the test windows' handlers saw, in order; kept outside the objects
// because some of them delete themselves.
std::vector<std::string> g_log;

void note(const char* format, long a = 0, long b = 0, long c = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c);
    g_log.emplace_back(line);
}

const RECT kProbeRect = {10, 20, 210, 120};

class CProbeWnd : public CWnd {
public:
    int m_createAnswer = 0;
    HWND m_hWndInCreate = nullptr;
    bool m_boundInCreate = false;

    BOOL Make(CWnd* pOwner = nullptr, const RECT& rect = kProbeRect,
              DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU) {
        return CreateEx(WS_EX_WINDOWEDGE, AfxRegisterWndClass(CS_DBLCLKS), "probe", style, rect,
                        pOwner, 0);
    }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct) {
        m_hWndInCreate = m_hWnd;
        m_boundInCreate = FromHandlePermanent(m_hWnd) == this;
        g_log.push_back(std::string("create ") + lpCreateStruct->lpszName);
        if (CWnd::OnCreate(lpCreateStruct) == -1) {
            return -1;
        }
        return m_createAnswer;
    }
    void OnMouseMove(UINT nFlags, CPoint point) {
        note("move %ld %ld %ld", nFlags, point.x, point.y);
    }
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
        note("keyup %ld %ld %ld", nChar, nRepCnt, nFlags);
    }
    void OnActivateApp(BOOL bActive, DWORD dwThreadID) {
        note("activateapp %ld %ld", bActive, dwThreadID);
    }
    int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message) {
        note("mouseactivate %ld %ld %ld", pDesktopWnd != nullptr, static_cast<int>(nHitTest),
             message);
        return MA_NOACTIVATE;
    }
    void OnCommandNumber(UINT nID) { note("command %ld", nID); }
    void OnNcDestroy() override {
        note("ncdestroy");
        CWnd::OnNcDestroy();
    }
    void PostNcDestroy() override { note("postncdestroy"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeWnd, CWnd)
ON_WM_CREATE()
ON_WM_MOUSEMOVE()
ON_WM_KEYUP()
ON_WM_ACTIVATEAPP()
ON_WM_MOUSEACTIVATE()
ON_COMMAND_RANGE(10, 20, OnCommandNumber)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

// Its own entries come first; the rest are found in the base's map.
class CProbeChild : public CProbeWnd {
protected:
    void OnMouseMove(UINT, CPoint point) { note("child move %ld %ld", point.x, point.y); }
    void OnFifteen() { note("fifteen"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CProbeChild, CProbeWnd)
ON_WM_MOUSEMOVE()
ON_COMMAND(15, OnFifteen)
END_MESSAGE_MAP()

bool g_selfDeleted = false;

class CSelfDeletingWnd : public CProbeWnd {
public:
    ~CSelfDeletingWnd() override { g_selfDeleted = true; }

protected:
    void PostNcDestroy() override { delete this; }
};

class FrameworkWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        m_machine.boot();
        // A loop that would wait for input ends instead of ending the test.
        emu::user::setIdleHandler([] { PostQuitMessage(99); });
    }

    corvane_test::TestMachine m_machine;
};

} // namespace

TEST_F(FrameworkWindow, CreateHandlerRunsOnTheBoundObjectBeforeCreateExReturns) {
    CProbeWnd wnd;
    ASSERT_TRUE(wnd.Make());
    ASSERT_NE(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.m_hWndInCreate, wnd.m_hWnd);
    EXPECT_TRUE(wnd.m_boundInCreate);
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    ASSERT_FALSE(g_log.empty());
    EXPECT_EQ(g_log.front(), "create probe");
}

TEST_F(FrameworkWindow, RefusedCreationUnbindsTheObject) {
    CProbeWnd wnd;
    wnd.m_createAnswer = -1;
    EXPECT_FALSE(wnd.Make());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"create probe", "ncdestroy", "postncdestroy"}));
    // The object can make a window again.
    wnd.m_createAnswer = 0;
    EXPECT_TRUE(wnd.Make());
}

TEST_F(FrameworkWindow, MapEntriesUnpackTheirMessages) {
    CProbeWnd wnd;
    ASSERT_TRUE(wnd.Make());
    HWND other = wnd.m_hWnd;
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* logged; // nullptr: no handler may run
        LRESULT result;
    } rows[] = {
        {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 7), "move 1 -5 7", 0},
        {WM_MOUSEMOVE, 0, MAKELPARAM(300, 0x7fff), "move 0 300 32767", 0},
        {WM_KEYUP, VK_DOWN, MAKELPARAM(1, 0xC150), "keyup 40 1 49488", 0},
        {WM_ACTIVATEAPP, 1, 77, "activateapp 1 77", 0},
        {WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(other), MAKELPARAM(HTERROR, WM_LBUTTONDOWN),
         "mouseactivate 1 -2 513", MA_NOACTIVATE},
        {WM_COMMAND, 10, 0, "command 10", 0},
        {WM_COMMAND, 20, 0, "command 20", 0},
        {WM_COMMAND, MAKEWPARAM(14, 1), 0, "command 14", 0}, // accelerator
        {WM_COMMAND, 9, 0, nullptr, 0},
        {WM_COMMAND, 21, 0, nullptr, 0},
        {WM_COMMAND, MAKEWPARAM(12, 5), 0, nullptr, 0}, // a control's notification
        {WM_USER + 7, 0, 0, nullptr, 0},
    };
    for (const auto& row : rows) {
        g_log.clear();
        const LRESULT result = wnd.SendMessage(row.message, row.wParam, row.lParam);
        if (row.logged != nullptr) {
            EXPECT_EQ(g_log, std::vector<std::string>{row.logged});
        } else {
            EXPECT_TRUE(g_log.empty()) << g_log.front();
        }
        EXPECT_EQ(result, row.result) << "message " << row.message;
    }
}

TEST_F(FrameworkWindow, MessagesOutsideTheMapGetDefaultProcessing) {
    CProbeWnd wnd;
    ASSERT_TRUE(wnd.Make());
    HWND hWnd = wnd.m_hWnd;
    g_log.clear();
    // The map has no WM_CLOSE entry: DefWindowProcA destroys the window.
    wnd.SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(g_log, (std::vector<std::string>{"ncdestroy", "postncdestroy"}));
}

TEST_F(FrameworkWindow, DerivedMapEntriesComeBeforeTheBaseEntries) {
    CProbeChild wnd;
    ASSERT_TRUE(wnd.Make());
    g_log.clear();
    wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    wnd.SendMessage(WM_COMMAND, 15);
    wnd.SendMessage(WM_COMMAND, 16);
    wnd.SendMessage(WM_KEYUP, VK_UP, MAKELPARAM(2, 0));
    EXPECT_EQ(g_log, (std::vector<std::string>{"child move 3 4", "fifteen", "command 16",
                                               "keyup 38 2 0"}));
}

TEST_F(FrameworkWindow, DestroyingTheMainWindowEndsTheLoop) {
    CWinApp app("probe app");
    CProbeWnd main;
    CProbeWnd other;
    ASSERT_TRUE(main.Make());
    ASSERT_TRUE(other.Make());
    app.m_pMainWnd = &main;

    ASSERT_TRUE(other.DestroyWindow());
    EXPECT_EQ(app.m_pMainWnd, &main);

    ASSERT_TRUE(main.DestroyWindow());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(main.m_hWnd, nullptr);
    MSG msg = {};
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(FrameworkWindow, AWindowObjectCanDeleteItselfWhenItsWindowGoes) {
    g_selfDeleted = false;
    auto* wnd = new CSelfDeletingWnd;
    ASSERT_TRUE(wnd->Make());
    HWND hWnd = wnd->m_hWnd;
    EXPECT_TRUE(DestroyWindow(hWnd));
    EXPECT_TRUE(g_selfDeleted);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_EQ(g_log.back(), "ncdestroy");

    // Refused creation: the object is gone by the time CreateEx answers.
    g_selfDeleted = false;
    wnd = new CSelfDeletingWnd;
    wnd->m_createAnswer = -1;
    EXPECT_FALSE(wnd->Make());
    EXPECT_TRUE(g_selfDeleted);
}

TEST_F(FrameworkWindow, AnObjectDestroysTheWindowItOwns) {
    CWinApp app("probe app");
    HWND hWnd = nullptr;
    {
        CProbeWnd wnd;
        ASSERT_TRUE(wnd.Make());
        hWnd = wnd.m_hWnd;
        app.m_pMainWnd = &wnd;
        g_log.clear();
    }
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    // Unbound before its window went: no handler ran on the dying object.
    EXPECT_TRUE(g_log.empty());
}

TEST_F(FrameworkWindow, ForeignWindowsGetTemporaryObjects) {
    HWND hWnd = CreateWindowExA(0, AfxRegisterWndClass(0), "raw", WS_POPUP, 0, 0, 50, 50, nullptr,
                                nullptr, AfxGetInstanceHandle(), nullptr);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    CWnd* temporary = CWnd::FromHandle(hWnd);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary->m_hWnd, hWnd);
    EXPECT_EQ(CWnd::FromHandle(hWnd), temporary);
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    CWnd::DeleteTempMap();
    EXPECT_TRUE(IsWindow(hWnd)); // a temporary object owns nothing

    {
        CWnd owner;
        ASSERT_TRUE(owner.Attach(hWnd));
        CWnd second;
        EXPECT_FALSE(second.Attach(hWnd));
        EXPECT_EQ(CWnd::FromHandle(hWnd), &owner);
    }
    EXPECT_FALSE(IsWindow(hWnd));
}

TEST_F(FrameworkWindow, CentresOverTheOwnerOrInTheWorkArea) {
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    const int workWidth = work.right - work.left;
    const int workHeight = work.bottom - work.top;

    CProbeWnd owner;
    ASSERT_TRUE(owner.Make(nullptr, RECT{100, 100, 400, 300}));
    CProbeWnd owned;
    ASSERT_TRUE(owned.Make(&owner, RECT{0, 0, 100, 50}));
    CProbeWnd lone;
    ASSERT_TRUE(lone.Make(nullptr, RECT{0, 0, 200, 100}));
    CProbeWnd huge;
    ASSERT_TRUE(huge.Make(nullptr, RECT{0, 0, workWidth + 100, workHeight + 60}));

    const auto topLeftAfterCentring = [](CWnd& wnd) {
        wnd.CenterWindow();
        CRect rect;
        wnd.GetWindowRect(&rect);
        return rect.TopLeft();
    };

    EXPECT_EQ(topLeftAfterCentring(lone),
              CPoint(work.left + (workWidth - 200) / 2, work.top + (workHeight - 100) / 2));
    // The owner is hidden: the work area counts.
    EXPECT_EQ(topLeftAfterCentring(owned),
              CPoint(work.left + (workWidth - 100) / 2, work.top + (workHeight - 50) / 2));
    owner.ShowWindow(SW_SHOWNOACTIVATE);
    EXPECT_EQ(topLeftAfterCentring(owned), CPoint(200, 175));
    // Too big for the work area: its top-left corner stays in view.
    EXPECT_EQ(topLeftAfterCentring(huge), CPoint(work.left, work.top));

    CRect size;
    lone.GetWindowRect(&size);
    EXPECT_EQ(size.Width(), 200);
    EXPECT_EQ(size.Height(), 100);
}
