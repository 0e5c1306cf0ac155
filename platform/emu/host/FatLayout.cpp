#include "platform/emu/host/FatLayout.h"

#include "platform/emu/hostsupport/PositionedRead.h"
#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/emu/kernel/ByteReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;
using kernel::ByteReader;

bool readAt(int fd, std::uint64_t offset, std::string& bytes) {
    return hostsupport::readExactly(fd, offset, bytes.data(), bytes.size());
}

const unsigned char* at(const std::string& bytes, std::size_t offset) {
    return reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
}

} // namespace

Result<FatLayout> FatLayout::read(const ImageVolume& volume, const std::string& file) {
    hostsupport::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::string boot(512, '\0');
    if (!fd.valid() || !readAt(fd.get(), volume.offset, boot)) {
        return Failure{"cannot read the boot sector of " + volume.path + ": " +
                       std::strerror(errno)};
    }
    FatLayout layout;
    layout.m_volumeOffset = volume.offset;
    layout.m_bytesPerSector = ByteReader::le16(at(boot, 11));
    layout.m_sectorsPerCluster = *at(boot, 13);
    layout.m_reservedSectors = ByteReader::le16(at(boot, 14));
    layout.m_fatCount = *at(boot, 16);
    std::uint32_t rootEntries = ByteReader::le16(at(boot, 17));
    std::uint32_t totalSectors = ByteReader::le16(at(boot, 19));
    if (totalSectors == 0) {
        totalSectors = ByteReader::le32(at(boot, 32));
    }
    layout.m_fatSectors = ByteReader::le16(at(boot, 22));
    if (layout.m_fatSectors == 0) {
        layout.m_fatSectors = ByteReader::le32(at(boot, 36));
    }
    std::uint32_t bps = layout.m_bytesPerSector;
    bool sane = (bps == 512 || bps == 1024 || bps == 2048 || bps == 4096) &&
                layout.m_sectorsPerCluster != 0 &&
                (layout.m_sectorsPerCluster & (layout.m_sectorsPerCluster - 1)) == 0 &&
                layout.m_reservedSectors != 0 && layout.m_fatCount != 0 &&
                layout.m_fatSectors != 0 &&
                static_cast<std::uint64_t>(totalSectors) * bps <= volume.length;
    layout.m_rootSectors = (rootEntries * 32 + bps - 1) / (bps == 0 ? 1 : bps);
    std::uint64_t dataSector = static_cast<std::uint64_t>(layout.m_reservedSectors) +
                               static_cast<std::uint64_t>(layout.m_fatCount) * layout.m_fatSectors +
                               layout.m_rootSectors;
    if (!sane || dataSector >= totalSectors) {
        return Failure{"the boot sector of " + volume.path + " (" + volume.description +
                       ") gives a layout that does not fit the volume"};
    }
    layout.m_dataSector = static_cast<std::uint32_t>(dataSector);
    layout.m_clusterCount = (totalSectors - layout.m_dataSector) / layout.m_sectorsPerCluster;
    layout.m_fatBits = layout.m_clusterCount < 4085 ? 12 : layout.m_clusterCount < 65525 ? 16 : 32;
    layout.m_rootCluster = layout.isFat32() ? ByteReader::le32(at(boot, 44)) : 0;
    std::uint64_t fatBytes = (static_cast<std::uint64_t>(layout.m_clusterCount) + 2) *
                                 static_cast<std::uint64_t>(layout.m_fatBits) / 8 +
                             1;
    if (fatBytes > static_cast<std::uint64_t>(layout.m_fatSectors) * bps) {
        return Failure{"the FAT of " + volume.path + " (" + volume.description +
                       ") is too small for its clusters"};
    }
    layout.m_fat.assign(static_cast<std::size_t>(fatBytes), '\0');
    if (!readAt(fd.get(),
                volume.offset + static_cast<std::uint64_t>(layout.m_reservedSectors) * bps,
                layout.m_fat)) {
        return Failure{"cannot read the FAT of " + volume.path + ": " + std::strerror(errno)};
    }
    return layout;
}

std::vector<ByteRange> FatLayout::systemAreas() const {
    std::uint64_t sector = m_bytesPerSector;
    // Reserved sectors, FATs and root directory lie one after the other.
    return {ByteRange{m_volumeOffset, static_cast<std::uint64_t>(m_dataSector) * sector}};
}

