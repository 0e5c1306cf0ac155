// The FAT12 floppy formats a driver disk is written for, as mformat lays
// them out: how much a file takes of the disk and how much there is.
#pragma once

#include <string>

namespace loader::author {

class FloppyFormat {
public:
    // The format of kib (1440 or 2880); nullptr for any other size.
    static const FloppyFormat* ofSize(int kib);

    int kib() const { return m_kib; }
    // "1.44 MB", as the format is named.
    const std::string& label() const { return m_label; }
    // Bytes of the data area: what the files can take together.
    unsigned long long capacity() const {
        return static_cast<unsigned long long>(m_dataClusters) * clusterBytes();
    }
    unsigned clusterBytes() const { return m_clusterSectors * kSectorBytes; }
    // Files the root folder can list (each 8.3 name takes one entry).
    unsigned rootEntries() const { return m_rootEntries; }
    // The disk space a file of size bytes takes: whole clusters.
    unsigned long long spaceFor(unsigned long long size) const;

private:
    static const unsigned kSectorBytes = 512;
    FloppyFormat(int kib, const char* label, unsigned clusterSectors, unsigned rootEntries,
                 unsigned dataClusters)
        : m_kib(kib), m_label(label), m_clusterSectors(clusterSectors), m_rootEntries(rootEntries),
          m_dataClusters(dataClusters) {}

    int m_kib;
    std::string m_label;
    unsigned m_clusterSectors;
    unsigned m_rootEntries;
    unsigned m_dataClusters;
};

} // namespace loader::author
