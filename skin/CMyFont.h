// The menu's look: one bold font and the two text colours, the focus colour
// for the item under the mouse and the non-focus colour for the others, read
// from the FONT section of layout.ini.
#pragma once

#include "platform/framework/CFont.h"
#include "platform/framework/CObject.h"

class CMyFont : public CObject {
    DECLARE_DYNCREATE(CMyFont)

public:
    CMyFont();
    ~CMyFont() override;

    // 1 when the font was created, 0 when no font resulted; the colours are
    // read either way.
    int Load(LPCSTR iniPath);

    COLORREF GetFocusColor() const { return m_focusColor; }
    COLORREF GetNonFocusColor() const { return m_nonFocusColor; }
    CFont* GetFont() { return &m_font; }

    // "red,green,blue" as decimal numbers, each cut to its low 8 bits.
    void ParseFocusColor(LPCSTR text);
    void ParseNonFocusColor(LPCSTR text);

private:
    static COLORREF ParseColor(LPCSTR text);

    COLORREF m_focusColor = 0;
    COLORREF m_nonFocusColor = 0;
    CFont m_font;
};
