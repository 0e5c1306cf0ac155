// A window object: one HWND attached to one C++ object, messages routed to
// the object's handlers through its message map.
//
// Windows made by CreateEx must be of a class whose window procedure is
// CWnd::WindowProcedure (AfxRegisterWndClass registers such classes). The
// object is attached before the first message of its window reaches the
// procedure, so even WM_CREATE goes to the object's handler.
#pragma once

#include "platform/framework/CDC.h"
#include "platform/framework/CObject.h"
#include "platform/framework/CPoint.h"
#include "platform/framework/MessageMap.h"

class CWnd : public CObject {
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    // Destroys the window if this object still owns it.
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    // rect gives the outer position and size; nID is the child identifier
    // (0 for a top-level window). The create handler runs before this
    // returns; FALSE when the window was not made (a create handler that
    // refuses also leads to WM_NCDESTROY, whose handler may delete this
    // object: a caller must not use it after FALSE unless it knows better).
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);

    // Binds an existing window to this object; FALSE for NULL, when this
    // object has a window already, or when another object holds hWndNew.
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // The object bound to hWnd; for a window without one, a temporary object
    // valid until the message loop fetches its next message. NULL for NULL.
    static CWnd* FromHandle(HWND hWnd);
    // The bound object only, or NULL.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Drops the temporary objects made by FromHandle.
    static void DeleteTempMap();

    HWND GetSafeHwnd() const { return m_hWnd; }

    virtual BOOL DestroyWindow();
    BOOL MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    BOOL MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    // Centres a top-level window over pAlternateOwner, else over its owner;
    // in the work area when there is no such window or it is hidden or
    // minimised. A child window is centred in its parent's client area. The
    // result is kept inside the area centred in where it fits.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;
    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const;
    BOOL ShowWindow(int nCmdShow);
    void UpdateWindow();
    BOOL IsWindowVisible() const;
    // Returns the window that had the focus.
    CWnd* SetFocus();
    // Both do nothing and answer 0 for an object without a window.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Caption NULL: the application's title.
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);

    // Called by the message loop for messages to this window or its
    // children before they are dispatched; TRUE when the message was used.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // The window procedure of every class made by AfxRegisterWndClass.
    static LRESULT CALLBACK WindowProcedure(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Routes WM_COMMAND through the message map; FALSE when no entry took it.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Runs last for a window, after it has been detached; the place for a
    // window object that owns itself to delete itself.
    virtual void PostNcDestroy();

    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_MSGMAP* GetThisMessageMap();

    // Runs the object's WindowProc for one message of hWnd with this message
    // as the current one. The object may be gone when this returns.
    // defaulted: whether a handler asked for the default processing.
    static LRESULT RouteMessage(CWnd* pWnd, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                BOOL& defaulted);
    // Records that the current message wants its default processing (for
    // windows whose default processing happens after their procedure).
    static void NoteDefaultWanted();

    // The handlers below give their message the default processing; a
    // derived class's handler calls them for that.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnPaint();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    void OnClose();
    int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);
    void OnActivateApp(BOOL bActive, DWORD dwThreadID);
    void OnSetFocus(CWnd* pOldWnd);
    // Default processing, then: the main window clears the application's
    // main-window pointer and ends the message loop; the object is detached
    // and PostNcDestroy runs.
    virtual void OnNcDestroy();

private:
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
    const AFX_MSGMAP_ENTRY* FindCommandEntry(UINT nID) const;
    void CenterInParent(CWnd* pAlternateOwner);
    void CenterOnScreen(CWnd* pAlternateOwner);
    void CenterIn(const RECT& area, POINT center);
};
