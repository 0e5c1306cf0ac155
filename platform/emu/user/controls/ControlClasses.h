// The window classes of the dialog manager and the common controls that the
// emulated machine provides: "#32770", "msctls_progress32" and "SysAnimate32".
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

// Classes already registered stay as they are.
void registerControlClasses(ClassTable& classes);
// The same, with the booted machine's window manager.
void registerControlClasses();

} // namespace emu::user
