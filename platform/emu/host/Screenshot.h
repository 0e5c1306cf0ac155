// Writes the whole emulated screen as a PNG file (8-bit RGB).
#pragma once

#include <string>

namespace emu::host {

class Screenshot {
public:
    // False, with a reason in error, when the file cannot be written.
    static bool write(const std::string& hostPath, std::string& error);
};

} // namespace emu::host
