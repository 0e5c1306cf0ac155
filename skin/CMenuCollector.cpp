#include "skin/CMenuCollector.h"

#include "common/ProgramLimits.h"
#include "common/SplitAtEquals.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CString.h"
#include "platform/framework/TextToInt.h"
#include "skin/CLayout.h"
#include "skin/CMyFont.h"
#include "skin/CMyMenu.h"

#include <algorithm>
#include <vector>

IMPLEMENT_DYNCREATE(CMenuCollector, CObject)

namespace {
// The arrow of command number 2 sits in this much room right of the label.
const int kArrowRoom = 16;

// The gaps and the size come from layout.ini as any 32-bit number. Items are
// placed in 64 bits and every edge is held within this distance of the
// origin: an item that absurd values put off the screen stays off it, and
// the sums later taken on its edges (frame, arrow) cannot overflow.
const long long kFarthestEdge = 1 << 28;

int FarEdge(long long position) {
    return static_cast<int>(std::clamp(position, -kFarthestEdge, kFarthestEdge));
}
} // namespace

CMenuCollector::CMenuCollector() = default;

CMenuCollector::~CMenuCollector() {
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        delete static_cast<CMyMenu*>(m_items.GetNext(position));
    }
    m_items.RemoveAll();
}

int CMenuCollector::Load(LPCSTR iniPath, CDC* pDC, CMyFont* pFont, int alignment,
                         const RECT& sizeRect) {
    m_verticalGap = static_cast<int>(GetPrivateProfileIntA("GAPS", "VERTICAL", 20, iniPath));
    m_horizontalGap = static_cast<int>(GetPrivateProfileIntA("GAPS", "HORIZONTAL", 10, iniPath));
    m_inBetweenGap = static_cast<int>(GetPrivateProfileIntA("GAPS", "IN_BETWEEN", 10, iniPath));

    std::vector<char> section(kLayoutSectionSize);
    if (GetPrivateProfileSectionA("MENU", section.data(), kLayoutSectionSize, iniPath) == 0) {
        return 0;
    }
    // The list always ends with an empty line inside the buffer, even when
    // the platform had to cut it.
    const char* end = section.data() + kLayoutSectionSize;
    for (const char* line = section.data(); line < end && *line != '\0';
         line += lstrlenA(line) + 1) {
        // Without "=" there is no value to read: the line gives no item and
        // takes no index, so indices stay gap-free for the focus keys.
        if (AddItem(line, m_count, pDC, pFont, alignment, sizeRect)) {
            ++m_count;
        }
    }
    // A menu of lines without "=" only has no item; the window needs one.
    return m_count > 0 ? 1 : 0;
}

BOOL CMenuCollector::AddItem(LPCSTR line, int index, CDC* pDC, CMyFont* pFont, int alignment,
                             const RECT& sizeRect) {
    CString key, rest;
    if (!SplitAtEquals(line, key, rest)) {
        return FALSE;
    }
    CMyMenu* pItem = new CMyMenu;
    int comma = rest.Find(',');
    if (comma >= 0) {
        pItem->SetText(rest.Left(comma));
        rest = rest.Mid(comma + 1);
    }
    // Without a second comma the item keeps command number 0.
    comma = rest.Find(',');
    if (comma >= 0) {
        pItem->SetCommand(TextToInt(rest.Left(comma)));
        pItem->SetExtraText(rest.Mid(comma + 1));
    }

    HGDIOBJ hOldFont = pDC->SelectObject(pFont->GetFont());
    CSize extent = pDC->GetTextExtent(pItem->GetText());
    pDC->SelectObject(hOldFont);
    if (pItem->GetCommand() == CMyMenu::commandWithArrow) {
        extent.cx += kArrowRoom;
    }
    PlaceItem(pItem, extent, index, alignment, sizeRect);
    pItem->SetIndex(m_count);
    m_items.AddTail(pItem);
    return TRUE;
}

