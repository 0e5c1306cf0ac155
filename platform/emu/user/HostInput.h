// The host's side of the window manager: how the host (an SDL window or an
// input script) feeds the emulated machine input, learns that it drew, and
// finds the windows a script names. Each works on the booted machine's
// manager and does nothing before boot.
#pragma once

#include "platform/win32.h"

#include <functional>

namespace emu::user {

// Called whenever a message loop finds nothing to do. It feeds the next input
// or ends the session; when it returns without producing anything the loop
// asks again. Without one, a loop with nothing to do ends as if WM_QUIT came.
void setIdleHandler(std::function<void()> handler);
// Called when PeekMessageA finds nothing: the program is busy but looks for
// messages, so the host may feed the next input. Unlike the idle handler it
// must neither wait nor end the session.
void setPollHandler(std::function<void()> handler);
// Called after a device context is released on the program's thread: a
// program that draws while it pumps no messages (a progress bar stepped in a
// busy loop) still gets its screen shown on the host.
void setDrawnHandler(std::function<void()> handler);
// Pointer and key input, in screen coordinates, stamped with the tick count.
void postMouseMove(POINT screen);
void postMouseButton(POINT screen, bool down);
void postKey(UINT virtualKey, bool down);
// The first top-level window the program created that still exists, or NULL.
HWND mainWindow();
HWND activeWindow();
// The middle of a window's close box in screen coordinates; false without one.
bool closeBoxPoint(HWND window, POINT& screen);
// Lets pending posted messages, input and painting run without waiting for more.
void pumpPending();
// Waits until every playing animation shows the frame due at the machine's
// time as it stands (before a screenshot: its clip is then the same on every
// run with the virtual clock, however the host scheduled the clip's thread).
// Call it holding no lock of the machine.
void catchUpAnimations();

} // namespace emu::user
