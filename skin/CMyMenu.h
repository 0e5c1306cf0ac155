// One text item of the launcher's menu: its label, the command number it
// posts when chosen and the rectangle it covers in the client area. An item
// with command number 2 carries an arrow at its right end.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CPoint.h"
#include "platform/framework/CString.h"

class CDC;
class CMyFont;
class CWnd;

class CMyMenu : public CObject {
    DECLARE_DYNCREATE(CMyMenu)

public:
    // The command number that marks an item with an arrow.
    enum { commandWithArrow = 2 };

    CMyMenu();
    ~CMyMenu() override;

    // The label in the non-focus or the focus colour, then the arrow.
    void DrawNormal(CDC* pDC, CMyFont* pFont);
    void DrawHighlighted(CDC* pDC, CMyFont* pFont);
    void DrawArrow(CDC* pDC, COLORREF color);
    // Draws the dotted frame around the item, or removes it when it is there.
    void ToggleFocusFrame(CDC* pDC);
    // Both redraw the item, highlighted when point lies inside it, and answer
    // 1 for inside; ClickTest then posts the command as well.
    int HoverTest(UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont);
    int ClickTest(CWnd* pWnd, UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont);
    // Posts WM_COMMAND with the command number to pWnd.
    void PostCommand(CWnd* pWnd);
    void Choose(CWnd* pWnd);

    const RECT& GetRect() const { return m_rect; }
    const CString& GetExtraText() const { return m_extraText; }
    const CString& GetText() const { return m_text; }
    int GetCommand() const { return m_command; }
    int GetIndex() const { return m_index; }

    void SetRect(const RECT& rect) { m_rect = rect; }
    void SetExtraText(const CString& extraText) { m_extraText = extraText; }
    void SetText(const CString& text) { m_text = text; }
    void SetCommand(int command) { m_command = command; }
    void SetIndex(int index) { m_index = index; }

private:
    void DrawLabel(CDC* pDC, CMyFont* pFont, COLORREF color);
    BOOL Contains(CPoint point) const;

    RECT m_rect = {0, 0, 0, 0};
    CString m_extraText;
    CString m_text;
    // 0 until a command number is read: no command handler takes it.
    int m_command = 0;
    int m_index = 0;
};
