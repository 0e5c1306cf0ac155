#include "tests/emu/gdi/ScreenFixture.h"

#include "platform/emu/gdi/FrameBuffer.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using corvane_test::PackedDib;
using corvane_test::ScreenFixture;

class Device : public ScreenFixture {};

TEST_F(Device, CapabilitiesFollowTheConfiguredDepth) {
    struct Row {
        int depth;
        int rasterCaps;
        int sizePalette;
        int numColors;
    };
    const Row rows[] = {{4, RC_PALETTE, 16, 16},
                        {8, RC_PALETTE, 256, 20},
                        {16, 0, 0, -1},
                        {24, 0, 0, -1},
                        {32, 0, 0, -1}};
    for (const Row& row : rows) {
        bootScreen(640, 480, row.depth);
        EXPECT_EQ(GetDeviceCaps(dc(), BITSPIXEL), row.depth);
        EXPECT_EQ(GetDeviceCaps(dc(), PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(dc(), RASTERCAPS) & RC_PALETTE, row.rasterCaps) << row.depth;
        EXPECT_EQ(GetDeviceCaps(dc(), SIZEPALETTE), row.sizePalette) << row.depth;
        EXPECT_EQ(GetDeviceCaps(dc(), NUMCOLORS), row.numColors) << row.depth;
        EXPECT_EQ(GetDeviceCaps(dc(), HORZRES), 640);
        EXPECT_EQ(GetDeviceCaps(dc(), VERTRES), 480);
        EXPECT_EQ(GetDeviceCaps(dc(), LOGPIXELSY), 96);
        TearDown();
    }
    EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(0x1234), BITSPIXEL), 0);
}

TEST_F(Device, ColoursMapToWhatTheDepthCanShow) {
    struct Row {
        int depth;
        COLORREF asked;
        COLORREF shown;
    };
    const Row rows[] = {
        {32, RGB(1, 2, 3), RGB(1, 2, 3)},
        {24, RGB(200, 100, 50), RGB(200, 100, 50)},
        {16, RGB(255, 255, 255), RGB(255, 255, 255)},
        {16, RGB(0x12, 0x34, 0x56), RGB(0x10, 0x34, 0x52)}, // 5-6-5, top bits repeated
        {4, RGB(250, 10, 10), RGB(255, 0, 0)},
        {4, RGB(100, 100, 100), RGB(128, 128, 128)},
        {8, RGB(190, 190, 190), RGB(192, 192, 192)}, // nearest static colour
    };
    for (const Row& row : rows) {
        bootScreen(64, 64, row.depth);
        EXPECT_EQ(SetPixel(dc(), 3, 4, row.asked), row.shown) << row.depth;
        EXPECT_EQ(GetPixel(dc(), 3, 4), row.shown) << row.depth;
        EXPECT_EQ(emu::gdi::screen().pixel(3, 4), row.shown) << row.depth;
        TearDown();
    }
}

TEST_F(Device, RealisedPaletteGivesAPictureItsExactColoursOnEightBits) {
    bootScreen(320, 240, 8);
    const PackedDib dib(16, 16, 8, false, [](int x, int y) { return (x + 16 * y) % 256; });
    std::vector<uint8_t> record(4 + 4 * 256);
    auto* logical = reinterpret_cast<LOGPALETTE*>(record.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
        const COLORREF c = PackedDib::tableColour(i);
        logical->palPalEntry[i] =
            PALETTEENTRY{GetRValue(c), GetGValue(c), GetBValue(c), PC_RESERVED};
    }
    const HPALETTE palette = CreatePalette(logical);
    ASSERT_NE(palette, nullptr);
    const HPALETTE previous = SelectPalette(dc(), palette, FALSE);
    EXPECT_EQ(previous, GetStockObject(DEFAULT_PALETTE));
    EXPECT_GT(RealizePalette(dc()), 200u);
    EXPECT_EQ(RealizePalette(dc()), 0u); // already realised
    StretchDIBits(dc(), 0, 0, 16, 16, 0, 0, 16, 16, dib.bits(), dib.info(), DIB_RGB_COLORS,
                  SRCCOPY);
    int exact = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            exact += GetPixel(dc(), x, y) == PackedDib::tableColour((x + 16 * y) % 256) ? 1 : 0;
        }
    }
    EXPECT_GE(exact, 236); // every colour that found a free entry is exact
    EXPECT_FALSE(DeleteObject(palette)) << "selected in a live context";
    SelectPalette(dc(), previous, FALSE);
    EXPECT_TRUE(DeleteObject(palette));
}

