#include "skin/CMenuCollector.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"
#include "tests/skin/CommandWindow.h"
#include "tests/skin/SkinMachine.h"

#include <memory>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

const COLORREF kBackground = RGB(128, 128, 128);
const COLORREF kFocus = RGB(255, 0, 0);
const COLORREF kNonFocus = RGB(0, 0, 255);

COLORREF inverted(COLORREF colour) {
    return colour ^ 0x00FFFFFF;
}

// The pixels of the frame's outline: the item rectangle widened by 3 at the
// sides and 1 at top and bottom, both ends included.
std::vector<POINT> frameOutline(const RECT& item) {
    RECT f = {item.left - 3, item.top - 1, item.right + 3, item.bottom + 1};
    std::vector<POINT> points;
    for (int x = f.left; x <= f.right; ++x) {
        points.push_back({x, f.top});
        points.push_back({x, f.bottom});
    }
    for (int y = f.top + 1; y < f.bottom; ++y) {
        points.push_back({f.left, y});
        points.push_back({f.right, y});
    }
    return points;
}

class MenuInteractionTest : public SkinMachine {
protected:
    void SetUp() override {
        SkinMachine::SetUp();
        fill(RECT{0, 0, 800, 600}, kBackground);
        m_dc = std::make_unique<ScreenDC>();
    }

    void load(const std::string& menu, const std::string& inBetween = "10") {
        writeLayout("[FONT]\nSize=20\nFocus=255,0,0\nNonFocus=0,0,255\n[GAPS]\nVERTICAL=20\n"
                    "HORIZONTAL=10\nIN_BETWEEN=" +
                    inBetween + "\n[MENU]\n" + menu);
        ASSERT_EQ(m_font.Load(kIniPath), 1);
        ASSERT_EQ(m_menu.Load(kIniPath, dc(), &m_font, 3, RECT{0, 0, 560, 400}), 1);
    }

    // Pixels of one colour in an item's rectangle and the arrow's tip column.
    int countIn(const RECT& r, COLORREF colour) {
        int count = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x <= r.right; ++x) {
                count += pixel(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }
    // Which colour item i shows: its label's pixels are all of one kind.
    COLORREF colourOf(int i) {
        const RECT& r = m_menu.GetItem(i)->GetRect();
        int focus = countIn(r, kFocus);
        int nonFocus = countIn(r, kNonFocus);
        if (focus > 0 && nonFocus == 0) {
            return kFocus;
        }
        if (nonFocus > 0 && focus == 0) {
            return kNonFocus;
        }
        return CLR_INVALID;
    }
    // Inverted background pixels on item i's frame outline.
    int frameDots(int i) {
        int dots = 0;
        for (POINT p : frameOutline(m_menu.GetItem(i)->GetRect())) {
            dots += pixel(p.x, p.y) == inverted(kBackground) ? 1 : 0;
        }
        return dots;
    }
    CPoint inside(int i) {
        const RECT& r = m_menu.GetItem(i)->GetRect();
        return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // Made once the machine runs: a context needs a display.
    CDC* dc() { return m_dc.get(); }
    std::unique_ptr<ScreenDC> m_dc;
    CMyFont m_font;
    CMenuCollector m_menu;
};

const char* const kThreeItems = "1=Install,100,\n2=Next,2,\n3=Quit,4,\n";

TEST_F(MenuInteractionTest, ArrowIsAFilledTriangleWithItsTipOnTheRightEdge) {
    CMyMenu item;
    item.SetCommand(2);
    item.SetRect(RECT{100, 20, 216, 40});
    item.DrawArrow(dc(), kFocus);
    struct Row {
        int x, y;
        COLORREF expected;
    } rows[] = {
        {206, 25, kFocus},      {206, 30, kFocus},      {206, 35, kFocus},
        {216, 30, kFocus},      {211, 30, kFocus},      {210, 28, kFocus},
        {214, 30, kFocus},      {206, 24, kBackground}, {206, 36, kBackground},
        {205, 30, kBackground}, {217, 30, kBackground}, {216, 29, kBackground},
        {216, 31, kBackground}, {215, 25, kBackground}, {215, 35, kBackground},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(pixel(row.x, row.y), row.expected) << row.x << "," << row.y;
    }

    CMyMenu plain;
    plain.SetCommand(3);
    plain.SetRect(RECT{300, 20, 416, 40});
    ScreenArea before = capture(RECT{290, 15, 430, 45});
    plain.DrawArrow(dc(), kFocus);
    EXPECT_TRUE(capture(RECT{290, 15, 430, 45}) == before);
}

TEST_F(MenuInteractionTest, FocusFrameIsADottedInversionThatASecondToggleRemoves) {
    fill(RECT{500, 0, 800, 600}, RGB(200, 40, 90));
    CMyMenu item;
    item.SetRect(RECT{450, 20, 550, 40});
    const RECT area = {440, 12, 562, 50};
    ScreenArea before = capture(area);

    item.ToggleFocusFrame(dc());
    const std::vector<POINT> outline = frameOutline(item.GetRect());
    int dots = 0;
    for (POINT p : outline) {
        COLORREF original =
            before.pixels[(p.y - area.top) * (area.right - area.left) + (p.x - area.left)];
        COLORREF now = pixel(p.x, p.y);
        EXPECT_TRUE(now == original || now == inverted(original)) << p.x << "," << p.y;
        dots += now == inverted(original) ? 1 : 0;
    }
    EXPECT_GT(dots, static_cast<int>(outline.size()) / 3);
    EXPECT_LT(dots, static_cast<int>(outline.size()));
    // The frame reaches (447, 19) and (553, 41) and nothing beyond.
    int changedOutside = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            bool onOutline = (x >= 447 && x <= 553 && (y == 19 || y == 41)) ||
                             (y >= 19 && y <= 41 && (x == 447 || x == 553));
            COLORREF original =
                before.pixels[(y - area.top) * (area.right - area.left) + (x - area.left)];
            changedOutside += !onOutline && pixel(x, y) != original ? 1 : 0;
        }
    }
    EXPECT_EQ(changedOutside, 0);

