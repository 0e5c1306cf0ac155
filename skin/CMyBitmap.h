// The window's background picture: a palette-based BMP file mapped read-only
// for the object's whole life and stretched straight from the mapping onto
// the client area on every erase.
#pragma once

#include "platform/framework/CBitmap.h"
#include "platform/framework/CObject.h"
#include "platform/framework/CPalette.h"

class CDC;

class CMyBitmap : public CObject {
    DECLARE_DYNCREATE(CMyBitmap)

public:
    CMyBitmap();
    ~CMyBitmap() override;

    // 1 when the picture is ready to draw; 0, silently, for a file that is
    // missing, not a BMP this object can draw, or damaged.
    int Load(LPCSTR fileName, CDC* pDC);
    // Makes the logical palette from the colour table behind pHeader and, on
    // a palette display, selects and realises it; 0 for a refused bit count
    // or when no palette results.
    int BuildPalette(const BITMAPINFOHEADER* pHeader, CDC* pDC);
    int Draw(CDC* pDC, const RECT& rect);
    RECT GetPictureRect() const;

private:
    int MapFile(LPCSTR fileName);
    int CheckLayout(DWORD fileSize) const;

    const BITMAPINFO* m_pHeader = nullptr;
    CBitmap m_bitmap;
    CPalette m_palette;
    const BYTE* m_pBits = nullptr;
    int m_bitCount = 0;
    int m_planes = 0;
    int m_height = 0;
    int m_width = 0;
    LPVOID m_pView = nullptr;
    HANDLE m_hMapping = nullptr;
    HANDLE m_hFile = nullptr;
};
