// The module handle that resources (strings, dialogs, clips) are loaded from.
#pragma once

#include "platform/win32.h"

// The handle the program was started with, or the process's own module when
// it was not started through AfxWinMain.
HINSTANCE AfxGetInstanceHandle();
void AfxSetInstanceHandle(HINSTANCE hInstance);
