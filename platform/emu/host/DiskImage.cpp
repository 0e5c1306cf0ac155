#include "platform/emu/host/DiskImage.h"

#include "platform/emu/hostsupport/PositionedRead.h"
#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/emu/kernel/ByteReader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;
using kernel::ByteReader;

constexpr std::uint64_t kSector = 512;
constexpr int kMaxLogicalPartitions = 64;

using Sector = std::array<unsigned char, kSector>;

std::uint32_t be32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

bool startsWith(const Sector& sector, std::size_t at, const char* text) {
    return std::memcmp(sector.data() + at, text, std::strlen(text)) == 0;
}

// Reads the 512 bytes at offset; false when the file ends before them.
bool readSector(int fd, std::uint64_t offset, Sector& sector) {
    return hostsupport::readExactly(fd, offset, sector.data(), sector.size());
}

bool hasBootSignature(const Sector& sector) {
    return sector[510] == 0x55 && sector[511] == 0xAA;
}

bool isPowerOfTwo(unsigned value) {
    return value != 0 && (value & (value - 1)) == 0;
}

struct FatBootSector {
    const char* type = nullptr; // "FAT12", "FAT16", "FAT32"
    std::uint64_t bytes = 0;    // the volume's size
};

// The FAT type and size a boot sector describes; nullopt when its BIOS
// parameter block is no FAT one.
std::optional<FatBootSector> readFatBootSector(const Sector& s) {
    if (!hasBootSignature(s) || (s[0] != 0xEB && s[0] != 0xE9)) {
        return std::nullopt;
    }
    unsigned bytesPerSector = ByteReader::le16(&s[11]);
    unsigned perCluster = s[13];
    unsigned reserved = ByteReader::le16(&s[14]);
    unsigned fats = s[16];
    unsigned rootEntries = ByteReader::le16(&s[17]);
    std::uint64_t total =
        ByteReader::le16(&s[19]) != 0 ? ByteReader::le16(&s[19]) : ByteReader::le32(&s[32]);
    std::uint64_t fatSectors =
        ByteReader::le16(&s[22]) != 0 ? ByteReader::le16(&s[22]) : ByteReader::le32(&s[36]);
    if (bytesPerSector < 512 || bytesPerSector > 4096 || !isPowerOfTwo(bytesPerSector) ||
        !isPowerOfTwo(perCluster) || reserved == 0 || fats == 0 || fats > 2 || total == 0 ||
        fatSectors == 0) {
        return std::nullopt;
    }
    std::uint64_t rootSectors = (rootEntries * 32ULL + bytesPerSector - 1) / bytesPerSector;
    std::uint64_t overhead = reserved + fats * fatSectors + rootSectors;
    if (overhead >= total) {
        return std::nullopt;
    }
    std::uint64_t clusters = (total - overhead) / perCluster;
    FatBootSector fat;
    fat.bytes = total * bytesPerSector;
    if (ByteReader::le16(&s[22]) == 0) {
        if (rootEntries != 0) {
            return std::nullopt;
        }
        fat.type = "FAT32";
    } else {
        fat.type = clusters < 4085 ? "FAT12" : clusters < 65525 ? "FAT16" : "FAT32";
    }
    return fat;
}

// A file system this program does not read, named for the message.
const char* foreignFileSystem(const Sector& s) {
    if (startsWith(s, 3, "NTFS    ")) {
        return "an NTFS file system";
    }
    if (startsWith(s, 3, "EXFAT   ")) {
        return "an exFAT file system";
    }
    return nullptr;
}

std::string sizeText(std::uint64_t bytes) {
    return std::to_string(bytes) + " bytes";
}

struct Partition {
    int number = 0;
    unsigned type = 0;
    std::uint64_t firstSector = 0;
    std::uint64_t sectors = 0;

    // The first sector after the partition.
    std::uint64_t endSector() const { return firstSector + sectors; }
    bool holds(std::uint64_t sector) const { return sector >= firstSector && sector < endSector(); }
    bool overlaps(const Partition& other) const {
        return firstSector < other.endSector() && other.firstSector < endSector();
    }
    std::string text() const {
        return "partition " + std::to_string(number) + " (sectors " + std::to_string(firstSector) +
               " to " + std::to_string(endSector() - 1) + ")";
    }
};