ByteRange FatLayout::cluster(std::uint32_t number) const {
    std::uint64_t size = static_cast<std::uint64_t>(m_sectorsPerCluster) * m_bytesPerSector;
    return ByteRange{m_volumeOffset + static_cast<std::uint64_t>(m_dataSector) * m_bytesPerSector +
                         static_cast<std::uint64_t>(number - 2) * size,
                     size};
}

std::uint32_t FatLayout::next(std::uint32_t cluster) const {
    if (cluster < 2 || cluster > lastCluster()) {
        return 0xFFFFFFFF;
    }
    if (m_fatBits == 12) {
        std::size_t offset = cluster + cluster / 2;
        if (offset + 2 > m_fat.size()) {
            return 0xFFFFFFFF;
        }
        std::uint32_t pair = ByteReader::le16(at(m_fat, offset));
        return (cluster & 1) != 0 ? pair >> 4 : pair & 0xFFF;
    }
    if (m_fatBits == 16) {
        return ByteReader::le16(at(m_fat, static_cast<std::size_t>(cluster) * 2));
    }
    return ByteReader::le32(at(m_fat, static_cast<std::size_t>(cluster) * 4)) & 0x0FFFFFFF;
}

ByteRange FatLayout::fixedRoot() const {
    return ByteRange{m_volumeOffset + (static_cast<std::uint64_t>(m_reservedSectors) +
                                       static_cast<std::uint64_t>(m_fatCount) * m_fatSectors) *
                                          m_bytesPerSector,
                     static_cast<std::uint64_t>(m_rootSectors) * m_bytesPerSector};
}

std::vector<std::uint32_t> FatLayout::chain(std::uint32_t first) const {
    std::vector<std::uint32_t> clusters;
    for (std::uint32_t cluster = first;
         cluster >= 2 && cluster <= lastCluster() && clusters.size() < m_clusterCount;
         cluster = next(cluster)) {
        clusters.push_back(cluster);
    }
    return clusters;
}

Result<std::vector<FatDirectory>> FatLayout::directories(const std::string& file) const {
    hostsupport::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return Failure{"cannot open " + file + ": " + std::strerror(errno)};
    }
    std::vector<FatDirectory> all;
    std::set<std::uint32_t> seen;
    // A directory: its clusters, or none for FAT12/16's fixed root.
    std::vector<std::vector<std::uint32_t>> pending;
    if (isFat32()) {
        pending.push_back(chain(m_rootCluster));
    } else {
        pending.push_back({});
    }
    while (!pending.empty()) {
        FatDirectory directory;
        directory.clusters = std::move(pending.back());
        pending.pop_back();
        if (directory.clusters.empty()) {
            directory.ranges.push_back(fixedRoot());
        }
        for (std::uint32_t cluster : directory.clusters) {
            directory.ranges.push_back(this->cluster(cluster));
        }
        bool ended = false;
        for (const ByteRange& range : directory.ranges) {
            std::string bytes(static_cast<std::size_t>(range.length), '\0');
            if (!readAt(fd.get(), range.offset, bytes)) {
                return Failure{"cannot read a directory of " + file + ": " + std::strerror(errno)};
            }
            for (std::size_t entry = 0; entry + 32 <= bytes.size() && !ended; entry += 32) {
                const unsigned char* e = at(bytes, entry);
                unsigned char attributes = e[11];
                if (e[0] == 0) {
                    ended = true;
                } else if (e[0] != 0xE5 && e[0] != '.' && attributes != 0x0F &&
                           (attributes & 0x18) == 0x10) {
                    std::uint32_t first = ByteReader::le16(e + 26);
                    if (isFat32()) {
                        first |= static_cast<std::uint32_t>(ByteReader::le16(e + 20)) << 16;
                    }
                    if (first >= 2 && seen.insert(first).second) {
                        pending.push_back(chain(first));
                    }
                }
            }
            directory.entries += bytes;
        }
        all.push_back(std::move(directory));
    }
    return all;
}

Result<std::vector<std::uint32_t>> FatLayout::directoryClusters(const std::string& file) const {
    Result<std::vector<FatDirectory>> found = directories(file);
    if (!found) {
        return found.failure();
    }
    std::vector<std::uint32_t> all;
    for (const FatDirectory& directory : *found) {
        all.insert(all.end(), directory.clusters.begin(), directory.clusters.end());
    }
    return all;
}

} // namespace emu::host