TEST_F(Device, ObjectsSelectAndDeleteAsWindowsDoes) {
    bootScreen(64, 64, 32);
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    const HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(SelectObject(dc(), pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc(), brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc(), GetStockObject(NULL_PEN)), pen);
    EXPECT_EQ(SelectObject(dc(), nullptr), nullptr);
    EXPECT_EQ(SelectObject(nullptr, pen), nullptr);
    EXPECT_EQ(SelectObject(dc(), reinterpret_cast<HGDIOBJ>(0x4321)), nullptr);
    EXPECT_EQ(SelectObject(dc(), GetStockObject(DEFAULT_PALETTE)), nullptr);
    const HBITMAP bitmap = CreateBitmap(4, 4, 1, 8, nullptr);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(SelectObject(dc(), bitmap), nullptr) << "screen contexts take no bitmap";

    EXPECT_FALSE(DeleteObject(brush)) << "still selected";
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen)) << "already deleted";
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH))) << "ignored";
    EXPECT_NE(SelectObject(dc(), GetStockObject(BLACK_BRUSH)), nullptr);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(nullptr));

    EXPECT_EQ(CreatePalette(nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(4, 4, 1, 3, nullptr), nullptr);
    EXPECT_EQ(SetBkMode(dc(), 7), 0);
    EXPECT_EQ(SetBkMode(dc(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetROP2(dc(), R2_XORPEN), R2_COPYPEN);
    EXPECT_EQ(SetStretchBltMode(dc(), COLORONCOLOR), BLACKONWHITE);
    EXPECT_EQ(SetTextColor(dc(), RGB(1, 1, 1)), RGB(0, 0, 0));
    EXPECT_EQ(SetBkColor(dc(), RGB(1, 1, 1)), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
    EXPECT_EQ(GetSysColor(COLOR_ACTIVECAPTION), RGB(0, 0, 128));
    EXPECT_EQ(GetSysColorBrush(COLOR_WINDOW), GetSysColorBrush(COLOR_WINDOW));
    EXPECT_TRUE(DeleteObject(GetSysColorBrush(COLOR_WINDOW)));
    EXPECT_NE(GetSysColorBrush(COLOR_WINDOW), nullptr);
}

TEST_F(Device, OutputStaysInsideTheVisibleRectangles) {
    bootScreen(100, 100, 32);
    fillScreen(RGB(255, 255, 255));
    const std::vector<RECT> visible = {RECT{10, 10, 30, 20}, RECT{50, 40, 60, 90}};
    const HDC window = emu::gdi::createDeviceContext(POINT{5, 5}, visible);
    const RECT everything{-100, -100, 200, 200};
    EXPECT_EQ(FillRect(window, &everything, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)), 1);
    EXPECT_EQ(GetPixel(window, 0, 0), CLR_INVALID); // screen 5,5 is not visible
    EXPECT_EQ(GetPixel(window, 5, 5), RGB(0, 0, 128));
    const std::vector<COLORREF> shot = snapshot();
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            bool inside = false;
            for (const RECT& r : visible) {
                inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            }
            ASSERT_EQ(at(shot, x, y), inside ? RGB(0, 0, 128) : RGB(255, 255, 255))
                << x << "," << y;
        }
    }
    emu::gdi::setDeviceContextClip(window, {});
    const uint64_t generation = emu::gdi::screen().generation();
    FillRect(window, &everything, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(snapshot(), shot) << "an empty clip draws nothing";
    EXPECT_EQ(emu::gdi::screen().generation(), generation);
    SetPixel(dc(), 1, 1, RGB(0, 0, 0));
    EXPECT_GT(emu::gdi::screen().generation(), generation);
    EXPECT_TRUE(emu::gdi::destroyDeviceContext(window));
    EXPECT_FALSE(emu::gdi::destroyDeviceContext(window));
}

TEST_F(Device, RectangleFunctionsFollowWin32) {
    RECT r{};
    EXPECT_TRUE(SetRect(&r, 450, 20, 550, 40));
    EXPECT_TRUE(InflateRect(&r, 3, 1));
    EXPECT_EQ(r.left, 447);
    EXPECT_EQ(r.top, 19);
    EXPECT_EQ(r.right, 553);
    EXPECT_EQ(r.bottom, 41);
    EXPECT_TRUE(OffsetRect(&r, -447, -19));
    EXPECT_EQ(r.right, 106);
    struct Row {
        POINT p;
        BOOL inside;
    };
    const RECT item{450, 20, 550, 40};
    const Row rows[] = {{{450, 20}, TRUE},
                        {{549, 39}, TRUE},
                        {{550, 30}, FALSE},
                        {{500, 40}, FALSE},
                        {{449, 30}, FALSE}};
    for (const Row& row : rows) {
        EXPECT_EQ(PtInRect(&item, row.p), row.inside) << row.p.x << "," << row.p.y;
    }
    RECT out{1, 1, 1, 1};
    const RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, c{10, 0, 20, 10};
    EXPECT_TRUE(IntersectRect(&out, &a, &b));
    EXPECT_EQ(out.left, 5);
    EXPECT_EQ(out.bottom, 10);
    EXPECT_FALSE(IntersectRect(&out, &a, &c));
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_FALSE(IsRectEmpty(&a));
}

} // namespace

