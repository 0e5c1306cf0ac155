// A new driver disk to start from: a layout.ini with every section the
// program reads, each key explained on the line above it, two placeholder
// pictures of the window's size, and one example fragment with its install
// and uninstall lines. The maker, the chipset, its device IDs and the file
// names are placeholders for the author's own.
#pragma once

#include <ostream>
#include <string>

namespace loader::author {

class DiskTemplate {
public:
    // Makes folder with the disk's files, whole or not at all; refuses a
    // folder that exists with anything in it. Names the files made on out.
    static bool create(const std::string& folder, std::ostream& out, std::string& error);

    static const char* const kLayout;
    static const char* const kFragment;
};

} // namespace loader::author
