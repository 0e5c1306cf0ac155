// The Windows 95 look in one place: window frames and captions, the close box,
// 3D bevels, push buttons, the message-box icons and progress-bar chunks. The
// window manager and the controls call these painters; nothing else draws a
// bevel. Every painter takes a device context whose origin is the top-left of
// what it paints (the window for frames, the client area for buttons).
#pragma once

#include "platform/win32.h"

namespace emu::user {

struct ButtonLook {
    bool pressed = false;
    bool isDefault = false;
    bool focused = false;
    bool enabled = true;
};

struct FrameLook {
    DWORD style = 0;
    DWORD exStyle = 0;
    bool child = false;
    bool active = false;
    LPCSTR caption = nullptr;
    bool closePressed = false;
    // A close box that does nothing (a message box without a cancel answer) shows greyed.
    bool closeDisabled = false;
};

class Look95 {
public:
    static constexpr int kFixedFrame = 3;
    static constexpr int kCaptionBar = 18;
    // The caption bar, plus the face-coloured band between it and the client area.
    static constexpr int kCaptionBand = 21;
    static constexpr int kCloseBoxWidth = 16;
    static constexpr int kCloseBoxHeight = 14;
    static constexpr int kIconSize = 32;

    // Frame widths on each side (left, top, right, bottom) for the given styles.
    static RECT frameInsets(DWORD style, DWORD exStyle, bool child);
    // The close box in window coordinates, for a window of the given outer width.
    static RECT closeBoxRect(int windowWidth);

    // The frame of a window of the given outer size: borders, the caption bar
    // with its text and close box, and the client edge.
    static void paintFrame(HDC dc, int width, int height, const FrameLook& look);
    static void paintDesktop(HDC dc, const RECT& area);
    // The face colour behind dialogs, buttons and controls.
    static void fillFace(HDC dc, const RECT& rect);
    static void paintBevel(HDC dc, const RECT& rect, bool sunken);
    static void paintPushButton(HDC dc, const RECT& rect, LPCSTR text, const ButtonLook& look);
    static void paintFocusRect(HDC dc, const RECT& rect);
    // MB_ICONHAND, MB_ICONQUESTION, MB_ICONEXCLAMATION or MB_ICONASTERISK at (x, y).
    static void paintMessageIcon(HDC dc, int x, int y, UINT icon);
    // Chunks of a progress bar's client area, `filled` pixels of it done.
    static void paintProgressChunks(HDC dc, const RECT& client, int filled);

    // The fonts of captions (bold) and of message and button text, in the
    // face of the machine's edition; the caller deletes them.
    static HFONT createUiFont(bool bold);

private:
    static void paintCaption(HDC dc, int width, const FrameLook& look);
    static void paintCloseBox(HDC dc, const RECT& box, bool pressed, bool disabled);
    static void paintCross(HDC dc, int x, int y, COLORREF ink);
};

} // namespace emu::user
