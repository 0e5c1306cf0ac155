// What a disk image file holds, found by its content: the FAT volume a drive
// of the emulated machine can be made of, or the reason the file cannot be
// one. Only reads the file.
//
// Accepted: a bare FAT12, FAT16 or FAT32 volume (a floppy or a partition
// image), a hard-disk image with an MBR partition table (primary and logical
// partitions, numbered 1 to 4 and from 5 on as Linux numbers them), and
// either of those inside a fixed-size VHD (the data followed by a 512-byte
// footer). Everything else is refused with what was found and, where one
// exists, the command that turns it into a raw image.
#pragma once

#include "platform/emu/hostsupport/Result.h"

#include <cstdint>
#include <optional>
#include <string>

namespace emu::host {

struct ImageVolume {
    std::string path;         // the image file
    std::uint64_t offset = 0; // where the FAT volume starts in the file, in bytes
    std::uint64_t length = 0; // the volume's size in bytes
    std::string description;  // "FAT16 partition 5 of a hard-disk image", for messages
};

class DiskImage {
public:
    // The volume of imageName, "FILE" or "FILE@N" (partition N; FILE alone means
    // the first FAT partition, or the whole file when it is a bare volume).
    // Refused with what was found when the file is no such image, or when
    // its partition table is not sound: partitions that overlap each other
    // or the table, lie outside their extended partition or past the file's
    // end, a chain of logical partitions that loops, a FAT volume larger
    // than its partition.
    static hostsupport::Result<ImageVolume> findVolume(const std::string& imageName);

    // Splits "FILE@N" into FILE and N when FILE exists and N is a number
    // from 1 to 99; otherwise the whole name is the file and N is 0.
    static void splitName(const std::string& imageName, std::string& file, int& partition);
};

} // namespace emu::host
