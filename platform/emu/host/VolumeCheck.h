// fsck.fat -n on the FAT volume of an image file. fsck.fat takes no offset,
// so a volume inside a larger image is checked in a scratch file that holds
// what fsck.fat reads of it (the reserved sectors, the FATs, the root
// directory and every directory's clusters, at their places) and holes for
// the files' data: it costs the size of the file system's own areas, not of
// the volume.
//
// fsck.fat knows no double-byte code page: a short name whose double-byte
// character has the trail byte '\\' or '|' (0x5C, 0x7C: "ソ" is 83 5C in
// code page 932), as Windows writes them on a Japanese or Chinese
// installation, is a "bad short file name" to it. On a volume whose short
// names are in such a code page, the copy is always made, and in it each
// such name that reads whole in the code page, with no '\\' or '|' but
// trail bytes, has those bytes replaced (keeping every name apart and every
// long name's checksum as right or wrong as it was); any other fault, of
// that name or beside it, is still found.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <string>

namespace emu::host {

class VolumeCheck {
public:
    // Checks volume as file holds it (the image or a copy laid out the
    // same), its short names in code page shortNameCodePage; the scratch
    // file goes in scratchFolder. The failure names the image and the first
    // line fsck.fat printed.
    static hostsupport::Result<void> run(const ImageVolume& volume, const std::string& file,
                                         const std::string& scratchFolder, int shortNameCodePage);
};

} // namespace emu::host