    item.ToggleFocusFrame(dc());
    EXPECT_TRUE(capture(area) == before);
}

TEST_F(MenuInteractionTest, PaintDrawsEveryItemPlainAndFramesTheFocusItem) {
    load(kThreeItems);
    m_menu.Paint(dc(), &m_font);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(colourOf(i), kNonFocus) << i;
    }
    EXPECT_GT(frameDots(0), 0);
    EXPECT_EQ(frameDots(1), 0);
    EXPECT_EQ(frameDots(2), 0);
    // The arrow of command 2 ends on the item's right edge.
    const RECT& next = m_menu.GetItem(1)->GetRect();
    EXPECT_EQ(pixel(next.right, next.top + 10), kNonFocus);
}

TEST_F(MenuInteractionTest, UpAndDownMoveTheFrameWithWrapAround) {
    load(kThreeItems);
    m_menu.Paint(dc(), &m_font);
    struct Row {
        UINT key;
        int focus;
    } rows[] = {
        {VK_UP, 2}, {VK_DOWN, 0}, {VK_DOWN, 1}, {VK_DOWN, 2}, {VK_DOWN, 0},
        {VK_UP, 2}, {VK_UP, 1},   {VK_LEFT, 1}, {'A', 1},     {VK_UP, 0},
    };
    CommandWindow window;
    for (const Row& row : rows) {
        m_menu.Key(window.wnd(), row.key, dc());
        EXPECT_EQ(m_menu.GetFocusIndex(), row.focus) << "key " << row.key;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(frameDots(i) > 0, i == row.focus) << "key " << row.key << " item " << i;
        }
    }
    EXPECT_TRUE(window.takeCommands().empty());
}

TEST_F(MenuInteractionTest, OneItemKeepsTheFocusAndDrawsNothing) {
    load("1=Alone,100,\n");
    m_menu.Paint(dc(), &m_font);
    ScreenArea painted = capture(RECT{0, 0, 800, 200});
    CommandWindow window;
    for (UINT key : {VK_UP, VK_DOWN, VK_UP}) {
        m_menu.Key(window.wnd(), key, dc());
        EXPECT_EQ(m_menu.GetFocusIndex(), 0);
    }
    EXPECT_TRUE(capture(RECT{0, 0, 800, 200}) == painted);
}

