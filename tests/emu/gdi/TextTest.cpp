#include "tests/emu/gdi/ScreenFixture.h"

#include "platform/emu/gdi/EditionFaces.h"
#include "platform/emu/gdi/FontEngine.h"
#include "tests/support/GlyphInk.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

using corvane_test::CharacterCell;
using corvane_test::characterCells;
using corvane_test::GlyphInk;
using corvane_test::glyphInk;
using corvane_test::missingGlyph;
using corvane_test::ScreenFixture;

LOGFONTA menuFont(LONG height, const char* face, LONG weight = FW_BOLD) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

class Text : public ScreenFixture {
protected:
    void SetUp() override {
        bootScreen(400, 300, 32);
        const LOGFONTA lf = menuFont(20, "Arial");
        m_font = CreateFontIndirectA(&lf);
        ASSERT_NE(m_font, nullptr);
        m_oldFont = SelectObject(dc(), m_font);
    }
    void TearDown() override {
        SelectObject(dc(), m_oldFont);
        EXPECT_TRUE(DeleteObject(m_font));
        ScreenFixture::TearDown();
    }

    int drawLabel(const char* text, RECT r, UINT format = DT_SINGLELINE | DT_BOTTOM) {
        return DrawTextA(dc(), text, -1, &r, format);
    }
    // The pixels of the rectangle at (left, top) of the given size.
    std::vector<COLORREF> area(const std::vector<COLORREF>& shot, int left, int top, int width,
                               int height) const {
        std::vector<COLORREF> out;
        for (int y = top; y < top + height; ++y) {
            for (int x = left; x < left + width; ++x) {
                out.push_back(at(shot, x, y));
            }
        }
        return out;
    }
    SIZE extent(const char* text) {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPointA(dc(), text, static_cast<int>(std::strlen(text)), &size));
        return size;
    }

    HFONT m_font = nullptr;
    HGDIOBJ m_oldFont = nullptr;
};

TEST_F(Text, ExtentIsTheAdvanceSumAndTheCellHeight) {
    const SIZE install = extent("Install");
    const SIZE ampersand = extent("&Install");
    EXPECT_EQ(install.cy, 20); // a positive height is the cell height
    EXPECT_GT(install.cx, 30);
    EXPECT_GT(ampersand.cx, install.cx); // measured as written, ampersand included
    SIZE empty{1, 1};
    EXPECT_TRUE(GetTextExtentPoint32A(dc(), "", 0, &empty));
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, 20);
    EXPECT_FALSE(GetTextExtentPointA(dc(), nullptr, 3, &empty));
    EXPECT_FALSE(GetTextExtentPointA(nullptr, "x", 1, &empty));

    struct Row {
        LONG height;
        const char* face;
        LONG expectedCell; // 0: larger than the character height
    };
    const Row rows[] = {{14, "Arial", 14},
                        {32, "Arial", 32},
                        {20, "No Such Face At All", 20}, // a substitute is found
                        {-20, "Arial", 0},
                        // The bitmap font's sizes are 13, 16 and 20 pixels,
                        // with 11, 13 and 16 pixel characters. GDI takes the
                        // tallest not above the request, else the smallest.
                        {-11, "MS Sans Serif", 13},
                        {-12, "MS Sans Serif", 13},
                        {-13, "MS Sans Serif", 16},
                        {-30, "MS Sans Serif", 20},
                        {-6, "MS Sans Serif", 13},
                        {15, "MS Sans Serif", 13},
                        {16, "ms sans serif", 16},
                        {40, "MS Sans Serif", 20},
                        {0, "MS Sans Serif", 16},
                        {13, "MS Shell Dlg", 13}};
    for (const Row& row : rows) {
        const LOGFONTA lf = menuFont(row.height, row.face);
        const HFONT font = CreateFontIndirectA(&lf);
        ASSERT_NE(font, nullptr) << row.face;
        SelectObject(dc(), font);
        const SIZE size = extent("Ag");
        if (row.expectedCell) {
            EXPECT_EQ(size.cy, row.expectedCell) << row.height;
        } else {
            EXPECT_GT(size.cy, -row.height) << "cell of a character height";
        }
        SelectObject(dc(), m_font);
        EXPECT_TRUE(DeleteObject(font));
    }
}

