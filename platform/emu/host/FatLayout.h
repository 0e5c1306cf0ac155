// Where the FAT volume of an image file keeps what, read from its boot
// sector and its first FAT: the reserved sectors (boot sector, FSInfo and
// backup boot sector), the FATs, the fixed root directory of FAT12 and
// FAT16, the clusters and their chains, and the clusters that hold
// directories. Only reads the file. Offsets are in the image file.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace emu::host {

struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// One directory of the volume: where it lies and its entries' bytes.
struct FatDirectory {
    std::vector<std::uint32_t> clusters; // none for FAT12/16's fixed root
    std::vector<ByteRange> ranges;       // in order, in the image file
    std::string entries;                 // the bytes of ranges, one after the other
};

class FatLayout {
public:
    // The layout of volume in file (the image or a copy laid out the same).
    // Refused when the boot sector's numbers do not fit the volume.
    static hostsupport::Result<FatLayout> read(const ImageVolume& volume, const std::string& file);

    // Reserved sectors, every FAT and the fixed root directory: what a
    // write of the file system may change outside the clusters.
    std::vector<ByteRange> systemAreas() const;
    ByteRange cluster(std::uint32_t number) const;
    // FAT12/16's fixed root directory; empty on FAT32, whose root is a chain
    // from rootCluster().
    ByteRange fixedRoot() const;
    // The clusters of the chain that starts at first, in order; a chain that
    // leaves the volume or loops ends there.
    std::vector<std::uint32_t> chain(std::uint32_t first) const;
    // Every cluster of every directory reachable from the root (the root's
    // own on FAT32).
    hostsupport::Result<std::vector<std::uint32_t>>
    directoryClusters(const std::string& file) const;
    // Every directory reachable from the root, the root first.
    hostsupport::Result<std::vector<FatDirectory>> directories(const std::string& file) const;
    bool isFree(std::uint32_t cluster) const { return next(cluster) == 0; }
    std::uint32_t firstCluster() const { return 2; }
    std::uint32_t lastCluster() const { return m_clusterCount + 1; }
    bool isFat32() const { return m_fatBits == 32; }
    std::uint32_t rootCluster() const { return m_rootCluster; }

private:
    std::uint32_t next(std::uint32_t cluster) const;

    std::uint64_t m_volumeOffset = 0;
    std::uint32_t m_bytesPerSector = 0;
    std::uint32_t m_sectorsPerCluster = 0;
    std::uint32_t m_reservedSectors = 0;
    std::uint32_t m_fatCount = 0;
    std::uint32_t m_fatSectors = 0;
    std::uint32_t m_rootSectors = 0; // FAT12/16's fixed root directory
    std::uint32_t m_dataSector = 0;  // the first sector of cluster 2
    std::uint32_t m_clusterCount = 0;
    std::uint32_t m_rootCluster = 0; // FAT32
    int m_fatBits = 0;
    std::string m_fat; // the first FAT
};

} // namespace emu::host
