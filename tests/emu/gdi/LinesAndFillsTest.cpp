#include "tests/emu/gdi/ScreenFixture.h"

#include <set>
#include <utility>

namespace {

using corvane_test::ScreenFixture;
using Pixel = std::pair<int, int>;

class LinesAndFills : public ScreenFixture {
protected:
    void SetUp() override { bootScreen(640, 480, 32); }

    // The focus frame of a menu item: a dotted black XOR rectangle.
    void drawFocusFrame(RECT r) {
        const HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
        const HGDIOBJ oldPen = SelectObject(dc(), pen);
        const int oldRop = SetROP2(dc(), R2_XORPEN);
        MoveToEx(dc(), r.left, r.top, nullptr);
        LineTo(dc(), r.left, r.bottom);
        LineTo(dc(), r.right, r.bottom);
        LineTo(dc(), r.right, r.top);
        LineTo(dc(), r.left, r.top);
        SetROP2(dc(), oldRop);
        SelectObject(dc(), oldPen);
        EXPECT_TRUE(DeleteObject(pen));
    }

    // Frame pixels in drawing order, one list per LineTo.
    static std::vector<std::vector<Pixel>> framePath(RECT r) {
        std::vector<std::vector<Pixel>> sides(4);
        for (int y = r.top; y < r.bottom; ++y)
            sides[0].push_back({r.left, y});
        for (int x = r.left; x < r.right; ++x)
            sides[1].push_back({x, r.bottom});
        for (int y = r.bottom; y > r.top; --y)
            sides[2].push_back({r.right, y});
        for (int x = r.right; x > r.left; --x)
            sides[3].push_back({x, r.top});
        return sides;
    }
};

TEST_F(LinesAndFills, DottedXorFrameInvertsTheGapsOnceAndRestoresTheScreenTwice) {
    paintPattern();
    const std::vector<COLORREF> before = snapshot();
    const RECT frame{447, 19, 553, 41};
    drawFocusFrame(frame);
    const std::vector<COLORREF> once = snapshot();

    std::set<Pixel> onFrame;
    size_t gaps = 0;
    for (const auto& side : framePath(frame)) {
        for (size_t i = 0; i < side.size(); ++i) {
            const auto [x, y] = side[i];
            onFrame.insert(side[i]);
            const bool inverted = at(once, x, y) == (at(before, x, y) ^ 0x00FFFFFF);
            const bool kept = at(once, x, y) == at(before, x, y);
            ASSERT_TRUE(inverted || kept) << x << "," << y;
            gaps += inverted ? 1 : 0;
            if (i > 0) {
                const auto [px, py] = side[i - 1];
                const bool previousInverted = at(once, px, py) != at(before, px, py);
                EXPECT_NE(inverted, previousInverted)
                    << "dots and gaps alternate at " << x << "," << y;
            }
        }
    }
    EXPECT_GT(gaps, onFrame.size() / 3);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (!onFrame.count({x, y})) {
                ASSERT_EQ(at(once, x, y), at(before, x, y)) << x << "," << y;
            }
        }
    }
    drawFocusFrame(frame);
    EXPECT_EQ(snapshot(), before);
}

TEST_F(LinesAndFills, DottedXorFrameInTransparentModeLeavesThePictureAlone) {
    paintPattern();
    const std::vector<COLORREF> before = snapshot();
    SetBkMode(dc(), TRANSPARENT);
    drawFocusFrame(RECT{10, 10, 60, 30});
    EXPECT_EQ(snapshot(), before); // black dots under XOR change nothing
}

TEST_F(LinesAndFills, LinesLeaveOutTheirEndPoint) {
    struct Row {
        POINT from, to;
        size_t pixels;
    };
    const Row rows[] = {
        {{10, 10}, {20, 10}, 10}, {{20, 30}, {10, 30}, 10}, {{5, 40}, {5, 47}, 7},
        {{30, 50}, {40, 60}, 10}, {{50, 50}, {70, 55}, 20}, {{3, 3}, {3, 3}, 0},
    };
    for (const Row& row : rows) {
        fillScreen(RGB(255, 255, 255));
        MoveToEx(dc(), row.from.x, row.from.y, nullptr);
        LineTo(dc(), row.to.x, row.to.y);
        const std::vector<COLORREF> shot = snapshot();
        size_t black = 0;
        for (COLORREF c : shot) {
            black += c == RGB(0, 0, 0) ? 1 : 0;
        }
        EXPECT_EQ(black, row.pixels) << row.to.x << "," << row.to.y;
        EXPECT_EQ(at(shot, row.to.x, row.to.y), RGB(255, 255, 255));
        if (row.pixels > 0) {
            EXPECT_EQ(at(shot, row.from.x, row.from.y), RGB(0, 0, 0));
        }
        POINT last{};
        MoveToEx(dc(), 0, 0, &last);
        EXPECT_EQ(last.x, row.to.x); // LineTo moved the current position
        EXPECT_EQ(last.y, row.to.y);
    }
}

