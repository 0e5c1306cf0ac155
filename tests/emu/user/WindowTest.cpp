#include "tests/support/UserFixture.h"

namespace corvane_test {
namespace {

using Windows = UserFixture;

TEST_F(Windows, ClientAreaIsOuterSizeLessFrameAndCaption) {
    struct Row {
        DWORD style;
        DWORD exStyle;
        int width, height;
        LONG clientWidth, clientHeight;
    };
    const Row rows[] = {
        {kLauncherStyle, WS_EX_WINDOWEDGE, 560, 400, 554, 373},
        {kLauncherStyle, WS_EX_WINDOWEDGE, 300, 200, 294, 173},
        {kLauncherStyle, WS_EX_WINDOWEDGE, 0, 640, 0, 613},
        {WS_POPUP, 0, 120, 80, 120, 80},
        {WS_POPUP | WS_BORDER, 0, 120, 80, 118, 78},
    };
    for (const Row& row : rows) {
        HWND hwnd = CreateWindowExA(row.exStyle, kProbeClass, "sizes", row.style, 10, 10, row.width,
                                    row.height, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        RECT client{};
        RECT outer{};
        ASSERT_TRUE(GetClientRect(hwnd, &client));
        ASSERT_TRUE(GetWindowRect(hwnd, &outer));
        EXPECT_EQ(client.right, row.clientWidth) << row.width << "x" << row.height;
        EXPECT_EQ(client.bottom, row.clientHeight) << row.width << "x" << row.height;
        EXPECT_EQ(outer.right - outer.left, row.width);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        if (row.style == kLauncherStyle) {
            EXPECT_EQ(origin.x, 13);
            EXPECT_EQ(origin.y, 34);
        }
        DestroyWindow(hwnd);
    }
}

TEST_F(Windows, HandlesCountFromOneAndCreationIsTraced) {
    HWND first = topLevel(0, 0, 400, 420, "Quentor - Utility");
    EXPECT_EQ(first, reinterpret_cast<HWND>(1));
    HWND child = CreateWindowExA(0, "Button", "OK", WS_CHILD | WS_VISIBLE, 5, 5, 75, 23, first,
                                 reinterpret_cast<HMENU>(42), nullptr, nullptr);
    EXPECT_EQ(child, reinterpret_cast<HWND>(2));
    EXPECT_EQ(GetDlgCtrlID(child), 42);
    EXPECT_EQ(GetDlgItem(first, 42), child);
    EXPECT_EQ(GetParent(child), first);
    EXPECT_EQ(GetWindow(first, GW_CHILD), child);
    EXPECT_TRUE(SetWindowTextA(first, "Quentor - Driver Setup"));
    char title[64];
    EXPECT_EQ(GetWindowTextA(first, title, sizeof title), 22);
    EXPECT_STREQ(title, "Quentor - Driver Setup");
    EXPECT_EQ(GetWindowTextA(first, title, 8), 7);
    EXPECT_STREQ(title, "Quentor");
    std::string trace = traceText();
    EXPECT_NE(trace.find("CreateWindowExA(256, \"Probe\", \"Quentor - Utility\", 2160590848, 0, "
                         "0, 400, 420, 0x0, 0x0, "),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find(") = 0x1\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("SetWindowTextA(0x1, \"Quentor - Driver Setup\") = 1\n"),
              std::string::npos)
        << trace;
}

TEST_F(Windows, CreateAnsweringMinusOneFailsAndTheWindowIsGone) {
    s_createAnswer = -1;
    HWND hwnd = topLevel(0, 0, 300, 200);
    EXPECT_EQ(hwnd, nullptr);
    std::vector<UINT> order =
        seenKinds(nullptr, {WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY});
    EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(1)));
    EXPECT_NE(traceText().find(") = 0x0\n"), std::string::npos);
    // The next window gets a new handle: handles are never reused.
    s_createAnswer = 0;
    EXPECT_EQ(topLevel(0, 0, 300, 200), reinterpret_cast<HWND>(2));
}

TEST_F(Windows, DestroyGoesParentFirstAndEndsWithTheParentsNcDestroy) {
    HWND parent = topLevel(10, 10, 300, 200);
    HWND childA = CreateWindowExA(0, kProbeClass, "", WS_CHILD, 0, 0, 10, 10, parent,
                                  reinterpret_cast<HMENU>(1), nullptr, nullptr);
    HWND childB = CreateWindowExA(0, kProbeClass, "", WS_CHILD, 0, 0, 10, 10, parent,
                                  reinterpret_cast<HMENU>(2), nullptr, nullptr);
    ASSERT_TRUE(childA && childB);
    forget();
    ASSERT_TRUE(DestroyWindow(parent));
    std::vector<SeenMessage> order = seen(nullptr, {WM_DESTROY, WM_NCDESTROY});
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order[0].hwnd, parent);
    EXPECT_EQ(order[0].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(order[5].hwnd, parent);
    EXPECT_EQ(order[5].message, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(order[3].message, static_cast<UINT>(WM_NCDESTROY));
    EXPECT_FALSE(IsWindow(parent) || IsWindow(childA) || IsWindow(childB));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_NE(traceText().find("DestroyWindow(0x1) = 1\n"), std::string::npos);
}

TEST_F(Windows, WindowLongsAndWorkArea) {
    HWND hwnd = topLevel(0, 0, 300, 200);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), kLauncherStyle);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_EXSTYLE), WS_EX_WINDOWEDGE);
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_USERDATA), 77);
    // A procedure read back stands for itself when handed to CallWindowProcA.
    auto proc = reinterpret_cast<WNDPROC>(static_cast<intptr_t>(GetWindowLongA(hwnd, GWL_WNDPROC)));
    forget();
    CallWindowProcA(proc, hwnd, WM_USER + 5, 1, 2);
    EXPECT_EQ(seenKinds(hwnd, {WM_USER + 5}).size(), 1u);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, 800);
    EXPECT_EQ(work.bottom, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(RegisterClassA(nullptr), 0);
    WNDCLASSA again{};
    again.lpfnWndProc = DefWindowProcA;
    again.lpszClassName = "probe"; // names match without regard to case
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(CreateWindowExA(0, kProbeClass, "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

} // namespace
} // namespace corvane_test
