#include "window/CSetupWnd.h"

#include "common/ProgramLimits.h"
#include "platform/framework/AfxWin.h"
#include "platform/framework/CClientDC.h"
#include "platform/framework/CPaintDC.h"
#include "skin/CLayout.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyBitmap.h"
#include "skin/CMyFont.h"

#include <new>

IMPLEMENT_DYNCREATE(CSetupWnd, CWnd)

namespace {
const UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
const DWORD kExStyle = WS_EX_WINDOWEDGE;
const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
} // namespace

// clang-format off
BEGIN_MESSAGE_MAP(CSetupWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_ERASEBKGND()
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_KEYUP()
    ON_WM_LBUTTONDOWN()
    ON_WM_ACTIVATE()
    ON_WM_CLOSE()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_MOUSEACTIVATE()
    ON_WM_ACTIVATEAPP()
    ON_WM_SETFOCUS()
    ON_WM_KEYDOWN()
    ON_WM_NCDESTROY()
    ON_COMMAND_RANGE(kFirstCommand, kLastCommand, OnMenuCommand)
END_MESSAGE_MAP()
// clang-format on

CSetupWnd::CSetupWnd()
    : m_pMenu(nullptr), m_pFont(nullptr), m_pBitmap(nullptr), m_pLayout(nullptr) {
    m_pLayout = new (std::nothrow) CLayout;
    m_pBitmap = new (std::nothrow) CMyBitmap;
    m_pFont = new (std::nothrow) CMyFont;
    m_pMenu = new (std::nothrow) CMenuCollector;
}

CSetupWnd::~CSetupWnd() {
    delete m_pLayout;
    delete m_pBitmap;
    delete m_pFont;
    delete m_pMenu;
}

BOOL CSetupWnd::Create(LPCSTR lpszTitle, const RECT& rect) {
    LPCSTR className = AfxRegisterWndClass(kClassStyle, LoadCursorA(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), nullptr);
    return CreateEx(kExStyle, className, lpszTitle, kStyle, rect, nullptr, 0);
}

int CSetupWnd::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1) {
        return -1;
    }
    // A skin object whose allocation failed cannot be built.
    if (m_pLayout == nullptr || m_pBitmap == nullptr || m_pFont == nullptr || m_pMenu == nullptr) {
        return -1;
    }
    CClientDC dc(this);
    return BuildSkin(&dc);
}

int CSetupWnd::BuildSkin(CDC* pDC) {
    // Each step uses the ones before: the picture's name needs the layout and
    // the display depth, the size may need the picture, the menu needs the
    // font, the alignment and the size.
    if (!m_pLayout->Load()) {
        return -1;
    }
    if (!m_pBitmap->Load(m_pLayout->GetBitmapFileName(pDC), pDC)) {
        return -1;
    }
    RECT size = m_pLayout->GetSizeRect();
    if (size.left == 0 && size.top == 0 && size.right == 0 && size.bottom == 0) {
        size = m_pBitmap->GetPictureRect();
    }
    if (!m_pFont->Load(m_pLayout->GetIniPath())) {
        return -1;
    }
    if (!m_pMenu->Load(m_pLayout->GetIniPath(), pDC, m_pFont, m_pLayout->GetAlignment(), size)) {
        return -1;
    }
    MoveWindow(size.left, size.top, size.right - size.left, size.bottom - size.top, TRUE);
    CenterWindow(nullptr);
    CString caption;
    if (m_pLayout->GetCaption(caption) != 0) {
        SetWindowText(caption);
    }
    return 0;
}

BOOL CSetupWnd::OnEraseBkgnd(CDC* pDC) {
    RECT client;
    GetClientRect(&client);
    m_pBitmap->Draw(pDC, client);
    return TRUE;
}

void CSetupWnd::OnPaint() {
    CPaintDC dc(this);
    m_pMenu->Paint(&dc, m_pFont);
}

void CSetupWnd::OnMouseMove(UINT nFlags, CPoint point) {
    CClientDC dc(this);
    m_pMenu->Hover(nFlags, point, &dc, m_pFont);
}

void CSetupWnd::OnLButtonDown(UINT, CPoint) {
    // Consumed: a command is chosen by the release alone.
}

void CSetupWnd::OnLButtonUp(UINT nFlags, CPoint point) {
    CClientDC dc(this);
    m_pMenu->Click(this, nFlags, point, &dc, m_pFont);
}

void CSetupWnd::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_RETURN) {
        m_bEnterPressed = TRUE;
    }
    CWnd::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CSetupWnd::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) {
    BOOL pressedHere = nChar != VK_RETURN || m_bEnterPressed;
    if (nChar == VK_RETURN) {
        m_bEnterPressed = FALSE;
    }
    if (pressedHere) {
        CClientDC dc(this);
        m_pMenu->Key(this, nChar, &dc);
    }
    CWnd::OnKeyUp(nChar, nRepCnt, nFlags);
}

void CSetupWnd::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized) {
    CWnd::OnActivate(nState, pWndOther, bMinimized);
    // Also on deactivation, so the arrow keys work again without a click.
    SetFocus();
}

void CSetupWnd::OnNcDestroy() {
    CWnd::OnNcDestroy();
    delete this;
}
