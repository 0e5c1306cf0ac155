// The window classes the emulated system provides before any program runs.
#pragma once

#include "platform/emu/user/WindowClass.h"

namespace emu::user {

void registerBuiltinClasses(ClassTable& classes);

} // namespace emu::user
