#include "platform/emu/user/Look95.h"

#include "platform/emu/gdi/EditionFaces.h"
#include "platform/emu/user/DcSaver.h"

#include <cmath>
#include <cstring>

namespace emu::user {

namespace {

void fill(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// FillRect takes a system colour index plus one for that colour's brush.
void fillSys(HDC dc, const RECT& rect, int index) {
    FillRect(dc, &rect, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(index + 1)));
}

// One ring of a bevel: top and left edges in one colour, bottom and right in another.
void ring(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    fill(dc, {r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    fill(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    fill(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

RECT inset(const RECT& r, int by) {
    return {r.left + by, r.top + by, r.right - by, r.bottom - by};
}

void drawText(HDC dc, LPCSTR text, RECT rect, UINT format, COLORREF colour, bool bold) {
    if (text == nullptr) {
        return;
    }
    HFONT font = Look95::createUiFont(bold);
    {
        DcSaver saved(dc);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, colour);
        DrawTextA(dc, text, -1, &rect, format);
    }
    DeleteObject(font); // only once the context no longer selects it
}

enum class Ink { None, Outline, Body, Mark };

struct IconInk {
    COLORREF body;
    COLORREF mark;
};

double distanceFromCentre(int x, int y) {
    double dx = x - 15.5;
    double dy = y - 15.5;
    return std::sqrt(dx * dx + dy * dy);
}

bool insideShape(UINT icon, int x, int y) {
    if (x < 0 || y < 0 || x >= Look95::kIconSize || y >= Look95::kIconSize) {
        return false;
    }
    if (icon == MB_ICONEXCLAMATION) {
        return y >= 1 && y <= 30 && std::fabs(x - 15.5) <= (y - 1) / 2.0 + 0.5;
    }
    if (icon == MB_ICONHAND) {
        return distanceFromCentre(x, y) <= 15.0;
    }
    // Speech balloon: a disc with a tail towards the bottom left.
    bool tail = y >= 22 && y <= 31 && x >= 4 && x <= 12 && x - 4 <= 31 - y;
    return distanceFromCentre(x, y - 2) <= 13.0 || tail;
}

// The question mark of the question icon, drawn over the balloon's middle.
bool insideQuestionMark(int x, int y) {
    static const char* const rows[] = {
        "...#####...", "..#######..", ".###...###.", ".###...###.", "......####.",
        ".....####..", "....####...", "....###....", "....###....", "...........",
        "....###....", "....###....", "....###....",
    };
    constexpr int kLeft = 10;
    constexpr int kTop = 6;
    int row = y - kTop;
    int column = x - kLeft;
    if (row < 0 || row >= static_cast<int>(sizeof rows / sizeof rows[0]) || column < 0 ||
        column >= 11) {
        return false;
    }
    return rows[row][column] == '#';
}

bool insideMark(UINT icon, int x, int y) {
    int dx = x - 15;
    int dy = y - 15;
    switch (icon) {
    case MB_ICONHAND:
        return std::abs(dx) <= 7 && std::abs(dy) <= 7 &&
               (std::abs(dx - dy) <= 1 || std::abs(dx + dy + 1) <= 1);
    case MB_ICONEXCLAMATION:
        return x >= 14 && x <= 17 && ((y >= 9 && y <= 21) || (y >= 24 && y <= 27));
    case MB_ICONASTERISK:
        return x >= 14 && x <= 17 && ((y >= 5 && y <= 8) || (y >= 11 && y <= 23));
    default:
        return insideQuestionMark(x, y);
    }
}

Ink iconInk(UINT icon, int x, int y) {
    if (!insideShape(icon, x, y)) {
        return Ink::None;
    }
    if (!insideShape(icon, x - 1, y) || !insideShape(icon, x + 1, y) ||
        !insideShape(icon, x, y - 1) || !insideShape(icon, x, y + 1)) {
        return Ink::Outline;
    }
    return insideMark(icon, x, y) ? Ink::Mark : Ink::Body;
}

IconInk iconColours(UINT icon) {
    switch (icon) {
    case MB_ICONHAND:
        return {RGB(255, 0, 0), RGB(255, 255, 255)};
    case MB_ICONEXCLAMATION:
        return {RGB(255, 255, 0), RGB(0, 0, 0)};
    default:
        return {RGB(255, 255, 255), RGB(0, 0, 255)};
    }
}

} // namespace

RECT Look95::frameInsets(DWORD style, DWORD exStyle, bool child) {
    int edge = 0;
    if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME) != 0 ||
        (exStyle & WS_EX_DLGMODALFRAME) != 0) {
        edge = kFixedFrame;
    } else if ((style & WS_BORDER) != 0) {
        edge = 1;
    }
    if ((exStyle & WS_EX_CLIENTEDGE) != 0) {
        edge += 2;
    } else if ((exStyle & WS_EX_STATICEDGE) != 0) {
        edge += 1;
    }
    int top = edge;
    if ((style & WS_CAPTION) == WS_CAPTION && !child) {
        top += kCaptionBand;
    }
    return RECT{edge, top, edge, edge};
}

RECT Look95::closeBoxRect(int windowWidth) {
    int right = windowWidth - kFixedFrame - 2;
    int top = kFixedFrame + 2;
    return RECT{right - kCloseBoxWidth, top, right, top + kCloseBoxHeight};
}

void Look95::paintFrame(HDC dc, int width, int height, const FrameLook& look) {
    RECT insets = frameInsets(look.style, look.exStyle, look.child);
    int edge = (look.exStyle & WS_EX_CLIENTEDGE) != 0   ? 2
               : (look.exStyle & WS_EX_STATICEDGE) != 0 ? 1
                                                        : 0;
    int border = insets.left - edge;
    RECT outer{0, 0, width, height};
    if (border == kFixedFrame) {
        ring(dc, outer, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
        ring(dc, inset(outer, 1), GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DSHADOW));
        ring(dc, inset(outer, 2), GetSysColor(COLOR_3DFACE), GetSysColor(COLOR_3DFACE));
    } else if (border == 1) {
        ring(dc, outer, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME));
    }
    if ((look.style & WS_CAPTION) == WS_CAPTION && !look.child) {
        paintCaption(dc, width, look);
    }
    if (edge > 0) {
        // The client edge: sunken, two lines deep (one for a static edge).
        RECT well{border, insets.top - edge, width - border, height - border};
        ring(dc, well, GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHILIGHT));
        if (edge == 2) {
            ring(dc, inset(well, 1), GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
        }
    }
}

void Look95::paintCaption(HDC dc, int width, const FrameLook& look) {
    RECT bar{kFixedFrame, kFixedFrame, width - kFixedFrame, kFixedFrame + kCaptionBar};
    RECT band{kFixedFrame, bar.bottom, width - kFixedFrame, kFixedFrame + kCaptionBand};
    fillSys(dc, bar, look.active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    fillFace(dc, band);
    RECT textArea{bar.left + 2, bar.top, bar.right - 2, bar.bottom};
    if ((look.style & WS_SYSMENU) != 0) {
        RECT box = closeBoxRect(width);
        textArea.right = box.left - 2;
        paintCloseBox(dc, box, look.closePressed, look.closeDisabled);
    }
    COLORREF ink = GetSysColor(look.active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT);
    drawText(dc, look.caption, textArea, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX, ink,
             true);
}

void Look95::paintCloseBox(HDC dc, const RECT& box, bool pressed, bool disabled) {
    fillFace(dc, box);
    paintBevel(dc, box, pressed && !disabled);
    int x0 = box.left + 4 + (pressed ? 1 : 0);
    int y0 = box.top + 3 + (pressed ? 1 : 0);
    if (disabled) {
        // Greyed out: the cross embossed, a white copy below and right of a grey one.
        paintCross(dc, x0 + 1, y0 + 1, GetSysColor(COLOR_3DHILIGHT));
        paintCross(dc, x0, y0, GetSysColor(COLOR_3DSHADOW));
        return;
    }
    paintCross(dc, x0, y0, GetSysColor(COLOR_BTNTEXT));
}

void Look95::paintCross(HDC dc, int x0, int y0, COLORREF ink) {
    // The Windows 95 cross: 8 x 7 pixels, two-pixel strokes.
    for (int i = 0; i < 7; ++i) {
        fill(dc, {x0 + i, y0 + i, x0 + i + 2, y0 + i + 1}, ink);
        fill(dc, {x0 + 6 - i, y0 + i, x0 + 8 - i, y0 + i + 1}, ink);
    }
}

void Look95::paintDesktop(HDC dc, const RECT& area) {
    fillSys(dc, area, COLOR_DESKTOP);
}

void Look95::fillFace(HDC dc, const RECT& rect) {
    fillSys(dc, rect, COLOR_3DFACE);
}

void Look95::paintBevel(HDC dc, const RECT& rect, bool sunken) {
    COLORREF light = GetSysColor(COLOR_3DHILIGHT);
    COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    COLORREF faceLight = GetSysColor(COLOR_3DLIGHT);
    COLORREF shadow = GetSysColor(COLOR_3DSHADOW);
    if (sunken) {
        ring(dc, rect, dark, light);
        ring(dc, inset(rect, 1), shadow, faceLight);
    } else {
        ring(dc, rect, light, dark);
        ring(dc, inset(rect, 1), faceLight, shadow);
    }
}

void Look95::paintPushButton(HDC dc, const RECT& rect, LPCSTR text, const ButtonLook& look) {
    fillFace(dc, rect);
    RECT body = rect;
    if (look.isDefault || look.pressed) {
        ring(dc, body, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DDKSHADOW));
        body = inset(body, 1);
    }
    if (look.pressed) {
        ring(dc, body, GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DSHADOW));
    } else {
        paintBevel(dc, body, false);
    }
    RECT label = body;
    if (look.pressed) {
        label.left += 1;
        label.top += 1;
        label.right += 1;
        label.bottom += 1;
    }
    COLORREF ink = GetSysColor(look.enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    drawText(dc, text, label, DT_CENTER | DT_VCENTER | DT_SINGLELINE, ink, false);
    if (look.focused) {
        paintFocusRect(dc, inset(body, 3));
    }
}

void Look95::paintFocusRect(HDC dc, const RECT& rect) {
    COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    for (int x = rect.left; x < rect.right; x += 2) {
        SetPixel(dc, x, rect.top, ink);
        SetPixel(dc, x, rect.bottom - 1, ink);
    }
    for (int y = rect.top; y < rect.bottom; y += 2) {
        SetPixel(dc, rect.left, y, ink);
        SetPixel(dc, rect.right - 1, y, ink);
    }
}

void Look95::paintMessageIcon(HDC dc, int x, int y, UINT icon) {
    IconInk colours = iconColours(icon);
    COLORREF outline = RGB(0, 0, 0);
    for (int py = 0; py < kIconSize; ++py) {
        for (int px = 0; px < kIconSize; ++px) {
            switch (iconInk(icon, px, py)) {
            case Ink::None:
                break;
            case Ink::Outline:
                SetPixel(dc, x + px, y + py, outline);
                break;
            case Ink::Body:
                SetPixel(dc, x + px, y + py, colours.body);
                break;
            case Ink::Mark:
                SetPixel(dc, x + px, y + py, colours.mark);
                break;
            }
        }
    }
}

void Look95::paintProgressChunks(HDC dc, const RECT& client, int filled) {
    int height = client.bottom - client.top;
    int chunk = height * 2 / 3 > 0 ? height * 2 / 3 : 1;
    int end = client.left + filled < client.right ? client.left + filled : client.right;
    for (int x = client.left; x < end; x += chunk + 2) {
        int right = x + chunk < client.right ? x + chunk : client.right;
        fillSys(dc, {x, client.top, right, client.bottom}, COLOR_HIGHLIGHT);
    }
}

// The Japanese, Chinese and Korean editions set their captions, message
// boxes and buttons in a face of their own, which has their characters.
HFONT Look95::createUiFont(bool bold) {
    LOGFONTA font{};
    font.lfHeight = -11;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    const char* face = "MS Sans Serif";
    if (const char* edition = gdi::EditionFaces::uiFace(GetACP())) {
        face = edition;
        font.lfHeight = gdi::EditionFaces::kUiFaceHeight;
        font.lfCharSet = DEFAULT_CHARSET;
    }
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectA(&font);
}

} // namespace emu::user