TEST_F(LinesAndFills, FloodFillFillsTheArrowTriangleAndNothingOutside) {
    fillScreen(RGB(255, 255, 255));
    // The arrow of a 20-pixel-high item whose rectangle ends at x 200.
    const RECT item{100, 20, 200, 40};
    const int q = 5, m = 10;
    const COLORREF colour = RGB(255, 0, 0);
    const HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HBRUSH brush = CreateSolidBrush(colour);
    const HGDIOBJ oldPen = SelectObject(dc(), pen);
    const HGDIOBJ oldBrush = SelectObject(dc(), brush);
    MoveToEx(dc(), item.right - 10, item.top + q, nullptr);
    LineTo(dc(), item.right - 10, item.bottom - q);
    LineTo(dc(), item.right, item.top + m);
    LineTo(dc(), item.right - 10, item.top + q);
    EXPECT_TRUE(FloodFill(dc(), item.right - 5, item.top + m, colour));
    EXPECT_FALSE(FloodFill(dc(), item.right - 5, item.top + m, colour)) << "start is border";
    SelectObject(dc(), oldBrush);
    SelectObject(dc(), oldPen);
    DeleteObject(brush);
    DeleteObject(pen);

    const std::vector<COLORREF> shot = snapshot();
    // Inside: left of the tip's two edges and right of the back edge.
    for (int y = item.top + q + 1; y < item.bottom - q; ++y) {
        const int halfSpan = (y < item.top + m ? y - item.top - q : item.bottom - q - y);
        for (int x = item.right - 9; x < item.right - 10 + halfSpan * 2 - 1; ++x) {
            EXPECT_EQ(at(shot, x, y), colour) << "inside " << x << "," << y;
        }
    }
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inBox = x >= item.right - 10 && x <= item.right && y >= item.top + q &&
                               y <= item.bottom - q;
            if (!inBox) {
                ASSERT_EQ(at(shot, x, y), RGB(255, 255, 255)) << "outside " << x << "," << y;
            }
        }
    }
    // Outside the box's corners the white background survived: the fill did
    // not leak round the triangle's edges.
    EXPECT_EQ(at(shot, item.right, item.top + q), RGB(255, 255, 255));
    EXPECT_EQ(at(shot, item.right, item.bottom - q), RGB(255, 255, 255));
}

TEST_F(LinesAndFills, FloodFillStopsAtTheClipAndRefusesStartsOutsideIt) {
    fillScreen(RGB(255, 255, 255));
    const HDC clipped = emu::gdi::createDeviceContext(POINT{100, 100}, {RECT{110, 110, 150, 130}});
    const HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(clipped, brush);
    EXPECT_FALSE(FloodFill(clipped, 0, 0, RGB(0, 0, 0))); // screen 100,100: clipped away
    EXPECT_TRUE(FloodFill(clipped, 20, 20, RGB(0, 0, 0)));
    const std::vector<COLORREF> shot = snapshot();
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool inClip = x >= 110 && x < 150 && y >= 110 && y < 130;
            ASSERT_EQ(at(shot, x, y), inClip ? RGB(0, 0, 255) : RGB(255, 255, 255));
        }
    }
    EXPECT_TRUE(emu::gdi::destroyDeviceContext(clipped));
    EXPECT_TRUE(DeleteObject(brush)); // deselected by the context's end
}

TEST_F(LinesAndFills, RectangleFramesWithThePenAndFillsWithTheBrush) {
    fillScreen(RGB(255, 255, 255));
    const HBRUSH brush = CreateSolidBrush(RGB(0, 128, 0));
    SelectObject(dc(), brush);
    EXPECT_TRUE(Rectangle(dc(), 10, 10, 20, 15));
    SelectObject(dc(), GetStockObject(NULL_PEN));
    EXPECT_TRUE(Rectangle(dc(), 30, 10, 40, 15));
    const std::vector<COLORREF> shot = snapshot();
    EXPECT_EQ(at(shot, 10, 10), RGB(0, 0, 0));
    EXPECT_EQ(at(shot, 19, 14), RGB(0, 0, 0));
    EXPECT_EQ(at(shot, 15, 12), RGB(0, 128, 0));
    EXPECT_EQ(at(shot, 20, 12), RGB(255, 255, 255));
    // Without a pen the fill stops one pixel short on the right and bottom.
    EXPECT_EQ(at(shot, 30, 10), RGB(0, 128, 0));
    EXPECT_EQ(at(shot, 38, 13), RGB(0, 128, 0));
    EXPECT_EQ(at(shot, 39, 13), RGB(255, 255, 255));
    EXPECT_EQ(at(shot, 38, 14), RGB(255, 255, 255));
    SelectObject(dc(), GetStockObject(WHITE_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
}

} // namespace
