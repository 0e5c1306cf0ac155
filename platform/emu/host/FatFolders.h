// The folders of a FAT volume read straight from the image: every entry
// with its name as mtools spells it (UTF-8; the long name, else the short
// name in the volume's OEM code page with the small letters its entry
// records), its short name, attributes, size, time and first cluster; and a
// file's bytes, read along its cluster chain. Only reads the image.
#pragma once

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace emu::host {

struct FatEntry {
    std::string path;       // from the root, '/' between names, UTF-8
    std::string shortName;  // "LONGFI~1.TXT", UTF-8, as the entry holds it
    std::string shortBytes; // the same in the volume's own bytes
    bool hasLongName = false;
    bool folder = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    std::uint32_t firstCluster = 0;
    std::uint32_t size = 0;
    // Seconds since 1970: the entry's date and time, which FAT keeps in
    // local time, read in the host's time zone as mcopy -m does.
    std::int64_t modified = 0;
};

class FatFolders {
public:
    // Every entry below the root of the volume layout describes in file
    // (FatLayout::directories), each folder before what it holds, its short
    // name read in oemCodePage. Refused, with the folder's path, for a name
    // the code page cannot read or a folder reached twice.
    static hostsupport::Result<std::vector<FatEntry>>
    read(const FatLayout& layout, const std::string& file, int oemCodePage);

    // Writes the size bytes of the file that starts at firstCluster into
    // the descriptor to, from its start. Refused when the chain ends early.
    static hostsupport::Result<void> copyFile(const FatLayout& layout, int image,
                                              std::uint32_t firstCluster, std::uint32_t size,
                                              int to);
};

} // namespace emu::host