bool isExtended(unsigned type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

// The four entries of an MBR or an extended boot record; false when a
// status byte is neither 0x00 nor 0x80 (no partition table).
bool readEntries(const Sector& s, std::array<Partition, 4>& entries) {
    if (!hasBootSignature(s)) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        const unsigned char* e = &s[446 + 16 * i];
        if (e[0] != 0x00 && e[0] != 0x80) {
            return false;
        }
        entries[i] = Partition{0, e[4], ByteReader::le32(e + 8), ByteReader::le32(e + 12)};
    }
    return true;
}

// What a partition table describes: the partitions, numbered as Linux
// numbers them, and the sectors that hold the table itself (the MBR and
// every extended boot record).
struct PartitionTable {
    std::vector<Partition> partitions;
    std::vector<std::uint64_t> tableSectors = {0};
    std::optional<Partition> extended; // the first extended partition of the MBR

    bool isExtended(const Partition& p) const { return extended && p.number == extended->number; }
};

class ImageReader {
public:
    ImageReader(int fd, std::uint64_t dataSize, std::string name)
        : m_fd(fd), m_size(dataSize), m_name(std::move(name)) {}

    Result<ImageVolume> volume(int partition) {
        Sector first{};
        if (!readSector(m_fd, 0, first)) {
            return Failure{m_name + " is truncated: " + sizeText(m_size) +
                           ", less than the 512-byte first sector of a disk"};
        }
        if (std::optional<FatBootSector> fat = readFatBootSector(first)) {
            if (partition != 0) {
                return Failure{m_name + " is a bare " + fat->type +
                               " volume with no partition table, so it has no partition " +
                               std::to_string(partition)};
            }
            return bareVolume(*fat);
        }
        if (const char* foreign = foreignFileSystem(first)) {
            return Failure{m_name + " holds " + foreign +
                           "; this program reads FAT12, FAT16 and FAT32 volumes only"};
        }
        std::array<Partition, 4> entries{};
        if (!readEntries(first, entries)) {
            return Failure{m_name +
                           " is not a disk image this program reads: it starts with neither a FAT "
                           "boot sector nor an MBR partition table"};
        }
        Result<PartitionTable> table = readTable(entries);
        if (!table) {
            return table.failure();
        }
        Result<void> sound = checkTable(*table);
        if (!sound) {
            return sound.failure();
        }
        return partitionVolume(table->partitions, partition);
    }

private:
    Result<ImageVolume> bareVolume(const FatBootSector& fat) {
        if (fat.bytes > m_size) {
            return Failure{m_name + " is truncated: its " + fat.type + " volume needs " +
                           sizeText(fat.bytes) + " and the image holds " + sizeText(m_size)};
        }
        return ImageVolume{"", 0, fat.bytes, std::string("a ") + fat.type + " volume"};
    }

    Result<PartitionTable> readTable(const std::array<Partition, 4>& primary) {
        PartitionTable table;
        for (int i = 0; i < 4; ++i) {
            if (primary[i].type == 0) {
                continue;
            }
            Partition p = primary[i];
            p.number = i + 1;
            table.partitions.push_back(p);
            if (isExtended(p.type) && !table.extended) {
                table.extended = p;
            }
        }
        if (!table.extended) {
            return table;
        }
        // Logical partitions: a chain of extended boot records, each giving
        // its partition relative to itself and the next record relative to
        // the start of the extended partition (not to itself).
        const std::uint64_t base = table.extended->firstSector;
        std::set<std::uint64_t> seen;
        std::uint64_t record = base;
        for (int number = 5;; ++number) {
            if (!seen.insert(record).second) {
                return Failure{m_name + " has a chain of logical partitions that loops: the " +
                               "record at sector " + std::to_string(record) + " comes round again"};
            }
            if (number == 5 + kMaxLogicalPartitions) {
                return Failure{m_name + " has more than " + std::to_string(kMaxLogicalPartitions) +
                               " logical partitions"};
            }
            Sector s{};
            std::array<Partition, 4> entries{};
            if (!table.extended->holds(record) || !readSector(m_fd, record * kSector, s) ||
                !readEntries(s, entries)) {
                return Failure{
                    m_name + " has a damaged chain of logical partitions (the record at sector " +
                    std::to_string(record) + " is outside the extended partition or no record)"};
            }
            table.tableSectors.push_back(record);
            if (entries[0].type != 0) {
                table.partitions.push_back(Partition{
                    number, entries[0].type, record + entries[0].firstSector, entries[0].sectors});
            }
            if (!isExtended(entries[1].type) || entries[1].firstSector == 0) {
                break;
            }
            record = base + entries[1].firstSector;
        }
        return table;
    }

