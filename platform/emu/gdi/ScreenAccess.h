// The emulated screen as the rest of the machine sees it, outside the Win32
// API: the machine boots and shuts it down, the window manager creates and
// clips device contexts here (GetDC, BeginPaint and their partners are its
// own and call these), and the host and tests read the frame buffer. Owns no
// state: it reaches GdiState.
#pragma once

#include "platform/emu/MachineConfig.h"
#include "platform/emu/gdi/FrameBuffer.h"

#include <vector>

namespace emu::gdi {

// Size and depth come from the configuration. Throws std::runtime_error for a
// size or depth the display cannot have.
void bootScreen(const MachineConfig& config);
void shutdownScreen();

// The one emulated frame buffer (width(), height(), depth(),
// pixel(x, y), generation(), mutex()). Every drawing call holds its mutex;
// do not hold it while calling a drawing function.
FrameBuffer& screen();

// A device context drawing onto the screen: logical (0,0) is the screen point
// `origin`; output is clipped to `visible` (rectangles in screen coordinates,
// may be empty = draws nothing).
HDC createDeviceContext(POINT origin, std::vector<RECT> visible);
void setDeviceContextClip(HDC dc, std::vector<RECT> visible); // e.g. BeginPaint's update area
bool destroyDeviceContext(HDC dc); // frees its state; selected objects are not deleted
COLORREF sysColor(int index);      // the Windows 95 system colours

} // namespace emu::gdi
