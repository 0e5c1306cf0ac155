// The program's own resources (string table, dialog template, animation
// clip), compiled from resources/corvane.rc into the executable and
// registered with the emulated module the way Windows' loader maps an
// executable's resources. Used by the host program and by in-process tests.
#pragma once

#include <cstddef>

namespace loader {

void registerProgramResources();

// The compiled resource file (.res) carried by the executable.
const unsigned char* programResourceBytes();
size_t programResourceSize();

} // namespace loader
