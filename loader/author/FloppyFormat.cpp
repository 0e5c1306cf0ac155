#include "loader/author/FloppyFormat.h"

namespace loader::author {

const FloppyFormat* FloppyFormat::ofSize(int kib) {
    // 2,880 sectors: a boot sector, two FATs of 9 sectors, 14 sectors of
    // root folder (224 entries), 2,847 one-sector clusters.
    static const FloppyFormat kHighDensity(1440, "1.44 MB", 1, 224, 2847);
    // 5,760 sectors: a boot sector, two FATs of 9 sectors, 15 sectors of
    // root folder (240 entries), 2,863 two-sector clusters.
    static const FloppyFormat kExtraDensity(2880, "2.88 MB", 2, 240, 2863);
    if (kib == kHighDensity.kib()) {
        return &kHighDensity;
    }
    if (kib == kExtraDensity.kib()) {
        return &kExtraDensity;
    }
    return nullptr;
}

unsigned long long FloppyFormat::spaceFor(unsigned long long size) const {
    unsigned long long cluster = clusterBytes();
    return (size + cluster - 1) / cluster * cluster;
}

} // namespace loader::author
