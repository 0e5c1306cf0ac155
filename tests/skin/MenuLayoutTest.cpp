#include "skin/CMenuCollector.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"
#include "tests/skin/SkinMachine.h"

#include <climits>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

const int kLeft = 1;
const int kCentre = 2;
const int kRight = 3;

class MenuLayoutTest : public SkinMachine {
protected:
    // Writes layout.ini with a 20-pixel font and the given GAPS and MENU
    // lines, then loads font and menu as the window does.
    int load(const std::string& gaps, const std::string& menu, int alignment = kRight,
             RECT size = RECT{0, 0, 560, 400}) {
        writeLayout("[FONT]\nSize=20\n[GAPS]\n" + gaps + "[MENU]\n" + menu);
        if (!m_font.Load(kIniPath)) {
            return -1;
        }
        ScreenDC dc;
        return m_menu.Load(kIniPath, &dc, &m_font, alignment, size);
    }
    int width(const char* label) {
        ScreenDC dc;
        HGDIOBJ old = dc.SelectObject(m_font.GetFont());
        int cx = dc.GetTextExtent(label, lstrlenA(label)).cx;
        dc.SelectObject(old);
        return cx;
    }
    const RECT& rect(int index) { return m_menu.GetItem(index)->GetRect(); }

    CMyFont m_font;
    CMenuCollector m_menu;
};

const char* const kThreeItems = "1=Install,100,\n2=Remove,101,\n3=Quit,4,\n";

TEST_F(MenuLayoutTest, ItemsAreStackedByTheVerticalAndInBetweenGaps) {
    ASSERT_EQ(load("VERTICAL=20\nIN_BETWEEN=10\n", kThreeItems), 1);
    ASSERT_EQ(m_menu.GetItemCount(), 3);
    const int tops[] = {20, 50, 80};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_menu.GetItem(i)->GetIndex(), i);
        EXPECT_EQ(rect(i).top, tops[i]) << i;
        EXPECT_EQ(rect(i).bottom, tops[i] + 20) << i;
    }
}

TEST_F(MenuLayoutTest, AbsentGapsDefaultToTwentyTenAndTen) {
    ASSERT_EQ(load("", kThreeItems), 1);
    EXPECT_EQ(rect(0).top, 20);
    EXPECT_EQ(rect(1).top, 50);
    EXPECT_EQ(rect(0).right, 550);
}

TEST_F(MenuLayoutTest, AlignmentPlacesEveryItemHorizontally) {
    struct Row {
        const char* what;
        int alignment;
        RECT size;
        const char* horizontal;
        int left;  // expected left edge, or INT_MIN when the right edge is fixed
        int right; // expected right edge when left is INT_MIN
    } rows[] = {
        {"right", kRight, {0, 0, 560, 400}, "10", INT_MIN, 550},
        {"right, other gap", kRight, {0, 0, 600, 400}, "25", INT_MIN, 575},
        {"centre 560", kCentre, {0, 0, 560, 400}, "10", 290, 0},
        {"centre 561", kCentre, {0, 0, 561, 400}, "10", 290, 0},
        {"centre, negative gap", kCentre, {0, 0, 560, 400}, "-30", 250, 0},
        {"left", kLeft, {0, 0, 560, 400}, "10", 10, 0},
        {"left ignores the size", kLeft, {0, 0, 7, 3}, "10", 10, 0},
        {"unknown code is left", 9, {0, 0, 560, 400}, "12", 12, 0},
    };
    ASSERT_EQ(load("", kThreeItems), 1);
    for (const Row& row : rows) {
        CMenuCollector menu;
        writeLayout(std::string("[GAPS]\nHORIZONTAL=") + row.horizontal + "\n[MENU]\n" +
                    kThreeItems);
        ScreenDC dc;
        ASSERT_EQ(menu.Load(kIniPath, &dc, &m_font, row.alignment, row.size), 1) << row.what;
        const char* labels[] = {"Install", "Remove", "Quit"};
        for (int i = 0; i < 3; ++i) {
            const RECT& r = menu.GetItem(i)->GetRect();
            const int w = width(labels[i]);
            if (row.left == INT_MIN) {
                EXPECT_EQ(r.right, row.right) << row.what << " item " << i;
                EXPECT_EQ(r.left, row.right - w) << row.what << " item " << i;
            } else {
                EXPECT_EQ(r.left, row.left) << row.what << " item " << i;
                EXPECT_EQ(r.right, row.left + w) << row.what << " item " << i;
            }
        }
    }
}

