// The program's launcher window made by the host itself, outside the
// program's start-up: for the host's author tools (dry run, sheet, watch),
// which use the window's own code to load the skin and run commands. The
// application object is prepared as start-up prepares it (instance, title,
// release tag); the window is created hidden.
#pragma once

#include <string>

class CSetupWnd;

namespace loader::author {

class ProgramWindow {
public:
    // The window as the program's start-up creates it, not yet shown; null,
    // with the reason in error, when the machine is not of the Windows 95
    // family or the skin does not load.
    static CSetupWnd* create(std::string& error);
};

} // namespace loader::author
