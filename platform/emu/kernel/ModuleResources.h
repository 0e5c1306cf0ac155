// The resources of the program's own module. On Windows they are compiled
// into the executable; here the host program (or a test) registers them
// before the program starts, and LoadStringA, dialogs and the animation
// control read them from this table.
#pragma once

#include "platform/win32.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace emu::kernel {

struct ModuleResources {
    std::map<UINT, std::string> strings;
    std::map<UINT, std::vector<unsigned char>> dialogs; // DLGTEMPLATE bytes
    std::map<UINT, std::vector<unsigned char>> clips;   // "AVI" resources
};

// Replaces the whole table. Register before the program runs: the reference
// that moduleResources() gives stays valid only until the next registration.
void setModuleResources(ModuleResources resources);
const ModuleResources& moduleResources();

// The string-table entry id, copied under the table's lock; nullopt when
// there is none.
std::optional<std::string> moduleString(UINT id);

// The instance handle of the program's module: what GetModuleHandleA(NULL)
// returns and what its resources are loaded through.
HINSTANCE moduleInstance();

} // namespace emu::kernel
