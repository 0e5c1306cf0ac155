#include "tests/support/UserFixture.h"

namespace corvane_test {
namespace {

using Input = UserFixture;

TEST_F(Input, ShowingActivatesAndGivesFocusThenAnotherWindowTakesThemOver) {
    HWND first = topLevel(10, 10, 300, 200);
    HWND second = topLevel(400, 10, 300, 200);
    const std::vector<UINT> watched{WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS,
                                    WM_KILLFOCUS};
    forget();
    ShowWindow(first, SW_SHOW);
    EXPECT_EQ(seenKinds(first, watched),
              (std::vector<UINT>{WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}));
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), first);
    forget();
    ShowWindow(second, SW_SHOW);
    EXPECT_EQ(seenKinds(first, watched),
              (std::vector<UINT>{WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS}));
    auto activate = seen(second, {WM_ACTIVATE});
    ASSERT_EQ(activate.size(), 1u);
    EXPECT_EQ(LOWORD(activate[0].wParam), WA_ACTIVE);
    EXPECT_EQ(reinterpret_cast<HWND>(activate[0].lParam), first);
    EXPECT_EQ(GetFocus(), second);

    // A click on the inactive window asks it, then activates it as a click does.
    forget();
    runScript("click 20 20\n");
    auto mouseActivate = seen(first, {WM_MOUSEACTIVATE});
    ASSERT_EQ(mouseActivate.size(), 1u);
    EXPECT_EQ(LOWORD(mouseActivate[0].lParam), HTCLIENT);
    EXPECT_EQ(HIWORD(mouseActivate[0].lParam), WM_LBUTTONDOWN);
    auto clickActivate = seen(first, {WM_ACTIVATE});
    ASSERT_EQ(clickActivate.size(), 1u);
    EXPECT_EQ(LOWORD(clickActivate[0].wParam), WA_CLICKACTIVE);
    EXPECT_EQ(GetActiveWindow(), first);
    auto down = seen(first, {WM_LBUTTONDOWN});
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].lParam, MAKELPARAM(20, 20));
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(MK_LBUTTON));

    // Hiding the active window hands activation on.
    forget();
    ShowWindow(first, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), second);
}

TEST_F(Input, DoubleClicksNeedTheClassStyleAndComeWithinTimeAndPlace) {
    struct Row {
        const char* windowClass;
        const char* script;
        std::vector<UINT> expected;
    };
    const std::vector<Row> rows = {
        {kProbeClass,
         "click 50 50\nclick 51 52\n",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        {kPlainClass,
         "click 50 50\nclick 50 50\n",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {kProbeClass,
         "click 50 50\nwait 600\nclick 50 50\n",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {kProbeClass,
         "click 50 50\nclick 60 50\n",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {kProbeClass,
         "click 50 50\nclick 50 50\nclick 50 50\n",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_LBUTTONDOWN,
          WM_LBUTTONUP}},
    };
    for (const Row& row : rows) {
        HWND hwnd = topLevel(100, 100, 300, 200, "clicks", row.windowClass);
        ShowWindow(hwnd, SW_SHOW);
        forget();
        runScript(row.script);
        EXPECT_EQ(seenKinds(hwnd, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK}), row.expected)
            << row.windowClass << ": " << row.script;
        DestroyWindow(hwnd);
    }
}

TEST_F(Input, KeysGoToTheFocusWindowWithPointerMovesInClientCoordinates) {
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    forget();
    runScript("move 7 9\nkey down\nkey enter\nkey q\n");
    auto moves = seen(hwnd, {WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(7, 9));
    EXPECT_EQ(moves[0].wParam, 0u);
    std::vector<SeenMessage> keys = seen(hwnd, {WM_KEYDOWN, WM_KEYUP, WM_CHAR});
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const SeenMessage& m : keys) {
        got.emplace_back(m.message, m.wParam);
    }
    EXPECT_EQ(got, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, VK_DOWN},
                                                         {WM_KEYUP, VK_DOWN},
                                                         {WM_KEYDOWN, VK_RETURN},
                                                         {WM_CHAR, '\r'},
                                                         {WM_KEYUP, VK_RETURN},
                                                         {WM_KEYDOWN, 'Q'},
                                                         {WM_CHAR, 'q'},
                                                         {WM_KEYUP, 'Q'}}));
    ASSERT_FALSE(keys.empty());
    EXPECT_NE(keys[1].lParam & 0xC0000000, 0); // released keys carry the transition bits
}

TEST_F(Input, TheCloseBoxClosesTheWindowThroughWmClose) {
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    forget();
    runScript("close\n");
    EXPECT_FALSE(IsWindow(hwnd));
    auto path = seen(hwnd, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY});
    ASSERT_EQ(path.size(), 3u);
    EXPECT_EQ(path[0].wParam & 0xFFF0, static_cast<WPARAM>(SC_CLOSE));
    EXPECT_EQ(path[1].message, static_cast<UINT>(WM_CLOSE));
    // Clicking the caption elsewhere does not close.
    HWND other = topLevel(100, 100, 300, 200);
    ShowWindow(other, SW_SHOW);
    runScript("click 20 -10\n");
    EXPECT_TRUE(IsWindow(other));
}

TEST_F(Input, DisabledWindowsGetNoInput) {
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_FALSE(EnableWindow(hwnd, FALSE));
    forget();
    runScript("click 20 20\nmove 30 30\nkey a\n");
    EXPECT_TRUE(seen(hwnd, {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_KEYDOWN}).empty());
    EXPECT_TRUE(EnableWindow(hwnd, TRUE));
}

} // namespace
} // namespace corvane_test
