// Disk images made at test time with the Debian tools a user has
// (mkfs.fat, sfdisk, mcopy), and read back the same way, so no image is kept
// in the repository and every check goes through a reader that is not ours.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace corvane_test {

enum class ImageKind {
    Floppy,          // a bare 1.44 MB FAT12 volume
    Fat16Disk,       // an MBR disk, FAT16 as partition 1
    Fat32Disk,       // an MBR disk, FAT32 as partition 1
    SecondPartition, // an MBR disk: FAT16 partition 1, the files on logical partition 5
    TwoLogical,      // an MBR disk: FAT partitions 1, 5 and the files on 6
    ThreeLogical,    // an MBR disk: FAT partitions 1, 5, 6 and the files on 7
    FixedVhd,        // a FAT16 disk followed by a fixed VHD footer
};

struct FatImage {
    std::string path;
    std::uint64_t offset = 0; // of the volume that holds the files
    std::uint64_t length = 0;
    std::string driveValue; // what --drive takes: path, or path@N
    // The image's other FAT volumes, which a run on this one never touches.
    std::vector<FatImage> neighbours;

    // Makes an image of kind at path holding a copy of folder's tree.
    static FatImage make(ImageKind kind, const std::string& path, const std::string& folder);
    // A 2 GB MBR disk at path, FAT32 partition 1 holding a copy of folder's
    // tree, as a used installation is: no hole, its free clusters hold a
    // deleted file's bytes and a 1 GB swap file is in use. scratch is a
    // host file it may use.
    static FatImage makeUsedDisk(const std::string& path, const std::string& folder,
                                 const std::string& scratch);

    // Every file of the volume: path with '/' (as the image spells it) to
    // content, read with mcopy.
    std::map<std::string, std::string> files() const;
    // The attributes mattrib lists ("  A  SHR"), by path.
    std::map<std::string, std::string> attributes() const;
    // fsck.fat -n's verdict on the volume: empty when clean, else its report.
    std::string fsckReport() const;
    // The byte ranges of the image file that are free clusters of its volume
    // now: what a write may fill without a journal.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> freeClusters() const;
    // The bytes of file with the ranges (offset, length) blanked.
    static std::string without(const std::string& file,
                               const std::vector<std::pair<std::uint64_t, std::uint64_t>>& ranges);

    // The bytes of the image outside the volume: the partition table and
    // every other partition.
    std::string bytesBeside() const;
    // Overwrites entry index (0 to 3) of the partition table in the sector
    // at tableSector (the MBR or an extended boot record).
    void setTableEntry(std::uint64_t tableSector, int index, unsigned type, std::uint64_t first,
                       std::uint64_t sectors) const;

    // Sets or clears attributes of a file of the volume, as mattrib takes
    // them: {"+h", "+s", "+r"}.
    void setAttributes(const std::string& path, const std::vector<std::string>& flags) const;
    // Writes a file whose name may hold characters outside ASCII (UTF-8):
    // mtools, in a UTF-8 locale, gives it a VFAT long name in Unicode and a
    // short name in the DOS code page, as Windows does.
    void addFile(const std::string& path, const std::string& bytes) const;
    // Writes the 11 bytes to over the short name of the one entry of the
    // volume whose short name is from ("PLACEHDRTXT"), as Windows writes
    // names mtools does not (a double-byte short name with a trail byte
    // '\\'); the long-name entries just before it take the new name's
    // checksum. Throws unless exactly one entry holds from.
    void setShortName(const std::string& from, const std::string& to) const;
    // How many entries of the volume hold the short name (11 bytes).
    int shortNameCount(const std::string& name) const;
    // The long name of every entry below the root (UTF-8), folders ending in
    // '/': what the other listings, made in the C locale, spell with '_'.
    std::vector<std::string> longNames() const;
};

// The most disk space a run keeps beside the image at path (its work folder
// and its journal), sampled every millisecond from the making of the watch
// to stop().
class SpaceBesideImage {
public:
    explicit SpaceBesideImage(const std::string& image);
    ~SpaceBesideImage();
    SpaceBesideImage(const SpaceBesideImage&) = delete;
    SpaceBesideImage& operator=(const SpaceBesideImage&) = delete;
    // The most seen, in bytes.
    long long stop();

private:
    std::atomic<bool> m_done{false};
    std::atomic<long long> m_most{0};
    std::thread m_watch;
};

// Runs argv; throws with what it printed when it fails.
std::string runTool(const std::vector<std::string>& argv);

// A 512-byte VHD footer of type 2 (fixed), 3 (dynamic) or 4 (differencing).
std::string vhdFooter(std::uint64_t size, std::uint32_t type);

} // namespace corvane_test