    // Partitions that overlap each other or the table, lie outside the
    // extended partition that holds them, or run past the end of the file:
    // any write into such a volume would land in another one.
    Result<void> checkTable(const PartitionTable& table) {
        const std::vector<Partition>& all = table.partitions;
        for (size_t i = 0; i < all.size(); ++i) {
            const Partition& p = all[i];
            if (p.sectors == 0) {
                continue;
            }
            if (p.endSector() * kSector > m_size) {
                return Failure{m_name + " is truncated: " + p.text() + " ends at byte " +
                               std::to_string(p.endSector() * kSector) + " and the image holds " +
                               sizeText(m_size)};
            }
            bool container = table.isExtended(p);
            bool logical = p.number >= 5;
            if (logical && !(p.firstSector >= table.extended->firstSector &&
                             p.endSector() <= table.extended->endSector())) {
                return refusedTable(p.text() + " lies outside the extended " +
                                    table.extended->text() + " that holds it");
            }
            for (std::uint64_t sector : table.tableSectors) {
                if (p.holds(sector) && !(container && sector != 0)) {
                    return refusedTable(p.text() + " overlaps the partition table at sector " +
                                        std::to_string(sector));
                }
            }
            for (size_t j = i + 1; j < all.size(); ++j) {
                const Partition& q = all[j];
                bool nested = (container && q.number >= 5) || (table.isExtended(q) && logical);
                if (q.sectors != 0 && !nested && p.overlaps(q)) {
                    return refusedTable(p.text() + " and " + q.text() + " overlap");
                }
            }
        }
        return {};
    }

    Failure refusedTable(const std::string& found) const {
        return Failure{m_name +
                       " has a partition table no volume of it can be written through: " + found};
    }

    Result<ImageVolume> partitionVolume(const std::vector<Partition>& partitions, int wanted) {
        if (partitions.empty()) {
            return Failure{m_name + " has an MBR partition table with no partition in it"};
        }
        std::string notFat;
        for (const Partition& p : partitions) {
            if (isExtended(p.type) || (wanted != 0 && p.number != wanted)) {
                continue;
            }
            std::string name = "partition " + std::to_string(p.number) + " of " + m_name;
            Sector boot{};
            if (p.sectors == 0 || !readSector(m_fd, p.firstSector * kSector, boot)) {
                notFat = name + " is empty";
                continue;
            }
            std::optional<FatBootSector> fat = readFatBootSector(boot);
            if (fat && fat->bytes > p.sectors * kSector) {
                return Failure{name + " holds a " + fat->type + " volume of " +
                               sizeText(fat->bytes) + ", larger than the partition's " +
                               sizeText(p.sectors * kSector) +
                               ": writing to it would reach past the partition"};
            }
            if (fat) {
                return ImageVolume{"", p.firstSector * kSector, fat->bytes,
                                   std::string("the ") + fat->type + " " + name};
            }
            const char* foreign = foreignFileSystem(boot);
            std::string what = name + " holds " + (foreign ? foreign : "no FAT file system");
            if (wanted != 0 || notFat.empty()) {
                notFat = what;
            }
        }
        if (wanted != 0 && notFat.empty()) {
            return Failure{m_name + " has no partition " + std::to_string(wanted) +
                           " (partitions are numbered 1 to 4, logical ones from 5)"};
        }
        return Failure{notFat + "; this program reads FAT12, FAT16 and FAT32 volumes only"};
    }