TEST_F(Text, SansSerifBoldIsTheRegularFaceSetTwiceOnePixelApart) {
    // The 52 letters' widths in the font file's sizes; the bold spaces every
    // letter one pixel wider.
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    struct Row {
        LONG height;
        LONG weight;
        int width;
    };
    const Row rows[] = {{-11, FW_NORMAL, 323},
                        {-11, FW_BOLD, 323 + 52},
                        {16, FW_NORMAL, 405},
                        {20, FW_NORMAL, 483},
                        {20, FW_BOLD, 483 + 52}};
    for (const Row& row : rows) {
        const LOGFONTA lf = menuFont(row.height, "MS Sans Serif", row.weight);
        const HFONT font = CreateFontIndirectA(&lf);
        SelectObject(dc(), font);
        EXPECT_EQ(extent(alphabet).cx, row.width) << row.height << " " << row.weight;
        SelectObject(dc(), m_font);
        EXPECT_TRUE(DeleteObject(font));
    }

    fillScreen(RGB(255, 255, 255));
    SetBkMode(dc(), TRANSPARENT);
    SetTextColor(dc(), RGB(0, 0, 0));
    for (LONG weight : {FW_NORMAL, FW_BOLD}) {
        const LOGFONTA lf = menuFont(-11, "MS Sans Serif", weight);
        const HFONT font = CreateFontIndirectA(&lf);
        SelectObject(dc(), font);
        EXPECT_TRUE(TextOutA(dc(), 10, weight == FW_BOLD ? 50 : 10, "W", 1));
        SelectObject(dc(), m_font);
        EXPECT_TRUE(DeleteObject(font));
    }
    const std::vector<COLORREF> shot = snapshot();
    const auto inked = [&](int x, int y) { return at(shot, x, y) == RGB(0, 0, 0); };
    int regularInk = 0;
    for (int y = 0; y < 13; ++y) {
        for (int x = 0; x < 16; ++x) {
            regularInk += inked(10 + x, 10 + y) ? 1 : 0;
            const bool twice = inked(10 + x, 10 + y) || (x > 0 && inked(9 + x, 10 + y));
            EXPECT_EQ(inked(10 + x, 50 + y), twice) << x << "," << y;
        }
    }
    EXPECT_GT(regularInk, 10);
}

TEST(FontEngine, WithoutTheBitmapFontSansSerifIsASubstituteAndTheRunSaysSoOnce) {
    emu::gdi::FontEngine engine({"/nonexistent/sserife.fon"});
    testing::internal::CaptureStderr();
    for (LONG height : {-11, 16, -11}) {
        const auto face = engine.face(menuFont(height, "MS Sans Serif", FW_NORMAL));
        EXPECT_NE(face, nullptr) << height;
    }
    const std::string said = testing::internal::GetCapturedStderr();
    const size_t note = said.find("fonts-wine");
    EXPECT_NE(note, std::string::npos) << said;
    EXPECT_EQ(said.find("fonts-wine", note + 1), std::string::npos) << said;

    emu::gdi::FontEngine found({"/nonexistent/sserife.fon", "/usr/share/wine/fonts/sserife.fon"});
    testing::internal::CaptureStderr();
    const auto face = found.face(menuFont(-13, "MS Sans Serif", FW_NORMAL));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->cellHeight(), 16);
    EXPECT_EQ(face->ascent(), 13);
}

