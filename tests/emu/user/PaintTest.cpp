#include "tests/support/UserFixture.h"

namespace corvane_test {
namespace {

using Painting = UserFixture;

const COLORREF kDesktop = RGB(0, 128, 128);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kActiveCaption = RGB(0, 0, 128);
const COLORREF kInactiveCaption = RGB(128, 128, 128);

TEST_F(Painting, ShownWindowGetsFrameCaptionAndClassBrushOverTheDesktop) {
    EXPECT_EQ(pixel(5, 5), kDesktop);
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    pump();
    EXPECT_EQ(pixel(99, 150), kDesktop);
    EXPECT_EQ(pixel(100 + 150, 100 + 10), kActiveCaption);
    EXPECT_EQ(pixel(100 + 150, 100 + 120), kWhite); // COLOR_WINDOW + 1
    EXPECT_EQ(pixel(100, 150), RGB(192, 192, 192)); // outer frame line
    EXPECT_EQ(pixel(399, 150), RGB(0, 0, 0));
    // The close box sits at the caption's right end.
    EXPECT_EQ(pixel(400 - 3 - 2 - 8, 100 + 5 + 1), RGB(192, 192, 192));
    // A child with a client edge shows a sunken well: shadow, then dark shadow.
    HWND well = CreateWindowExA(WS_EX_CLIENTEDGE, kProbeClass, "", WS_CHILD | WS_VISIBLE, 10, 10,
                                50, 30, hwnd, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    pump();
    RECT client{};
    GetClientRect(well, &client);
    EXPECT_EQ(client.right, 46);
    POINT corner{0, 0};
    ClientToScreen(hwnd, &corner);
    EXPECT_EQ(pixel(corner.x + 10, corner.y + 10), RGB(128, 128, 128));
    EXPECT_EQ(pixel(corner.x + 11, corner.y + 11), RGB(0, 0, 0));
    EXPECT_EQ(pixel(corner.x + 59, corner.y + 39), RGB(255, 255, 255));
    EXPECT_EQ(pixel(corner.x + 12, corner.y + 12), kWhite);
    HWND cover = topLevel(150, 150, 100, 100);
    ShowWindow(cover, SW_SHOW);
    pump();
    EXPECT_EQ(pixel(250, 110), kInactiveCaption);
}

TEST_F(Painting, UncoveringSendsEraseAndPaintForTheUncoveredPartOnly) {
    HWND below = topLevel(100, 100, 300, 200);
    ShowWindow(below, SW_SHOW);
    pump();
    HWND above = topLevel(150, 150, 100, 100);
    ShowWindow(above, SW_SHOW);
    pump();
    forget();
    struct Row {
        const char* what;
        std::function<void()> act;
    };
    const std::vector<Row> rows = {
        {"hide", [&] { ShowWindow(above, SW_HIDE); }},
        {"move", [&] { MoveWindow(above, 500, 300, 100, 100, TRUE); }},
        {"destroy", [&] { DestroyWindow(above); }},
    };
    for (const Row& row : rows) {
        ShowWindow(above, SW_SHOW);
        MoveWindow(above, 150, 150, 100, 100, TRUE);
        pump();
        forget();
        row.act();
        pump();
        EXPECT_EQ(seenKinds(below, {WM_ERASEBKGND, WM_PAINT}),
                  (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}))
            << row.what;
        EXPECT_EQ(pixel(200, 200), kWhite) << row.what;
        if (!IsWindow(above)) {
            break;
        }
    }
    // Moving a window uncovers the desktop where it stood.
    MoveWindow(below, 420, 120, 300, 200, TRUE);
    pump();
    EXPECT_EQ(pixel(150, 150), kDesktop);
    EXPECT_EQ(pixel(500, 250), kWhite);
    EXPECT_NE(traceText().find("MoveWindow(0x1, 420, 120, 300, 200, 1) = 1\n"), std::string::npos);
}

TEST_F(Painting, BeginPaintClipsToTheUpdateRegionAndValidatesIt) {
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    pump();
    RECT part{10, 10, 20, 20};
    InvalidateRect(hwnd, &part, FALSE);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.rcPaint.left, 10);
    EXPECT_EQ(paint.rcPaint.bottom, 20);
    RECT all{0, 0, 294, 173};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    DeleteObject(red);
    EndPaint(hwnd, &paint);
    POINT inside{15, 15};
    POINT outside{40, 40};
    ClientToScreen(hwnd, &inside);
    ClientToScreen(hwnd, &outside);
    EXPECT_EQ(pixel(inside.x, inside.y), RGB(255, 0, 0));
    EXPECT_EQ(pixel(outside.x, outside.y), kWhite);
    forget();
    pump();
    EXPECT_TRUE(seen(hwnd, {WM_PAINT}).empty());
}

} // namespace
} // namespace corvane_test
