#include "platform/framework/AfxWin.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/user/HostInput.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

void PrintTo(const CPoint& point, std::ostream* out) {
    *out << "(" << point.x << ", " << point.y << ")";
}
void PrintTo(const CSize& size, std::ostream* out) {
    *out << size.cx << " x " << size.cy;
}

namespace {

const POINT kWindowAt = {50, 40};

// A window without frame: client and screen differ by kWindowAt only.
class CPaintProbe : public CWnd {
public:
    bool m_erasedWithMessageDC = false;
    bool m_painted = false;

    BOOL Make() {
        return CreateEx(0, AfxRegisterWndClass(0), "paint", WS_POPUP,
                        RECT{kWindowAt.x, kWindowAt.y, kWindowAt.x + 200, kWindowAt.y + 100},
                        nullptr, 0);
    }

protected:
    BOOL OnEraseBkgnd(CDC* pDC) {
        m_erasedWithMessageDC = pDC->m_hDC != nullptr;
        CBrush blue;
        blue.CreateSolidBrush(RGB(0, 0, 255));
        CRect client;
        GetClientRect(&client);
        FillRect(pDC->GetSafeHdc(), &client, static_cast<HBRUSH>(blue));
        return TRUE;
    }

    void OnPaint() {
        CPaintDC dc(this);
        CPen red;
        red.CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ previous = dc.SelectObject(&red);
        dc.MoveTo(0, 10);
        dc.LineTo(100, 10);
        dc.SelectObject(previous);
        m_painted = true;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPaintProbe, CWnd)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
END_MESSAGE_MAP()

class FrameworkDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        m_machine.boot();
        emu::user::setIdleHandler([] { PostQuitMessage(99); });
    }

    static COLORREF screenAt(int clientX, int clientY) {
        return emu::gdi::screen().pixel(kWindowAt.x + clientX, kWindowAt.y + clientY);
    }

    corvane_test::TestMachine m_machine;
};

} // namespace

TEST_F(FrameworkDrawing, EraseAndPaintHandlersDrawThroughTheirDeviceContexts) {
    CPaintProbe wnd;
    ASSERT_TRUE(wnd.Make());
    wnd.ShowWindow(SW_SHOW);
    wnd.UpdateWindow();
    EXPECT_TRUE(wnd.m_erasedWithMessageDC);
    EXPECT_TRUE(wnd.m_painted);
    EXPECT_EQ(screenAt(20, 10), RGB(255, 0, 0));
    EXPECT_EQ(screenAt(20, 30), RGB(0, 0, 255));
    EXPECT_EQ(screenAt(150, 10), RGB(0, 0, 255));
}

TEST_F(FrameworkDrawing, WrappersHandBackWhatWasSelectedBefore) {
    CPaintProbe wnd;
    ASSERT_TRUE(wnd.Make());
    CClientDC dc(&wnd);
    ASSERT_NE(dc.GetSafeHdc(), nullptr);

    CPen pen;
    ASSERT_TRUE(pen.CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
    HGDIOBJ first = pen.GetSafeHandle();
    EXPECT_FALSE(pen.CreatePen(PS_SOLID, 1, RGB(1, 1, 1)));
    EXPECT_EQ(pen.GetSafeHandle(), first);
    HGDIOBJ stockPen = dc.SelectObject(&pen);
    EXPECT_NE(stockPen, nullptr);
    EXPECT_EQ(dc.SelectObject(stockPen), first);
    EXPECT_EQ(dc.SelectObject(static_cast<CGdiObject*>(nullptr)), nullptr);
    dc.MoveTo(5, 6);
    EXPECT_EQ(dc.MoveTo(7, 8), CPoint(5, 6));

    LOGFONTA logFont = {};
    logFont.lfHeight = 20;
    std::strcpy(logFont.lfFaceName, "Arial");
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&logFont));
    EXPECT_FALSE(CFont().CreateFontIndirect(nullptr));
    HGDIOBJ previousFont = dc.SelectObject(&font);
    const CSize label = dc.GetTextExtent("Install drivers", 15);
    EXPECT_GT(label.cx, 0);
    EXPECT_EQ(dc.GetTextExtent(CString("Install drivers")), label);
    EXPECT_EQ(dc.GetTextExtent(nullptr, 3), CSize());
    EXPECT_EQ(dc.GetTextExtent("abc", -1), CSize());
    dc.SelectObject(previousFont);

    struct {
        LOGPALETTE head;
        PALETTEENTRY more[1];
    } record = {{0x300, 2, {{255, 0, 0, PC_RESERVED}}}, {{0, 0, 255, PC_RESERVED}}};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(&record.head));
    HPALETTE previousPalette = dc.SelectPalette(&palette, FALSE);
    EXPECT_EQ(dc.SelectPalette(previousPalette, FALSE), static_cast<HPALETTE>(palette));
    EXPECT_EQ(dc.SelectPalette(static_cast<CPalette*>(nullptr), FALSE), nullptr);
}

TEST_F(FrameworkDrawing, GdiObjectsAreDeletedWithTheirOwner) {
    HGDIOBJ kept = nullptr;
    {
        CBrush brush;
        ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
        kept = brush.Detach();
        EXPECT_EQ(brush.GetSafeHandle(), nullptr);
    }
    EXPECT_TRUE(DeleteObject(kept)); // outlived its former owner

    HGDIOBJ owned = nullptr;
    {
        CBrush brush;
        ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
        owned = brush.GetSafeHandle();
    }
    EXPECT_FALSE(DeleteObject(owned)); // already deleted

    CBitmap bitmap;
    const BYTE bits[4] = {0xF0, 0, 0x0F, 0};
    EXPECT_TRUE(bitmap.CreateBitmap(8, 2, 1, 1, bits));
    EXPECT_TRUE(bitmap.DeleteObject());
    EXPECT_FALSE(bitmap.DeleteObject());
    CGdiObject empty;
    EXPECT_FALSE(empty.Attach(nullptr));
}
