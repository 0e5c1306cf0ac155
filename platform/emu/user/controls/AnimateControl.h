// The common control "SysAnimate32" of Windows 95: plays a silent AVI clip
// from the program's resources. It plays on a thread of its own, drawing
// straight to the screen, so the clip moves while the program's thread is
// busy (ACS_TIMER, which would tie playback to the program's messages, is not
// told apart). ACS_TRANSPARENT shows the dialog's face colour where the clip
// has the colour of its first frame's upper-left pixel; ACS_CENTER centres the
// frame, and without it the control takes the frame's size.
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

class AnimateControl {
public:
    static void registerClass(ClassTable& classes);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The frame the control shows (or the playback thread is about to show);
    // -1 without a clip or for a window that is no animation control.
    static int currentFrame(HWND window);
};

} // namespace emu::user
