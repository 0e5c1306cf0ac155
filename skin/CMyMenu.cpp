#include "skin/CMyMenu.h"

#include "platform/framework/CBrush.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CPen.h"
#include "platform/framework/CWnd.h"
#include "skin/CMyFont.h"

IMPLEMENT_DYNCREATE(CMyMenu, CObject)

CMyMenu::CMyMenu() = default;
CMyMenu::~CMyMenu() = default;

void CMyMenu::DrawNormal(CDC* pDC, CMyFont* pFont) {
    DrawLabel(pDC, pFont, pFont->GetNonFocusColor());
}

void CMyMenu::DrawHighlighted(CDC* pDC, CMyFont* pFont) {
    DrawLabel(pDC, pFont, pFont->GetFocusColor());
}

// Only the glyphs are painted, so the picture shows between them and a
// colour change needs no repaint of what lies behind the label.
void CMyMenu::DrawLabel(CDC* pDC, CMyFont* pFont, COLORREF color) {
    pDC->SetTextColor(color);
    int oldMode = pDC->SetBkMode(TRANSPARENT);
    HGDIOBJ hOldFont = pDC->SelectObject(pFont->GetFont());
    RECT rect = m_rect;
    pDC->DrawText(m_text, &rect, DT_SINGLELINE | DT_BOTTOM);
    pDC->SelectObject(hOldFont);
    pDC->SetBkMode(oldMode);
    DrawArrow(pDC, color);
}

// A filled triangle pointing right, 10 pixels wide, its tip on the right edge
// at mid-height: inside the 16 pixels added to the item's width for it.
void CMyMenu::DrawArrow(CDC* pDC, COLORREF color) {
    if (m_command != commandWithArrow) {
        return;
    }
    int height = m_rect.bottom - m_rect.top;
    int quarter = height / 4;
    int middle = height / 2;
    int base = m_rect.right - 10;

    CPen pen;
    pen.CreatePen(PS_SOLID, 1, color);
    CBrush brush;
    brush.CreateSolidBrush(color);
    HGDIOBJ hOldPen = pDC->SelectObject(&pen);
    HGDIOBJ hOldBrush = pDC->SelectObject(&brush);

    pDC->MoveTo(base, m_rect.top + quarter);
    pDC->LineTo(base, m_rect.bottom - quarter);
    pDC->LineTo(m_rect.right, m_rect.top + middle);
    pDC->LineTo(base, m_rect.top + quarter);
    pDC->FloodFill(m_rect.right - 5, m_rect.top + middle, color);

    pDC->SelectObject(hOldBrush);
    pDC->SelectObject(hOldPen);
}

// Black dots under exclusive-or leave the picture as it is and the white gaps
// between them invert it, so a second frame at the same place restores the
// picture exactly.
void CMyMenu::ToggleFocusFrame(CDC* pDC) {
    RECT frame = m_rect;
    InflateRect(&frame, 3, 1);

    CPen pen;
    pen.CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    HGDIOBJ hOldPen = pDC->SelectObject(&pen);
    int oldRop = pDC->SetROP2(R2_XORPEN);

    pDC->MoveTo(frame.left, frame.top);
    pDC->LineTo(frame.left, frame.bottom);
    pDC->LineTo(frame.right, frame.bottom);
    pDC->LineTo(frame.right, frame.top);
    pDC->LineTo(frame.left, frame.top);

    pDC->SetROP2(oldRop);
    pDC->SelectObject(hOldPen);
}

BOOL CMyMenu::Contains(CPoint point) const {
    RECT rect = m_rect;
    if (rect.left > rect.right) {
        LONG swap = rect.left;
        rect.left = rect.right;
        rect.right = swap;
    }
    if (rect.top > rect.bottom) {
        LONG swap = rect.top;
        rect.top = rect.bottom;
        rect.bottom = swap;
    }
    return PtInRect(&rect, point);
}

int CMyMenu::HoverTest(UINT /*nFlags*/, CPoint point, CDC* pDC, CMyFont* pFont) {
    if (Contains(point)) {
        DrawHighlighted(pDC, pFont);
        return 1;
    }
    DrawNormal(pDC, pFont);
    return 0;
}

int CMyMenu::ClickTest(CWnd* pWnd, UINT /*nFlags*/, CPoint point, CDC* pDC, CMyFont* pFont) {
    if (Contains(point)) {
        DrawHighlighted(pDC, pFont);
        PostCommand(pWnd);
        return 1;
    }
    DrawNormal(pDC, pFont);
    return 0;
}

// Posted, not sent: the command runs after the mouse or key message that
// chose it has been handled.
void CMyMenu::PostCommand(CWnd* pWnd) {
    pWnd->PostMessage(WM_COMMAND, static_cast<WPARAM>(m_command), 0);
}

void CMyMenu::Choose(CWnd* pWnd) {
    PostCommand(pWnd);
}
