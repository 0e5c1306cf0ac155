#include "skin/CMyFont.h"
#include "tests/skin/SkinMachine.h"

#include "platform/emu/gdi/GdiState.h"

#include <string>

namespace corvane_test {
namespace {

class FontTest : public SkinMachine {
protected:
    // The logical font that reached the platform.
    static LOGFONTA logicalFont(CMyFont& font) {
        auto lock = emu::gdi::GdiState::current().lock();
        const emu::gdi::Font* made =
            emu::gdi::GdiState::current().objects().get<emu::gdi::Font>(font.GetFont()->m_hObject);
        return made != nullptr ? made->logical : LOGFONTA{};
    }
    static int cellHeight(CMyFont& font) {
        ScreenDC dc;
        HGDIOBJ old = dc.SelectObject(font.GetFont());
        int height = dc.GetTextExtent("Mg", 2).cy;
        dc.SelectObject(old);
        return height;
    }
};

TEST(FontColour, ParseTakesRedGreenBlueAndLeavesMissingComponentsZero) {
    struct Row {
        const char* text;
        COLORREF expected;
    } rows[] = {
        {"0,0,255", RGB(0, 0, 255)},
        {"0, 128, 0", RGB(0, 128, 0)},
        {"1,2,3,4", RGB(1, 2, 3)},
        {"300,0,0", RGB(44, 0, 0)},
        {"-1,0,0", RGB(255, 0, 0)},
        {"0,0,-1", RGB(0, 0, 255)},
        {"255", RGB(0, 0, 255)},
        {"7,255", RGB(7, 0, 255)},
        {",,9", RGB(0, 0, 9)},
        {"", RGB(0, 0, 0)},
        {"red,green,blue", RGB(0, 0, 0)},
        {"  12 ,\t34x, 56 ", RGB(12, 34, 56)},
        {"99999999999,0,0", RGB(255, 0, 0)},
    };
    for (const Row& row : rows) {
        CMyFont font;
        font.ParseFocusColor(row.text);
        EXPECT_EQ(font.GetFocusColor(), row.expected) << '"' << row.text << '"';
        font.ParseNonFocusColor(row.text);
        EXPECT_EQ(font.GetNonFocusColor(), row.expected) << '"' << row.text << '"';
    }
}

TEST_F(FontTest, DefaultsGiveBoldTwentyPixelArialRedAndGreen) {
    writeLayout("[LAYOUT]\nCAPTION=x\n");
    CMyFont font;
    ASSERT_EQ(font.Load(kIniPath), 1);
    EXPECT_EQ(font.GetFocusColor(), RGB(255, 0, 0));
    EXPECT_EQ(font.GetNonFocusColor(), RGB(0, 255, 0));
    LOGFONTA logical = logicalFont(font);
    EXPECT_EQ(logical.lfHeight, 20);
    EXPECT_EQ(logical.lfWidth, 0);
    EXPECT_EQ(logical.lfWeight, FW_BOLD);
    EXPECT_EQ(logical.lfItalic, 0);
    EXPECT_EQ(logical.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(logical.lfFaceName, "Arial");
    EXPECT_EQ(cellHeight(font), 20);
}

TEST_F(FontTest, FontSectionSetsSizeFaceAndColours) {
    writeLayout("[FONT]\nSize=14\nFaceName=Courier New\nFocus=0,0,255\nNonFocus=0, 128, 0\n");
    CMyFont font;
    ASSERT_EQ(font.Load(kIniPath), 1);
    EXPECT_EQ(font.GetFocusColor(), RGB(0, 0, 255));
    EXPECT_EQ(font.GetNonFocusColor(), RGB(0, 128, 0));
    EXPECT_STREQ(logicalFont(font).lfFaceName, "Courier New");
    EXPECT_EQ(cellHeight(font), 14);
}

// The record's face name holds 31 characters and its terminator.
TEST_F(FontTest, LongFaceNamesAreCutToThirtyOneCharacters) {
    const std::string longName(200, 'F');
    writeLayout("[FONT]\nFaceName=" + longName + "\n");
    CMyFont font;
    ASSERT_EQ(font.Load(kIniPath), 1);
    EXPECT_EQ(std::string(logicalFont(font).lfFaceName), std::string(31, 'F'));

    writeLayout("[FONT]\nFaceName=" + std::string(31, 'G') + "\n");
    CMyFont exact;
    ASSERT_EQ(exact.Load(kIniPath), 1);
    EXPECT_EQ(std::string(logicalFont(exact).lfFaceName), std::string(31, 'G'));
}

} // namespace
} // namespace corvane_test
