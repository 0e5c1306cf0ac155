// A device context. A plain CDC only wraps a handle that someone else owns
// (such as the one WM_ERASEBKGND brings); CClientDC and CPaintDC get and give
// back their own.
#pragma once

#include "platform/framework/CGdiObject.h"
#include "platform/framework/CPalette.h"
#include "platform/framework/CPoint.h"
#include "platform/framework/CSize.h"
#include "platform/framework/CString.h"

class CDC : public CObject {
public:
    explicit CDC(HDC hDC = nullptr) : m_hDC(hDC) {}
    ~CDC() override = default;

    HDC m_hDC;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC hDC);
    HDC Detach();

    // Each returns the object that was selected before, for putting back.
    HGDIOBJ SelectObject(CGdiObject* pObject);
    HGDIOBJ SelectObject(HGDIOBJ hObject);
    HPALETTE SelectPalette(CPalette* pPalette, BOOL bForceBackground);
    HPALETTE SelectPalette(HPALETTE hPalette, BOOL bForceBackground);
    UINT RealizePalette();

    COLORREF SetTextColor(COLORREF crColor);
    int SetBkMode(int nBkMode);
    int SetROP2(int nDrawMode);
    int SetStretchBltMode(int nStretchMode);
    int GetDeviceCaps(int nIndex) const;

    // The extent of the first nCount characters in the selected font;
    // 0 by 0 when it cannot be measured.
    CSize GetTextExtent(LPCSTR lpszString, int nCount) const;
    CSize GetTextExtent(const CString& str) const;
    int DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat);
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat);

    // Returns the previous current position.
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    BOOL FloodFill(int x, int y, COLORREF crColor);

    int StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc,
                      int nSrcWidth, int nSrcHeight, const void* lpBits,
                      const BITMAPINFO* lpBitsInfo, UINT nUsage, DWORD dwRop);
};