TEST_F(MenuLayoutTest, CommandTwoMakesRoomForTheArrow) {
    ASSERT_EQ(load("", "a=Next,2,\nb=Next,3,\n", kLeft), 1);
    EXPECT_EQ(rect(0).right - rect(0).left, width("Next") + 16);
    EXPECT_EQ(rect(1).right - rect(1).left, width("Next"));
}

TEST_F(MenuLayoutTest, LinesSplitIntoLabelCommandAndExtraText) {
    struct Row {
        const char* line;
        const char* label;
        int command;
        const char* extra;
    } rows[] = {
        {"1=Install drivers,100,", "Install drivers", 100, ""},
        {"2=Exit, 4, x", "Exit", 4, " x"},
        {"3=Exit,4,", "Exit", 4, ""},
        {"4=Exit,4", "Exit", 0, ""},
        {"5=Exit", "", 0, ""},
        {"6=", "", 0, ""},
        {"7==Sign,7,b", "=Sign", 7, "b"},
        {"8=A&B,101,extra,more", "A&B", 101, "extra,more"},
        {"9=Word,abc,y", "Word", 0, "y"},
        {"10=Minus,-5,", "Minus", -5, ""},
    };
    std::string menu;
    for (const Row& row : rows) {
        menu += std::string(row.line) + "\n";
    }
    ASSERT_EQ(load("", menu), 1);
    ASSERT_EQ(m_menu.GetItemCount(), static_cast<int>(std::size(rows)));
    for (int i = 0; i < m_menu.GetItemCount(); ++i) {
        const CMyMenu* item = m_menu.GetItem(i);
        EXPECT_STREQ(item->GetText(), rows[i].label) << rows[i].line;
        EXPECT_EQ(item->GetCommand(), rows[i].command) << rows[i].line;
        EXPECT_STREQ(item->GetExtraText(), rows[i].extra) << rows[i].line;
    }
}

TEST_F(MenuLayoutTest, KeysAreIgnoredAndLineOrderCounts) {
    ASSERT_EQ(load("", "z=First,100,\nx=Second,101,\ny=Third,4,\n"), 1);
    CMenuCollector numbered;
    writeLayout("[FONT]\nSize=20\n[MENU]\n3=First,100,\n1=Second,101,\n2=Third,4,\n");
    ScreenDC dc;
    ASSERT_EQ(numbered.Load(kIniPath, &dc, &m_font, kRight, RECT{0, 0, 560, 400}), 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(numbered.GetItem(i)->GetText(), m_menu.GetItem(i)->GetText());
        EXPECT_EQ(numbered.GetItem(i)->GetCommand(), m_menu.GetItem(i)->GetCommand());
    }
    EXPECT_STREQ(m_menu.GetItem(0)->GetText(), "First");
    EXPECT_STREQ(m_menu.GetItem(2)->GetText(), "Third");
}

// A line without "=" has no value: it gives no item and takes no place.
TEST_F(MenuLayoutTest, LinesWithoutEqualsSignAreSkipped) {
    ASSERT_EQ(load("VERTICAL=20\nIN_BETWEEN=10\n",
                   "loose words\n1=Install,100,\nno,equals,here\n2=Quit,4,\ntrailing\n"),
              1);
    ASSERT_EQ(m_menu.GetItemCount(), 2);
    EXPECT_STREQ(m_menu.GetItem(0)->GetText(), "Install");
    EXPECT_STREQ(m_menu.GetItem(1)->GetText(), "Quit");
    EXPECT_EQ(rect(1).top, 50);
}

