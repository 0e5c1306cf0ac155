// Dialog template 130, "In Process...": the animation above the progress bar,
// as the DLGTEMPLATE bytes that CreateDialogIndirectParamA takes.
#pragma once

#include <cstddef>

// The bytes stay valid for the life of the program and start on a DWORD boundary.
const unsigned char* progressDialogTemplate();
size_t progressDialogTemplateSize();