TEST_F(MenuInteractionTest, HoverHighlightsOnlyTheItemUnderThePointer) {
    load(kThreeItems);
    m_menu.Paint(dc(), &m_font);
    m_menu.Hover(0, inside(1), dc(), &m_font);
    EXPECT_EQ(colourOf(0), kNonFocus);
    EXPECT_EQ(colourOf(1), kFocus);
    EXPECT_EQ(colourOf(2), kNonFocus);
    // Moving onto the next item hands the highlight over; the frame stays.
    m_menu.Hover(0, inside(2), dc(), &m_font);
    EXPECT_EQ(colourOf(1), kNonFocus);
    EXPECT_EQ(colourOf(2), kFocus);
    EXPECT_GT(frameDots(0), 0);
    // A repaint shows every item plain again.
    m_menu.Paint(dc(), &m_font);
    EXPECT_EQ(colourOf(2), kNonFocus);
}

TEST_F(MenuInteractionTest, HitTestTakesLeftAndTopEdgesButNotRightAndBottom) {
    load(kThreeItems);
    CMyMenu item;
    item.SetRect(RECT{450, 20, 550, 40});
    CMyMenu flipped;
    flipped.SetRect(RECT{550, 40, 450, 20});
    struct Row {
        CPoint point;
        int expected;
    } rows[] = {
        {{450, 20}, 1}, {{549, 39}, 1}, {{500, 30}, 1}, {{550, 30}, 0},
        {{500, 40}, 0}, {{449, 30}, 0}, {{500, 19}, 0}, {{550, 40}, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(item.HoverTest(0, row.point, dc(), &m_font), row.expected)
            << row.point.x << "," << row.point.y;
        EXPECT_EQ(flipped.HoverTest(0, row.point, dc(), &m_font), row.expected)
            << "flipped " << row.point.x << "," << row.point.y;
    }
}

TEST_F(MenuInteractionTest, ClickPostsTheCommandOfTheFirstItemHit) {
    load(kThreeItems);
    CommandWindow window;
    m_menu.Hover(0, inside(0), dc(), &m_font);
    m_menu.Click(window.wnd(), 0, inside(1), dc(), &m_font);
    EXPECT_EQ(window.takeCommands(), std::vector<WPARAM>{2});
    EXPECT_EQ(colourOf(0), kNonFocus);
    EXPECT_EQ(colourOf(1), kFocus);

    // Each release posts again: a double-click chooses twice.
    m_menu.Click(window.wnd(), 0, inside(2), dc(), &m_font);
    m_menu.Click(window.wnd(), 0, inside(2), dc(), &m_font);
    EXPECT_EQ(window.takeCommands(), (std::vector<WPARAM>{4, 4}));

    const RECT& quit = m_menu.GetItem(2)->GetRect();
    m_menu.Click(window.wnd(), 0, CPoint(quit.right, quit.top), dc(), &m_font);
    EXPECT_TRUE(window.takeCommands().empty());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(colourOf(i), kNonFocus) << i;
    }
}

TEST_F(MenuInteractionTest, OverlappingItemsLetTheEarlierLineWin) {
    load("1=Install,100,\n2=Install,101,\n", "-10");
    const RECT& first = m_menu.GetItem(0)->GetRect();
    const RECT& second = m_menu.GetItem(1)->GetRect();
    ASSERT_LT(second.top, first.bottom);
    CommandWindow window;
    m_menu.Click(window.wnd(), 0, CPoint(first.right - 2, second.top), dc(), &m_font);
    EXPECT_EQ(window.takeCommands(), std::vector<WPARAM>{100});
}

TEST_F(MenuInteractionTest, EnterPostsTheFocusedItemsCommandWithoutDrawing) {
    load(kThreeItems);
    m_menu.Paint(dc(), &m_font);
    m_menu.Hover(0, inside(0), dc(), &m_font);
    CommandWindow window;
    m_menu.Key(window.wnd(), VK_RETURN, dc());
    EXPECT_EQ(window.takeCommands(), std::vector<WPARAM>{100});

    m_menu.Key(window.wnd(), VK_DOWN, dc());
    m_menu.Key(window.wnd(), VK_DOWN, dc());
    ScreenArea before = capture(RECT{0, 0, 800, 200});
    m_menu.Key(window.wnd(), VK_RETURN, dc());
    EXPECT_TRUE(capture(RECT{0, 0, 800, 200}) == before);
    EXPECT_EQ(window.takeCommands(), std::vector<WPARAM>{4});
}

} // namespace
} // namespace corvane_test