    int m_fd;
    std::uint64_t m_size;
    std::string m_name;
};

std::string rawCommand(const std::string& format, const std::string& file) {
    return "qemu-img convert -f " + format + " -O raw " + file + " " + file + ".img";
}

// A container format that is not a raw image, with its conversion; empty
// when the file is none.
std::string containerRefusal(const Sector& head, const Sector& tail, std::uint64_t size,
                             const std::string& file) {
    if (startsWith(head, 0, "QFI\xfb")) {
        return file + " is a QEMU copy-on-write (qcow2) image; convert it to a raw image with: " +
               rawCommand("qcow2", file);
    }
    if (ByteReader::le32(&head[0x40]) == 0xBEDA107FU) {
        return file + " is a VirtualBox (VDI) image; convert it to a raw image with: " +
               rawCommand("vdi", file);
    }
    if (startsWith(head, 0, "KDMV") || startsWith(head, 0, "# Disk DescriptorFile")) {
        return file + " is a VMware (VMDK) image; convert it to a raw image with: " +
               rawCommand("vmdk", file);
    }
    if (startsWith(head, 0, "vhdxfile")) {
        return file + " is a Hyper-V (VHDX) image; convert it to a raw image with: " +
               rawCommand("vhdx", file);
    }
    bool footer = size >= kSector && startsWith(tail, 0, "conectix");
    if (startsWith(head, 0, "conectix") || (footer && be32(&tail[60]) != 2)) {
        std::uint32_t type = footer ? be32(&tail[60]) : be32(&head[60]);
        const char* kind = type == 4 ? "differencing" : "dynamic";
        return file + " is a " + kind +
               " VHD image, whose size grows with its data; convert it to a raw image with: " +
               rawCommand("vpc", file);
    }
    return {};
}

} // namespace

void DiskImage::splitName(const std::string& imageName, std::string& file, int& partition) {
    file = imageName;
    partition = 0;
    size_t at = imageName.rfind('@');
    if (at == std::string::npos || at + 1 >= imageName.size() || imageName.size() - at > 3) {
        return;
    }
    for (size_t i = at + 1; i < imageName.size(); ++i) {
        if (imageName[i] < '0' || imageName[i] > '9') {
            return;
        }
    }
    struct stat info {};
    int number = std::stoi(imageName.substr(at + 1));
    if (number >= 1 && stat(imageName.c_str(), &info) != 0 &&
        stat(imageName.substr(0, at).c_str(), &info) == 0) {
        file = imageName.substr(0, at);
        partition = number;
    }
}

Result<ImageVolume> DiskImage::findVolume(const std::string& imageName) {
    std::string file;
    int partition = 0;
    splitName(imageName, file, partition);
    hostsupport::UniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0) {
        return Failure{file + " cannot be read: " + std::strerror(errno)};
    }
    if (!S_ISREG(info.st_mode)) {
        return Failure{file + " is not a regular file"};
    }
    auto size = static_cast<std::uint64_t>(info.st_size);
    if (size == 0) {
        return Failure{file + " is empty: no disk image is in it"};
    }
    Sector head{};
    Sector tail{};
    readSector(fd.get(), 0, head);
    if (size >= kSector) {
        readSector(fd.get(), size - kSector, tail);
    }
    std::string container = containerRefusal(head, tail, size, file);
    if (!container.empty()) {
        return Failure{container};
    }
    // A fixed VHD is a raw image followed by its footer.
    bool fixedVhd = size >= 2 * kSector && startsWith(tail, 0, "conectix");
    ImageReader reader(fd.get(), fixedVhd ? size - kSector : size, file);
    Result<ImageVolume> volume = reader.volume(partition);
    if (volume) {
        volume->path = file;
        if (fixedVhd) {
            volume->description += " in a fixed VHD image";
        }
    }
    return volume;
}

} // namespace emu::host
