// fsck.fat -n on the FAT volume of an image file: a volume inside a larger
// image is first cut out into a scratch file (holes kept, so a mostly empty
// volume costs only its data), as fsck.fat takes no offset.
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
