// What an image file was when a run opened it, to tell whether another
// program wrote it since: its identity (device and inode), size, times, and
// a hash of its volume's file-system areas (reserved sectors, FATs, the
// fixed root directory), which every change of the file system writes. mtools
// takes no lock, nor do most emulators, so a write of theirs while a run
// holds the image is seen only this way.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace emu::host {

class ImageIdentity {
public:
    static hostsupport::Result<ImageIdentity> of(const ImageVolume& volume);

    // What differs in now from this ("its size, its modification time"),
    // "" when nothing does.
    std::string changesIn(const ImageIdentity& now) const;

private:
    dev_t m_device = 0;
    ino_t m_inode = 0;
    off_t m_size = 0;
    std::int64_t m_modified = 0;
    std::int64_t m_changed = 0;
    std::size_t m_areasHash = 0;
};

} // namespace emu::host