TEST_F(MenuLayoutTest, LoadFailsWithoutItems) {
    EXPECT_EQ(load("", ""), 0);
    EXPECT_EQ(m_menu.GetItemCount(), 0);

    writeLayout("[FONT]\nSize=20\n");
    CMenuCollector absent;
    ScreenDC dc;
    EXPECT_EQ(absent.Load(kIniPath, &dc, &m_font, kRight, RECT{0, 0, 560, 400}), 0);

    writeLayout("[MENU]\nonly words\nmore words\n");
    CMenuCollector wordsOnly;
    EXPECT_EQ(wordsOnly.Load(kIniPath, &dc, &m_font, kRight, RECT{0, 0, 560, 400}), 0);
    EXPECT_EQ(wordsOnly.GetItemCount(), 0);
}

// The section is read into 1024 bytes; what does not fit is lost, and the
// line cut in the middle is parsed as far as it goes.
TEST_F(MenuLayoutTest, LongMenuIsCutAtTheBuffer) {
    std::string menu;
    for (int i = 10; i < 110; ++i) {
        menu += std::to_string(i) + "=Item number " + std::to_string(i) + ",100,\n";
    }
    ASSERT_EQ(load("", menu), 1);
    const int count = m_menu.GetItemCount();
    EXPECT_GT(count, 30);
    EXPECT_LT(count, 100);
    for (int i = 0; i < count - 1; ++i) {
        EXPECT_EQ(std::string(m_menu.GetItem(i)->GetText()),
                  "Item number " + std::to_string(i + 10));
        EXPECT_EQ(m_menu.GetItem(i)->GetCommand(), 100);
    }
}

// Gaps and sizes anywhere in the 32-bit range place items far away but
// keep every edge in order and small enough to draw around; painting, hover
// and the keys then run on them without overflowing.
TEST_F(MenuLayoutTest, ExtremeGapsAndSizesKeepItemsInRange) {
    const long long kFar = 1 << 28;
    struct Row {
        const char* gaps;
        int alignment;
        RECT size;
    } rows[] = {
        {"HORIZONTAL=10\n", kRight, {0, 0, INT_MIN, 400}},
        {"HORIZONTAL=-2147483648\n", kRight, {0, 0, INT_MAX, 400}},
        {"HORIZONTAL=2147483647\n", kCentre, {INT_MIN, 0, INT_MAX, 400}},
        {"HORIZONTAL=2147483647\n", kLeft, {0, 0, 560, 400}},
        {"VERTICAL=2147483647\nIN_BETWEEN=2147483647\n", kRight, {0, 0, 560, 400}},
        {"VERTICAL=-2147483648\nIN_BETWEEN=-2147483648\n", kLeft, {0, 0, 560, 400}},
    };
    ASSERT_EQ(load("", kThreeItems), 1);
    for (const Row& row : rows) {
        writeLayout(std::string("[GAPS]\n") + row.gaps + "[MENU]\n" + kThreeItems);
        CMenuCollector menu;
        ScreenDC dc;
        ASSERT_EQ(menu.Load(kIniPath, &dc, &m_font, row.alignment, row.size), 1) << row.gaps;
        for (int i = 0; i < 3; ++i) {
            const RECT& r = menu.GetItem(i)->GetRect();
            EXPECT_LE(r.left, r.right) << row.gaps << " item " << i;
            EXPECT_LE(r.top, r.bottom) << row.gaps << " item " << i;
            for (LONG edge : {r.left, r.top, r.right, r.bottom}) {
                EXPECT_LE(std::llabs(edge), kFar) << row.gaps << " item " << i;
            }
        }
        const RECT& second = menu.GetItem(1)->GetRect();
        menu.Paint(&dc, &m_font);
        menu.Hover(0, CPoint(second.left, second.top), &dc, &m_font);
        menu.Key(nullptr, VK_DOWN, &dc);
    }
}

} // namespace
} // namespace corvane_test