TEST_F(Text, FaceNameWithoutTerminatorIsCutSafely) {
    LOGFONTA lf = menuFont(16, "");
    std::memset(lf.lfFaceName, 'A', LF_FACESIZE); // no NUL anywhere
    const HFONT font = CreateFontIndirectA(&lf);
    ASSERT_NE(font, nullptr);
    SelectObject(dc(), font);
    EXPECT_EQ(extent("x").cy, 16);
    SelectObject(dc(), m_font);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

TEST_F(Text, PrefixUnderlinesTheMnemonicAndHidesTheAmpersand) {
    fillScreen(RGB(255, 255, 255));
    SetBkMode(dc(), TRANSPARENT);
    SetTextColor(dc(), RGB(0, 0, 0));
    drawLabel("&Install", RECT{10, 10, 200, 30});
    drawLabel("Install", RECT{10, 110, 200, 130});
    const std::vector<COLORREF> shot = snapshot();
    const int widthOfI = extent("I").cx;
    int differing = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 190; ++x) {
            const COLORREF prefixed = at(shot, 10 + x, 10 + y);
            const COLORREF plain = at(shot, 10 + x, 110 + y);
            if (prefixed == plain) {
                continue;
            }
            ++differing;
            // Only the underline differs: black pixels under the I.
            EXPECT_EQ(prefixed, RGB(0, 0, 0)) << x << "," << y;
            EXPECT_LT(x, widthOfI) << x << "," << y;
            EXPECT_GT(y, 12) << "below the baseline";
        }
    }
    EXPECT_GE(differing, widthOfI - 2);

    // "&&" shows one ampersand, exactly as DT_NOPREFIX shows a single one.
    drawLabel("A&&B", RECT{10, 200, 200, 220});
    drawLabel("A&B", RECT{10, 250, 200, 270}, DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
    const std::vector<COLORREF> after = snapshot();
    EXPECT_EQ(area(after, 10, 200, 190, 20), area(after, 10, 250, 190, 20));
}

TEST_F(Text, GlyphsDrawnTwiceTransparentlyLeaveTheSamePixels) {
    paintPattern();
    SetBkMode(dc(), TRANSPARENT);
    SetTextColor(dc(), RGB(0, 255, 0));
    drawLabel("Install drivers", RECT{20, 20, 380, 40});
    const std::vector<COLORREF> once = snapshot();
    drawLabel("Install drivers", RECT{20, 20, 380, 40});
    EXPECT_EQ(snapshot(), once);
    SetTextColor(dc(), RGB(255, 0, 0)); // a colour change paints over the same glyph pixels
    drawLabel("Install drivers", RECT{20, 20, 380, 40});
    SetTextColor(dc(), RGB(0, 255, 0));
    drawLabel("Install drivers", RECT{20, 20, 380, 40});
    EXPECT_EQ(snapshot(), once);
}

TEST_F(Text, OpaqueTextFillsItsCellsWithTheBackgroundColour) {
    paintPattern();
    SetBkColor(dc(), RGB(0, 0, 255));
    EXPECT_TRUE(TextOutA(dc(), 30, 40, "Exit", 4));
    const std::vector<COLORREF> shot = snapshot();
    const SIZE size = extent("Exit");
    for (int y = 40; y < 40 + size.cy; ++y) {
        for (int x = 30; x < 30 + size.cx; ++x) {
            const COLORREF c = at(shot, x, y);
            ASSERT_TRUE(c == RGB(0, 0, 255) || c == RGB(0, 0, 0)) << x << "," << y;
        }
    }
    EXPECT_NE(at(shot, 30 + size.cx, 40), RGB(0, 0, 255));
}

