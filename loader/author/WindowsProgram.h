// The Windows program that goes on a driver disk as SETUP.EXE. Found, in
// this order: the file the command line names; windows/setup.exe in the
// running program's folder (a build folder, where the build copies the
// cross-built program); ../share/corvane/windows/setup.exe from that folder
// (installed: /usr/bin/corvane-setup finds /usr/share/corvane/windows/setup.exe).
#pragma once

#include <string>

namespace loader::author {

class WindowsProgram {
public:
    // named: the file the command line names, or empty. On success bytes is
    // the program and from its host path; false, with the places looked at
    // or what is wrong with the file, otherwise.
    static bool read(const std::string& named, std::string& bytes, std::string& from,
                     std::string& error);
};

} // namespace loader::author
