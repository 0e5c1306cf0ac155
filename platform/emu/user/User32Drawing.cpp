// The drawing functions of user32: filling, text in rectangles, system colours
// and rectangle arithmetic.
#include "platform/emu/gdi/GdiCall.h"
#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/gdi/TextLayout.h"
#include "platform/win32.h"

#include <algorithm>
#include <cstring>

using emu::gdi::Brush;
using emu::gdi::GdiCall;
using emu::gdi::TextColours;
using emu::gdi::TextLayout;
using emu::gdi::TextLine;
using emu::gdi::TextPainter;

namespace {

constexpr int kSysColourCount = COLOR_INFOBK + 1;
constexpr LONG kMaxCoordinate = 1 << 28;

bool reasonable(const RECT& r) {
    const LONG sides[] = {r.left, r.top, r.right, r.bottom};
    return std::all_of(std::begin(sides), std::end(sides),
                       [](LONG v) { return v > -kMaxCoordinate && v < kMaxCoordinate; });
}

// FillRect accepts a system colour index + 1 in place of a brush.
bool brushColour(GdiCall& call, HBRUSH hbr, COLORREF& colour) {
    const auto value = reinterpret_cast<uintptr_t>(hbr);
    if (value >= 1 && value <= kSysColourCount) {
        colour = emu::gdi::sysColor(static_cast<int>(value - 1));
        return true;
    }
    const Brush* brush = call.objects().get<Brush>(hbr);
    if (!brush) {
        return false;
    }
    colour = brush->colour;
    return !brush->hollow;
}

int lineLeft(const RECT& r, int width, UINT format) {
    if (format & DT_CENTER) {
        return r.left + (r.right - r.left - width) / 2;
    }
    if (format & DT_RIGHT) {
        return r.right - width;
    }
    return r.left;
}

int firstLineTop(const RECT& r, int cell, UINT format) {
    if (!(format & DT_SINGLELINE)) {
        return r.top;
    }
    if (format & DT_VCENTER) {
        return r.top + (r.bottom - r.top - cell) / 2;
    }
    if (format & DT_BOTTOM) {
        return r.bottom - cell;
    }
    return r.top;
}

// DT_CALCRECT: the rectangle grows or shrinks to the text; nothing is drawn.
int measure(const std::vector<TextLine>& lines, int cell, RECT& rect) {
    int widest = 0;
    for (const TextLine& line : lines) {
        widest = std::max(widest, line.width);
    }
    const int height = cell * static_cast<int>(lines.size());
    rect.right = rect.left + widest;
    rect.bottom = rect.top + height;
    return height;
}

} // namespace

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
    GdiCall call(hDC);
    COLORREF colour = 0;
    if (!call.dc() || !lprc || !brushColour(call, hbr, colour)) {
        return 0;
    }
    emu::gdi::Rasteriser out = call.rasteriser();
    out.fill(*lprc, call.shown(colour), R2_COPYPEN);
    return 1;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    GdiCall call(hdc);
    if (!call.dc() || !lprc || !lpchText || !reasonable(*lprc)) {
        return 0;
    }
    emu::gdi::FontFace* face = call.face();
    if (!face) {
        return 0;
    }
    const std::string_view text(lpchText,
                                cchText < 0 ? std::strlen(lpchText) : static_cast<size_t>(cchText));
    TextPainter painter(*face);
    const std::vector<TextLine> lines =
        TextLayout(painter, format).lines(text, lprc->right - lprc->left);
    const int cell = painter.cellHeight();
    if (format & DT_CALCRECT) {
        return measure(lines, cell, *lprc);
    }
    const int top = firstLineTop(*lprc, cell, format);
    emu::gdi::Rasteriser out = call.rasteriser();
    if (!(format & DT_NOCLIP)) {
        out.restrictTo(*lprc);
    }
    const TextColours colours = call.textColours();
    int y = top;
    for (const TextLine& line : lines) {
        painter.draw(out, lineLeft(*lprc, line.width, format), y, line.text, colours,
                     line.underlined);
        y += cell;
    }
    // With DT_VCENTER or DT_BOTTOM the result is measured from the top of
    // the rectangle to the bottom of the text.
    const int height = cell * static_cast<int>(lines.size());
    const bool shifted = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM));
    return shifted ? top - lprc->top + height : height;
}

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt) {
    return lprc && pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top &&
                   pt.y < lprc->bottom
               ? TRUE
               : FALSE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) {
        return FALSE;
    }
    lprc->left -= dx;
    lprc->top -= dy;
    lprc->right += dx;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc) {
        return FALSE;
    }
    lprc->left += dx;
    lprc->top += dy;
    lprc->right += dx;
    lprc->bottom += dy;
    return TRUE;
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc) {
        return FALSE;
    }
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* lprc) {
    return !lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top ? TRUE : FALSE;
}

BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
    if (!lprcDst || !lprcSrc1 || !lprcSrc2) {
        return FALSE;
    }
    const RECT r{std::max(lprcSrc1->left, lprcSrc2->left), std::max(lprcSrc1->top, lprcSrc2->top),
                 std::min(lprcSrc1->right, lprcSrc2->right),
                 std::min(lprcSrc1->bottom, lprcSrc2->bottom)};
    if (IsRectEmpty(&r) || IsRectEmpty(lprcSrc1) || IsRectEmpty(lprcSrc2)) {
        *lprcDst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *lprcDst = r;
    return TRUE;
}

DWORD WINAPI GetSysColor(int nIndex) {
    return emu::gdi::sysColor(nIndex);
}

HBRUSH WINAPI GetSysColorBrush(int nIndex) {
    if (nIndex < 0 || nIndex >= kSysColourCount) {
        return nullptr;
    }
    GdiCall call;
    return call.objects().sysColourBrush(nIndex, emu::gdi::sysColor(nIndex));
}
