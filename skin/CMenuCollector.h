// The launcher's menu: the items of the MENU section of layout.ini, placed by
// the GAPS section and the alignment, drawn over the picture and driven by
// the mouse and the Up, Down and Enter keys.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CPoint.h"
#include "platform/framework/CPtrList.h"
#include "platform/framework/CSize.h"

class CDC;
class CMyFont;
class CMyMenu;
class CWnd;

class CMenuCollector : public CObject {
    DECLARE_DYNCREATE(CMenuCollector)

public:
    CMenuCollector();
    ~CMenuCollector() override;

    // Reads the gaps and the items; alignment is 1 left, 2 centre, 3 right
    // and sizeRect the window's outer size. 1 when at least one item
    // resulted.
    int Load(LPCSTR iniPath, CDC* pDC, CMyFont* pFont, int alignment, const RECT& sizeRect);
    // Appends the item of one MENU line ("key=label,command,extra"), measured
    // in the menu font and placed. A line without "=" gives no item: FALSE.
    BOOL AddItem(LPCSTR line, int index, CDC* pDC, CMyFont* pFont, int alignment,
                 const RECT& sizeRect);

    // Every item plain, and the focus frame.
    void Paint(CDC* pDC, CMyFont* pFont);
    // The item under point highlighted, every other one plain.
    void Hover(UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont);
    // Every item plain, then the first item under point highlighted and its
    // command posted.
    void Click(CWnd* pWnd, UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont);
    // Up and Down move the focus with wrap-around, Enter chooses the focused
    // item; other keys do nothing.
    void Key(CWnd* pWnd, UINT nChar, CDC* pDC);
    // Moves the focus frame from the previous focus item to the focus item.
    void MoveFocus(CDC* pDC);

    int GetItemCount() const { return m_count; }
    int GetFocusIndex() const { return m_focusIndex; }
    // The item at a 0-based position, or NULL.
    CMyMenu* GetItem(int index) const;

private:
    void PlaceItem(CMyMenu* pItem, CSize extent, int index, int alignment,
                   const RECT& sizeRect) const;

    int m_previousFocusIndex = 0;
    int m_focusIndex = 0;
    int m_inBetweenGap = 0;
    int m_verticalGap = 0;
    int m_horizontalGap = 0;
    int m_count = 0;
    CPtrList m_items;
};
