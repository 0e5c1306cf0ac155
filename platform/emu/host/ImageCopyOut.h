// Copies the files of an image's volume out into a host folder as a FAT
// disk shows them to a program: its folders, and each file at its size and
// modification time, read-only ones without their write bits, hidden and
// system kept in the tree, the short names of long-named entries collected
// for the machine's aliases (MachineConfig::shortNames). A file's bytes are
// not copied with it: the file is a placeholder (a hole of its size) until
// fill() brings its bytes from the image, so a run pays for the files it
// uses, not for the image.
#pragma once

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/TreeComparison.h"
#include "platform/emu/hostsupport/Result.h"

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>

namespace emu::host {

// A file of the folder whose bytes are still only in the image.
struct Placeholder {
    std::string path; // where copy-out made it, relative to the folder
    std::uint32_t firstCluster = 0;
    std::uint32_t size = 0;
    std::int64_t modified = 0; // seconds since 1970
};

struct CopiedOut {
    Tree tree; // the folder as copied out, with the image's hidden and system flags
    // Host folder (as the folder's own paths spell it) to upper-case short
    // name to the long name of that folder's entry.
    std::map<std::string, std::map<std::string, std::string>> shortNames;
    // The host file (its inode, which a rename keeps) to where its bytes
    // lie; every file of the tree at first.
    std::map<ino_t, Placeholder> placeholders;
};

class ImageCopyOut {
public:
    // Makes every entry of the volume layout describes (in the image at
    // imagePath) in folder (empty), its names read as image reads them and
    // spelt as image's spelling says (ImageNames); mtools must list the same
    // entries, as it is mtools that writes them back. shortNameCodePage is
    // that of the volume's short names, the installation's. The failure
    // names the image; a name that cannot be carried exactly into the
    // folder is one.
    static hostsupport::Result<CopiedOut> run(const Mtools& image, const FatLayout& layout,
                                              int shortNameCodePage, const std::string& imagePath,
                                              const std::string& folder);

    // Gives the placeholder at hostPath its bytes from the image, keeping
    // its mode and modification time. The reason when it could not; the
    // file is then to be filled again before it is used.
    static hostsupport::Result<void> fill(const FatLayout& layout, const std::string& imagePath,
                                          const std::string& hostPath,
                                          const Placeholder& placeholder);
};

} // namespace emu::host
