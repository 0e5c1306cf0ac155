// The program's own resources (string table, dialog template, animation
// clip), registered with the emulated module the way Windows' loader maps an
// executable's resources. Used by the host program and by in-process tests.
#pragma once

namespace emu::host {

void registerProgramResources();

} // namespace emu::host