TEST_F(Text, DrawTextPlacesMeasuresAndWraps) {
    const int cell = 20;
    const int width = extent("Exit").cx;
    struct Row {
        UINT format;
        RECT rect;
        int expectedResult;
        RECT expectedInk; // left, top of the cell where ink may appear (inclusive bounds)
    };
    const Row rows[] = {
        {DT_SINGLELINE | DT_BOTTOM, {0, 0, 200, 50}, 50, {0, 30, width, 50}},
        {DT_SINGLELINE | DT_VCENTER | DT_CENTER,
         {0, 0, 200, 60},
         40,
         {(200 - width) / 2, 20, (200 - width) / 2 + width, 40}},
        {DT_SINGLELINE | DT_RIGHT, {0, 0, 200, 60}, cell, {200 - width, 0, 200, 20}},
    };
    for (const Row& row : rows) {
        fillScreen(RGB(255, 255, 255));
        RECT r = row.rect;
        EXPECT_EQ(DrawTextA(dc(), "Exit", -1, &r, row.format), row.expectedResult);
        const std::vector<COLORREF> shot = snapshot();
        int ink = 0;
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < 400; ++x) {
                if (at(shot, x, y) == RGB(255, 255, 255)) {
                    continue;
                }
                ++ink;
                EXPECT_TRUE(x >= row.expectedInk.left && x < row.expectedInk.right &&
                            y >= row.expectedInk.top && y < row.expectedInk.bottom)
                    << row.format << ": " << x << "," << y;
            }
        }
        EXPECT_GT(ink, 10);
    }

    RECT calc{5, 5, 5, 5};
    EXPECT_EQ(DrawTextA(dc(), "Exit", -1, &calc, DT_SINGLELINE | DT_CALCRECT), cell);
    EXPECT_EQ(calc.right, 5 + width);
    EXPECT_EQ(calc.bottom, 5 + cell);

    // Word breaks: at blanks to fit the width, and at every "\n".
    const int wrapWidth = extent("Restart the computer").cx + 2;
    RECT wrap{0, 0, wrapWidth, 0};
    EXPECT_EQ(
        DrawTextA(dc(), "Restart the computer now?\nYes", -1, &wrap, DT_WORDBREAK | DT_CALCRECT),
        3 * cell);
    EXPECT_EQ(wrap.bottom, 3 * cell);
    EXPECT_LE(wrap.right, wrapWidth);
    RECT oneLine{0, 0, 400, 0};
    EXPECT_EQ(
        DrawTextA(dc(), "Restart the computer now?", -1, &oneLine, DT_WORDBREAK | DT_CALCRECT),
        cell);
}

