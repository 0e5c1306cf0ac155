// Copies the files of an image's volume out into a host folder with mtools,
// as a FAT disk shows them to a program: read-only files lack their write
// bits, hidden and system are kept in the tree, and the short names of
// long-named entries are collected for the machine's aliases
// (MachineConfig::shortNames).
#pragma once

#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/TreeComparison.h"
#include "platform/emu/hostsupport/Result.h"

#include <map>
#include <string>

namespace emu::host {

struct CopiedOut {
    Tree tree; // the folder as copied out, with the image's hidden and system flags
    // Host folder (as the folder's own paths spell it) to upper-case short
    // name to the long name of that folder's entry.
    std::map<std::string, std::map<std::string, std::string>> shortNames;
};

class ImageCopyOut {
public:
    // Copies every entry of the volume mtools reads into folder (empty). The
    // failure names the image; an entry the host cannot hold under its own
    // name is one.
    static hostsupport::Result<CopiedOut> run(const Mtools& image, const std::string& imagePath,
                                              const std::string& folder);
};

} // namespace emu::host