namespace {

TEST_F(Device, ExtremeCoordinatesNeitherOverflowNorDraw) {
    bootScreen(64, 64, 32);
    fillScreen(RGB(255, 255, 255));
    const std::vector<COLORREF> before = snapshot();
    constexpr int kMax = 0x7FFFFFFF;
    constexpr int kMin = -0x7FFFFFFF - 1;
    const RECT huge{kMin, kMin, kMin + 10, kMin + 10};
    EXPECT_EQ(FillRect(dc(), &huge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
    MoveToEx(dc(), kMax, kMax, nullptr);
    LineTo(dc(), kMax - 5, kMax);
    const HPEN wide = CreatePen(PS_SOLID, 9, RGB(0, 0, 0));
    SelectObject(dc(), wide);
    MoveToEx(dc(), kMin, kMin, nullptr);
    LineTo(dc(), kMin + 3, kMin + 7);
    SelectObject(dc(), GetStockObject(BLACK_PEN));
    DeleteObject(wide);
    TextOutA(dc(), kMax - 3, kMax - 3, "Exit", 4);
    RECT farAway{kMax - 10, 0, kMax, 20};
    EXPECT_EQ(DrawTextA(dc(), "Exit", -1, &farAway, DT_SINGLELINE | DT_RIGHT), 0);
    EXPECT_EQ(SetPixel(dc(), kMin, 0, RGB(0, 0, 0)), CLR_INVALID);
    EXPECT_FALSE(FloodFill(dc(), kMax, kMax, RGB(0, 0, 0)));
    const PackedDib dib(4, 4, 8, false, [](int x, int y) { return x + y; });
    EXPECT_EQ(StretchDIBits(dc(), kMax - 2, 0, kMin, 10, 0, 0, 4, 4, dib.bits(), dib.info(),
                            DIB_RGB_COLORS, SRCCOPY),
              0);
    EXPECT_EQ(snapshot(), before);
}

// Three states saved (levels 1 to 3 hold states 0 to 2), state 3 current;
// each row restores one level of a fresh context and reads back which state
// it left: objects, colours, mode, and the clip seen from the context's origin.
TEST_F(Device, SaveDcAndRestoreDcBringBackAWholeState) {
    bootScreen(64, 64, 32);
    constexpr int kStates = 4;
    const POINT origin{8, 8};
    HPEN pens[kStates];
    HBRUSH brushes[kStates];
    HFONT fonts[kStates];
    for (int k = 0; k < kStates; ++k) {
        pens[k] = CreatePen(PS_SOLID, 1, RGB(k, 0, 0));
        brushes[k] = CreateSolidBrush(RGB(0, k, 0));
        LOGFONTA lf{};
        lf.lfHeight = -8 - k;
        std::strcpy(lf.lfFaceName, "MS Sans Serif");
        fonts[k] = CreateFontIndirectA(&lf);
    }
    auto enter = [&](HDC dc, int k) {
        SelectObject(dc, pens[k]);
        SelectObject(dc, brushes[k]);
        SelectObject(dc, fonts[k]);
        SetTextColor(dc, RGB(0, 0, 10 + k));
        SetBkMode(dc, k % 2 == 0 ? OPAQUE : TRANSPARENT);
        emu::gdi::setDeviceContextClip(dc, {RECT{10 * k, 0, 10 * k + 10, 10}});
    };
    // Reads the state back; the reads change it, so each row uses its own context.
    auto stateOf = [&](HDC dc) {
        int found = -1;
        for (int k = 0; k < kStates; ++k) {
            bool inClip =
                SetPixel(dc, 10 * k + 1 - origin.x, 1 - origin.y, RGB(9, 9, 9)) == RGB(9, 9, 9);
            found = inClip ? k : found;
        }
        EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), pens[found]);
        EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), brushes[found]);
        EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), fonts[found]);
        EXPECT_EQ(SetTextColor(dc, 0), RGB(0, 0, 10 + found));
        EXPECT_EQ(SetBkMode(dc, OPAQUE), found % 2 == 0 ? OPAQUE : TRANSPARENT);
        return found;
    };
    struct Row {
        int level;
        BOOL restored;
        int state;     // the state current afterwards
        int nextLevel; // what SaveDC answers next
    };
    const Row rows[] = {
        {-1, TRUE, 2, 3}, {-2, TRUE, 1, 2}, {-3, TRUE, 0, 1}, {-4, FALSE, 3, 4}, {1, TRUE, 0, 1},
        {2, TRUE, 1, 2},  {3, TRUE, 2, 3},  {4, FALSE, 3, 4}, {0, FALSE, 3, 4},
    };
    for (const Row& row : rows) {
        fillScreen(RGB(0, 0, 0));
        HDC dc = emu::gdi::createDeviceContext(origin, {});
        for (int k = 0; k < kStates; ++k) {
            enter(dc, k);
            if (k + 1 < kStates) {
                EXPECT_EQ(SaveDC(dc), k + 1);
            }
        }
        EXPECT_EQ(RestoreDC(dc, row.level), row.restored) << row.level;
        EXPECT_EQ(stateOf(dc), row.state) << row.level;
        EXPECT_EQ(emu::gdi::screen().pixel(10 * row.state + 1, 1), RGB(9, 9, 9)) << row.level;
        EXPECT_EQ(SaveDC(dc), row.nextLevel) << row.level;
        emu::gdi::destroyDeviceContext(dc);
    }
    EXPECT_EQ(SaveDC(nullptr), 0);
    EXPECT_FALSE(RestoreDC(nullptr, -1));

    // An object a saved state holds is still in use: restoring would select it.
    HDC dc = emu::gdi::createDeviceContext(origin, {});
    SelectObject(dc, pens[0]);
    EXPECT_EQ(SaveDC(dc), 1);
    SelectObject(dc, pens[1]);
    EXPECT_FALSE(DeleteObject(pens[0]));
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_FALSE(DeleteObject(pens[0]));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    emu::gdi::destroyDeviceContext(dc);
    for (int k = 0; k < kStates; ++k) {
        EXPECT_TRUE(DeleteObject(pens[k]));
        EXPECT_TRUE(DeleteObject(brushes[k]));
        EXPECT_TRUE(DeleteObject(fonts[k]));
    }
}

} // namespace

// The screen's memory starts on a huge-page boundary (or the huge pages
// cannot be given), starts as the desktop's teal over every pixel, and a
// size no screen has is refused before any memory is taken.
TEST(ScreenMemory, StartsAlignedAndWholeAndRefusesImpossibleSizes) {
    for (auto [width, height] : {std::pair{800, 600}, {1, 1}, {1024, 513}, {4096, 4096}}) {
        emu::gdi::FrameBuffer frame(width, height, 32);
        const COLORREF* first = &frame.row(0)[0];
        EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % (size_t{2} << 20), 0u) << width;
        EXPECT_EQ(frame.at(0, 0), RGB(0, 128, 128)) << width;
        EXPECT_EQ(frame.at(width - 1, height - 1), RGB(0, 128, 128)) << width;
        frame.put(width - 1, height - 1, RGB(1, 2, 3));
        EXPECT_EQ(frame.pixel(width - 1, height - 1), RGB(1, 2, 3)) << width;
    }
    for (auto [width, height] : {std::pair{0, 600}, {800, -1}, {8193, 10}}) {
        EXPECT_THROW(emu::gdi::FrameBuffer(width, height, 32), std::runtime_error) << width;
    }
}