TEST_F(Text, DrawTextClipsToItsRectangleUnlessToldNot) {
    fillScreen(RGB(255, 255, 255));
    RECT narrow{10, 10, 20, 30};
    DrawTextA(dc(), "Wide label", -1, &narrow, DT_SINGLELINE);
    std::vector<COLORREF> shot = snapshot();
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (x < 10 || x >= 20 || y < 10 || y >= 30) {
                ASSERT_EQ(at(shot, x, y), RGB(255, 255, 255)) << x << "," << y;
            }
        }
    }
    DrawTextA(dc(), "Wide label", -1, &narrow, DT_SINGLELINE | DT_NOCLIP);
    shot = snapshot();
    int beyond = 0;
    for (int y = 10; y < 30; ++y) {
        for (int x = 20; x < 200; ++x) {
            beyond += at(shot, x, y) != RGB(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(beyond, 20);
}

TEST_F(Text, BytesAreWindows1252) {
    // 0x80 is the euro sign; 0x81 is unassigned and shows the missing-glyph box.
    const auto inkOf = [&](const char* text) {
        fillScreen(RGB(255, 255, 255));
        TextOutA(dc(), 0, 0, text, 1);
        return area(snapshot(), 0, 0, 30, 20);
    };
    const std::vector<COLORREF> euro = inkOf("\x80");
    EXPECT_GT(std::count(euro.begin(), euro.end(), RGB(0, 0, 0)), 10);
    EXPECT_NE(euro, inkOf("\x81"));
    EXPECT_NE(inkOf("\xE9"), inkOf("e")); // e acute is not a plain e
}

TEST_F(Text, TwoThreadsDrawingAtOnceEachGetTheirOwnResult) {
    fillScreen(RGB(255, 255, 255));
    SetBkMode(dc(), TRANSPARENT);
    const HDC other = emu::gdi::createDeviceContext(POINT{0, 150}, {RECT{0, 150, 400, 300}});
    SelectObject(other, m_font);
    SetBkMode(other, TRANSPARENT);
    RECT top{10, 10, 390, 30};
    RECT bottom{10, 10, 390, 30};
    DrawTextA(dc(), "Install drivers", -1, &top, DT_SINGLELINE);
    const std::vector<COLORREF> expected = area(snapshot(), 0, 0, 400, 150);
    fillScreen(RGB(255, 255, 255));
    std::thread animation([&] {
        for (int i = 0; i < 200; ++i) {
            DrawTextA(other, "Install drivers", -1, &bottom, DT_SINGLELINE);
        }
    });
    for (int i = 0; i < 200; ++i) {
        DrawTextA(dc(), "Install drivers", -1, &top, DT_SINGLELINE);
    }
    animation.join();
    const std::vector<COLORREF> shot = snapshot();
    EXPECT_EQ(area(shot, 0, 0, 400, 150), expected);
    EXPECT_EQ(area(shot, 0, 150, 400, 150), expected);
    SelectObject(other, GetStockObject(SYSTEM_FONT));
    emu::gdi::destroyDeviceContext(other);
}

} // namespace

// Text of a Japanese, Chinese or Korean edition: each double-byte character
// one glyph, also where its trail byte is '\\' or a letter. In a font of the
// edition's character set (DEFAULT_CHARSET there) the glyphs come from a
// face that has them, whatever face it names; in an ANSI_CHARSET font of a
// face without them each shows that face's missing-glyph shape, which the
// ink test tells apart.
class DoubleByteText : public ScreenFixture {};

TEST_F(DoubleByteText, EachCharacterIsOneGlyphOfTheEditionsFace) {
    struct Row {
        UINT codePage;
        const char* text; // two double-byte characters
        const char* what;
    };
    const Row rows[] = {
        {932, "\x95\x5C\x8E\xA6", "Japanese, trail byte '\\' first"},
        {936, "\x81\x5C\xD6\xD0", "Simplified Chinese, trail byte '\\' first"},
        {949, "\x81\x61\xC7\xD1", "Korean, trail byte 'a' first"},
        {950, "\xB3\x5C\xA5\x5C", "Traditional Chinese, both trail bytes '\\'"},
    };
    struct Font {
        const char* face; // nullptr: the edition's own
        BYTE charSet;     // 2: the edition's
        bool glyphs;
    };
    const Font fonts[] = {{nullptr, DEFAULT_CHARSET, true},
                          {"Arial", ANSI_CHARSET, false},
                          {"Arial", DEFAULT_CHARSET, true},
                          {"Arial", 2, true}};
    const RECT spot{200, 200, 260, 240};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bootScreen(400, 300, 32, row.codePage);
        for (const Font& f : fonts) {
            LOGFONTA lf = menuFont(
                28, f.face ? f.face : emu::gdi::EditionFaces::uiFace(row.codePage), FW_NORMAL);
            lf.lfCharSet =
                f.charSet == 2 ? emu::gdi::EditionFaces::charSet(row.codePage) : f.charSet;
            SCOPED_TRACE(std::string(f.face ? f.face : "edition's face") + ", character set " +
                         std::to_string(lf.lfCharSet));
            HFONT font = CreateFontIndirectA(&lf);
            fillScreen(RGB(255, 255, 255));
            const GlyphInk missing = missingGlyph(font, row.text[0], spot);
            HGDIOBJ old = SelectObject(dc(), font);
            TextOutA(dc(), 10, 10, row.text, 4);
            // A lead byte that ends the text is a character of its own, the
            // missing glyph: the byte after it is not read.
            TextOutA(dc(), 10, 110, row.text, 1);
            SelectObject(dc(), old);
            const std::vector<CharacterCell> cells = characterCells(font, row.text, 10, 10, 38);
            ASSERT_EQ(cells.size(), 2u);
            for (const CharacterCell& cell : cells) {
                EXPECT_EQ(cell.character.size(), 2u);
                const GlyphInk ink = glyphInk(cell.cell, RGB(0, 0, 0));
                EXPECT_EQ(ink.drawnUnlike(missing), f.glyphs)
                    << "ink " << ink.ink << " inside " << ink.interior;
                EXPECT_EQ(ink.sameShape(missing), !f.glyphs);
            }
            EXPECT_TRUE(glyphInk(RECT{0, 110, 60, 138}, RGB(0, 0, 0)).sameShape(missing));
            EXPECT_TRUE(DeleteObject(font));
        }
        TearDown();
    }
}
