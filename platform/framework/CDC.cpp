#include "platform/framework/CDC.h"

BOOL CDC::Attach(HDC hDC) {
    if (hDC == nullptr || m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = hDC;
    return TRUE;
}

HDC CDC::Detach() {
    HDC hDC = m_hDC;
    m_hDC = nullptr;
    return hDC;
}

HGDIOBJ CDC::SelectObject(CGdiObject* pObject) {
    return pObject != nullptr ? SelectObject(pObject->m_hObject) : nullptr;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
    return hObject != nullptr ? ::SelectObject(m_hDC, hObject) : nullptr;
}

HPALETTE CDC::SelectPalette(CPalette* pPalette, BOOL bForceBackground) {
    return pPalette != nullptr ? SelectPalette(static_cast<HPALETTE>(*pPalette), bForceBackground)
                               : nullptr;
}

HPALETTE CDC::SelectPalette(HPALETTE hPalette, BOOL bForceBackground) {
    return hPalette != nullptr ? ::SelectPalette(m_hDC, hPalette, bForceBackground) : nullptr;
}

UINT CDC::RealizePalette() {
    return ::RealizePalette(m_hDC);
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return ::SetTextColor(m_hDC, crColor);
}

int CDC::SetBkMode(int nBkMode) {
    return ::SetBkMode(m_hDC, nBkMode);
}

int CDC::SetROP2(int nDrawMode) {
    return ::SetROP2(m_hDC, nDrawMode);
}

int CDC::SetStretchBltMode(int nStretchMode) {
    return ::SetStretchBltMode(m_hDC, nStretchMode);
}

int CDC::GetDeviceCaps(int nIndex) const {
    return ::GetDeviceCaps(m_hDC, nIndex);
}

CSize CDC::GetTextExtent(LPCSTR lpszString, int nCount) const {
    SIZE size = {0, 0};
    if (lpszString == nullptr || nCount < 0 ||
        !::GetTextExtentPointA(m_hDC, lpszString, nCount, &size)) {
        return CSize();
    }
    return CSize(size);
}

CSize CDC::GetTextExtent(const CString& str) const {
    return GetTextExtent(static_cast<LPCSTR>(str), str.GetLength());
}

int CDC::DrawText(LPCSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    if (lpszString == nullptr || lpRect == nullptr) {
        return 0;
    }
    return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    return DrawText(static_cast<LPCSTR>(str), str.GetLength(), lpRect, nFormat);
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous = {0, 0};
    ::MoveToEx(m_hDC, x, y, &previous);
    return CPoint(previous);
}

BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(m_hDC, x, y);
}

BOOL CDC::FloodFill(int x, int y, COLORREF crColor) {
    return ::FloodFill(m_hDC, x, y, crColor);
}

int CDC::StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc,
                       int nSrcWidth, int nSrcHeight, const void* lpBits,
                       const BITMAPINFO* lpBitsInfo, UINT nUsage, DWORD dwRop) {
    return ::StretchDIBits(m_hDC, xDest, yDest, nDestWidth, nDestHeight, xSrc, ySrc, nSrcWidth,
                           nSrcHeight, lpBits, lpBitsInfo, nUsage, dwRop);
}
