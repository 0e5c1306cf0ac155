// fsck.fat -n on the FAT volume of an image file. fsck.fat takes no offset,
// so a volume inside a larger image is checked in a scratch file that holds
// what fsck.fat reads of it (the reserved sectors, the FATs, the root
// directory and every directory's clusters, at their places) and holes for
// the files' data: it costs the size of the file system's own areas, not of
// the volume.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <string>

namespace emu::host {

class VolumeCheck {
public:
    // Checks volume as file holds it (the image or a copy laid out the
    // same); the scratch file goes in scratchFolder. The failure names the
    // image and the first line fsck.fat printed.
    static hostsupport::Result<void> run(const ImageVolume& volume, const std::string& file,
                                         const std::string& scratchFolder);
};

} // namespace emu::host
