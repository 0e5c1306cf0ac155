// The launcher's one top-level window. It owns the four skin objects, builds
// them while it is created, shows the picture and the menu, hands mouse and
// key input to the menu and runs the commands the menu posts.
#pragma once

#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"

#include <vector>

class CLayout;
class CMyBitmap;
class CMyFont;
class CMenuCollector;
class CUpdateLock;

class CSetupWnd : public CWnd {
    DECLARE_DYNCREATE(CSetupWnd)

public:
    CSetupWnd();
    ~CSetupWnd() override;

    // Registers the window class and creates the hidden window; nonzero when
    // the window exists.
    BOOL Create(LPCSTR lpszTitle, const RECT& rect);

    // Walks the install sections: "COMMON", the release tag's and, with USB,
    // "USB INF". The number of lines whose Windows INF file was left as it
    // was (0 when every file is updated).
    int Install(BOOL usbPresent);

    // The section walkers behind the commands; each reads its section of
    // layout.ini at the path the layout gives, judged against the layout's
    // other install and uninstall lines (CUpdateLines). InstallSection
    // returns the number of lines not updated: refused, unreadable or
    // failed.
    int InstallSection(LPCSTR section);
    // The number of lines put back. Lines not put back are added to
    // *pFailed (refused, unreadable, a backup that is no sound one or could
    // not be put back or removed) and *pMissing (no backup, but the target
    // holds what an install of this disk adds to it) when given; a line
    // without its backup whose target holds no such lines has nothing to
    // put back and counts in neither.
    int UninstallSection(LPCSTR section, int* pFailed = nullptr, int* pMissing = nullptr);
    int CheckFiles();
    BOOL DeleteDeviceKeys(LPCSTR section);

    CLayout* GetLayout() const { return m_pLayout; }
    CMenuCollector* GetMenu() const { return m_pMenu; }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnPaint();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnNcDestroy() override;
    void OnMenuCommand(UINT nID);

    DECLARE_MESSAGE_MAP()

private:
    int BuildSkin(CDC* pDC);
    void RunCommand(UINT nID);
    // Takes the update lock for this command, waiting while another copy
    // holds it; shows why when it cannot be taken. Null then.
    CUpdateLock* TakeUpdateLock(LPCSTR infDir);
    // Serves the window's painting while the lock is waited for; input and
    // commands are dropped meanwhile.
    void PumpWhileWaiting();

    CMenuCollector* m_pMenu;
    CMyFont* m_pFont;
    CMyBitmap* m_pBitmap;
    CLayout* m_pLayout;
    // Set while a command runs: its message boxes pump messages, and a
    // command posted meanwhile (the second release of a double-click) must
    // not start a second install inside the first.
    BOOL m_bCommandRunning = FALSE;
    // Whether the Enter key went down while this window had the focus. A
    // release whose press went elsewhere (Enter answering a message box,
    // which closes on the press) must not choose the focused item again.
    BOOL m_bEnterPressed = FALSE;
};