// The centre alignment puts every item's left edge H pixels right of the
// middle of the size rectangle, so a centred menu shares one left edge.
void CMenuCollector::PlaceItem(CMyMenu* pItem, CSize extent, int index, int alignment,
                               const RECT& sizeRect) const {
    const long long width = extent.cx;
    const long long height = extent.cy;
    const long long top = m_verticalGap + (m_inBetweenGap + height) * index;
    long long left = 0;
    if (alignment == CLayout::alignCenter) {
        left = (static_cast<long long>(sizeRect.right) - sizeRect.left) / 2 + m_horizontalGap;
    } else if (alignment == CLayout::alignRight) {
        left = static_cast<long long>(sizeRect.right) - m_horizontalGap - width;
    } else {
        left = m_horizontalGap;
    }
    RECT rect;
    rect.left = FarEdge(left);
    rect.top = FarEdge(top);
    rect.right = FarEdge(left + width);
    rect.bottom = FarEdge(top + height);
    pItem->SetRect(rect);
}

CMyMenu* CMenuCollector::GetItem(int index) const {
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        CMyMenu* pItem = static_cast<CMyMenu*>(m_items.GetNext(position));
        if (pItem->GetIndex() == index) {
            return pItem;
        }
    }
    return nullptr;
}

void CMenuCollector::Paint(CDC* pDC, CMyFont* pFont) {
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        CMyMenu* pItem = static_cast<CMyMenu*>(m_items.GetNext(position));
        pItem->DrawNormal(pDC, pFont);
        if (pItem->GetIndex() == m_focusIndex) {
            pItem->ToggleFocusFrame(pDC);
        }
    }
}

void CMenuCollector::Hover(UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont) {
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        static_cast<CMyMenu*>(m_items.GetNext(position))->HoverTest(nFlags, point, pDC, pFont);
    }
}

// Where rectangles overlap the earlier MENU line wins, and at most one
// command is posted per click.
void CMenuCollector::Click(CWnd* pWnd, UINT nFlags, CPoint point, CDC* pDC, CMyFont* pFont) {
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        static_cast<CMyMenu*>(m_items.GetNext(position))->DrawNormal(pDC, pFont);
    }
    position = m_items.GetHeadPosition();
    while (position != nullptr) {
        CMyMenu* pItem = static_cast<CMyMenu*>(m_items.GetNext(position));
        if (pItem->ClickTest(pWnd, nFlags, point, pDC, pFont)) {
            break;
        }
    }
}

void CMenuCollector::Key(CWnd* pWnd, UINT nChar, CDC* pDC) {
    if (m_count <= 0) {
        return;
    }
    switch (nChar) {
    case VK_UP:
        m_focusIndex = m_focusIndex == 0 ? m_count - 1 : (m_focusIndex - 1) % m_count;
        MoveFocus(pDC);
        break;
    case VK_DOWN:
        m_focusIndex = m_focusIndex == m_count - 1 ? 0 : (m_focusIndex + 1) % m_count;
        MoveFocus(pDC);
        break;
    case VK_RETURN: {
        CMyMenu* pItem = GetItem(m_focusIndex);
        if (pItem != nullptr) {
            pItem->Choose(pWnd);
        }
        break;
    }
    default:
        break;
    }
}

// The old frame is removed by drawing it again: the frame is an exclusive-or.
void CMenuCollector::MoveFocus(CDC* pDC) {
    if (m_focusIndex == m_previousFocusIndex) {
        return;
    }
    POSITION position = m_items.GetHeadPosition();
    while (position != nullptr) {
        CMyMenu* pItem = static_cast<CMyMenu*>(m_items.GetNext(position));
        if (pItem->GetIndex() == m_previousFocusIndex) {
            pItem->ToggleFocusFrame(pDC);
        }
        if (pItem->GetIndex() == m_focusIndex) {
            pItem->ToggleFocusFrame(pDC);
        }
    }
    m_previousFocusIndex = m_focusIndex;
}
